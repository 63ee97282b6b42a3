// Names the update derives from the game's folder.
#pragma once

#include <cstddef>

#include "support/sjis.h"

// The name of the lock that keeps a second update out of the same folder:
// the same for every spelling of one folder that differs in the letter case
// of single-byte letters or in trailing separators. Returns out.
char* TxnLockName(char* out, size_t size, const char* folder, LeadByteFn isLead);
