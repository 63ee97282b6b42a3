// `updpack build --base OLD_DIR`: the entries of the new version cut down to
// what differs from the old one, and install.env given the deletion lines.
#pragma once

#include <string>
#include <vector>

#include "updpack/build/build_entries.h"
#include "updpack/compress/compress_pool.h"

struct BaseOptions {
  std::string folder;  // OLD_DIR
  bool keepTimes = false;
  bool verbose = false;
  int jobs = 0;          // comparison threads; 0: one per hardware thread
  bool noDelta = false;  // --no-delta: changed files travel whole
  PackOptions pack;      // how whole files are compressed (deltas are weighed against that)
};

// Scans OLD_DIR as `build` scans DIR, compares, makes the changed files that
// pay as deltas (BuildDeltaChoose), prints the plan and leaves in entries
// what the update packs (install.env with the added lines). newFolder
// is DIR, for messages. Returns the number of problems reported.
int BuildBaseApply(const BaseOptions& options, const std::string& newFolder,
                   std::vector<BuildEntry>* entries);
