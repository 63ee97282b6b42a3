// `updpack build --base`: which changed files travel as deltas against the
// old version's file. A file goes as a delta only when the delta stream is
// clearly smaller than its whole compressed stream (BuildDeltaPays); files
// the start-up takes and files of 2 GiB or more on either side stay whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "updpack/build/build_entries.h"
#include "updpack/compress/compress_pool.h"

// One changed file that may become a delta.
struct BuildDeltaJob {
  size_t entry;          // index into the entries
  std::string basePath;  // the old version's file
  uint64_t baseSize;
};

struct BuildDeltaTotals {
  uint64_t files = 0;       // entries that became deltas
  uint64_t wholeBytes = 0;  // their whole compressed streams
  uint64_t deltaBytes = 0;  // their delta streams
};

// True when a delta stream of deltaBytes is clearly smaller than the whole
// stream of wholeBytes: at most 90% of it. Entry headers and time stamps
// are the same either way, so only the streams are compared.
bool BuildDeltaPays(uint64_t deltaBytes, uint64_t wholeBytes);

// True when a changed file may become a delta at all: not a start-up file,
// both sides below 2 GiB.
bool BuildDeltaAllowed(const BuildEntry& fresh, uint64_t baseSize);

// Encodes every job's delta on `pack.threads` threads, as many at once as a
// memory budget allows (whatever the files' sizes, at least one), measures
// the whole streams of those that may pay with the pack pool, and gives each
// entry whose delta pays its delta stream (BuildEntry::delta). The result
// does not depend on the number of threads. wholeBytes and deltaBytes of
// every entry tried are set, for the plan. Returns the number of problems
// reported (a file that cannot be read); a delta that cannot be made for
// want of memory leaves its file whole with a warning.
int BuildDeltaChoose(std::vector<BuildEntry>* entries, const std::vector<BuildDeltaJob>& jobs,
                     const PackOptions& pack, BuildDeltaTotals* totals);
