// Follows a payload's entries one by one and tells whether they keep the
// order the updater relies on: every folder's entry before what it holds,
// the start-up files at the top level before the entry that ends the
// start-up walk, no file the walk would take inside a folder before that
// entry, and no name twice (letter case ignored).
#pragma once

#include <set>
#include <string>

#include "payload/entry.h"

struct OrderCheck {
  std::set<std::string> folders;  // folded names of the folders met so far
  std::set<std::string> names;    // folded names of all entries so far
  bool walkEnded = false;
};

// Checks an entry's name by the rules `build` keeps: one NUL at its end, at
// most 256 bytes, every part a name that Windows creates as it is (whole
// Shift-JIS characters, no control or forbidden character, no "/", no
// trailing dot or space, no device name). Returns null or the reason.
const char* PackNameProblem(const PayloadEntry& entry);

// True when the name (any part of it) contains a start-up pattern
// (kPayloadStartupPatterns), letter case ignored: such a file always
// travels whole, never as a delta.
bool PackIsStartupName(const char* name);

// Returns null when the entry keeps the order, else the reason; the entry
// counts as met either way.
const char* OrderCheckEntry(OrderCheck* check, const PayloadEntry& entry);
