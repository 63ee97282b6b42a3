// Time stamps of a reproducible build. Files checked out of version control
// carry the checkout's time, so the same commit would pack differently on
// every machine: SOURCE_DATE_EPOCH clamps later times to it, --mtime sets
// every file's time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "updpack/build/build_entries.h"

enum class BuildTimeRule { kKeep, kClamp, kSet };

struct BuildTimes {
  BuildTimeRule rule = BuildTimeRule::kKeep;
  uint64_t fileTime = 0;  // FILETIME units
};

// The rule from --mtime (which wins) and the SOURCE_DATE_EPOCH value (""
// when unset). Returns 0, or -1 after reporting a malformed time.
int BuildTimesFrom(const std::string& mtime, const char* sourceDateEpoch, BuildTimes* times);

// Applies the rule to every file entry.
void BuildApplyTimes(const BuildTimes& times, std::vector<BuildEntry>* entries);
