// Allocation for the program's fixed-size work buffers.
#pragma once

#include <cstddef>

// Heap allocation that never returns null: out of memory ends the program
// with exit code -1 after a message (one of the program's ways out).
void* AllocOrExit(size_t size);
