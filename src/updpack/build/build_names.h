// Rules for the names in an update: every name must be one that a Windows
// player can create, within the format's limits, and unique without regard
// to letter case.
#pragma once

#include <string>
#include <vector>

#include "updpack/build/build_entries.h"

// Checks one part of a name (a file or folder name in code page 932).
// Returns null when it is fine, or the reason why not.
const char* BuildNamePartProblem(const std::string& part);

// Lower-cased copy by the code page 932 rules (full-width capitals too).
std::string BuildFoldCase(const std::string& cp932);

// Splits a payload name into its folder's name ("" at the top level, else
// ending with "\") and its last part (without a folder's final "\").
void BuildSplitName(const std::string& name, std::string* parent, std::string* part);

// The longest name that fits the shortest destination ("C:"): the output
// path, destination, "\" and name, must fit the format's path buffer.
constexpr size_t kBuildNameBytesMax = 256;
// Names that leave less than this for the player's game folder get a
// warning: the update fails on a player whose folder is longer.
constexpr size_t kBuildFolderRoomWanted = 100;

// Checks the whole list: lengths, sizes, names equal but for letter case.
// Reports each problem (and a warning for long names); returns the number
// of problems.
int BuildCheckNames(const std::vector<BuildEntry>& entries);
