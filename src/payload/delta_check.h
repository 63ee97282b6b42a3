// Before an update writes anything: every delta entry's base must be in the
// game's folder as the delta expects it (size and SHA-256).
#pragma once

enum : int {
  kBasesMatch = 0,   // every base is in place, or the payload has no deltas
  kBasesDiffer = 1,  // a base is missing or another version
};

// Reads the running executable's payload and checks the bases below
// destination, pumping messages meanwhile. A payload that cannot be read
// or a damaged delta header counts as kBasesMatch: the extraction finds
// those and fails with its own message.
int CheckDeltaBases(const char* destination);
