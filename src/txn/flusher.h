// Staged files are flushed to the disk, stamped and closed on threads of
// their own. A flush waits for the disk; done one after the other on the
// thread that writes, the waits would add up to a good part of the update.
#pragma once

#include <windows.h>

#include <cstdint>

// Hands over a file whose data are all written: it is flushed, given the
// last-write time `stamp` and closed. Waits while many files are still on
// their way.
void FlusherClose(HANDLE file, uint64_t stamp);

// Waits until every file handed over is closed. True when every flush,
// stamp and close since the last call succeeded.
bool FlusherDrain();
