// Where the environment table and the section lists take their memory from.
// The updater installs AllocOrExit (a message, then exit -1), so a missing
// entry never silently changes the configuration; the default aborts.
#pragma once

#include <cstddef>

using EnvAllocFn = void* (*)(size_t size);

// Installs the allocation routine (its blocks are released with free());
// null restores the default.
void EnvSetAllocator(EnvAllocFn alloc);

// A block of size bytes from the installed routine; never null.
void* EnvAlloc(size_t size);

// A copy of the first length bytes of text, terminated, from EnvAlloc.
char* EnvCopyText(const char* text, size_t length);
