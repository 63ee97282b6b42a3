// Before an update writes anything: every delta entry's base must be in the
// game's folder as the delta expects it (size and SHA-256).
#pragma once

enum : int {
  kBasesMatch = 0,      // every base is in place, or the payload has no deltas
  kBasesDiffer = 1,     // a base is missing or another version
  kBasesCancelled = 2,  // a base was held open by another program and the player gave up
};

// Reads the running executable's payload and checks the bases below
// destination, pumping messages meanwhile. A payload that cannot be read
// or a damaged delta header counts as kBasesMatch: the extraction finds
// those and fails with its own message. A base that the game holds open
// without letting it be read makes the player choose Retry or Cancel, as a
// game file in use does when it is replaced.
int CheckDeltaBases(const char* destination);
