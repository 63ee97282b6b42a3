// Puts the entries into the order that the updater needs: the files it takes
// at start (top level) first, then every folder (each after the folder that
// holds it), then every other file, each group sorted by name bytes, so that
// the same inputs always give the same order.
#pragma once

#include <vector>

#include "updpack/build/build_entries.h"

// Sorts the entries. A file that the start-up walk would try to write into a
// folder it never creates cannot be ordered away when no folder entry ends
// the walk before it: such files are reported. Returns the number of problems.
int BuildOrder(std::vector<BuildEntry>* entries);
