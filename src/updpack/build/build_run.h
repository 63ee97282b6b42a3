// `updpack build`: the stub, then the payload made from a folder, written to
// a temporary file beside the output and renamed into place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "updpack/build/build_base.h"
#include "updpack/build/build_times.h"
#include "updpack/compress/compress_engine.h"

// A file made in memory that joins the folder's files at the top level (in
// place of one of the same name), e.g. a picture converted for the updater.
struct BuildGenerated {
  std::string name;  // UTF-8
  std::vector<uint8_t> contents;
  uint64_t fileTime = 0;
  std::string shown;  // its source, for messages
};

// A check of one top-level file's contents before anything is written, e.g.
// of the environment file. It reports what it finds (naming `shown`) and
// returns the number of errors; errors stop the build unless --ignore-check.
using BuildContentCheck = int (*)(const std::vector<uint8_t>& contents, const std::string& shown);
struct BuildCheck {
  std::string name;  // UTF-8, letter case ignored
  BuildContentCheck check = nullptr;
};

struct BuildOptions {
  std::string folder;  // what the payload holds
  std::string output;
  std::string stub;                 // empty: the default updater
  bool force = false;               // replace an existing output
  bool ignoreChecks = false;        // build despite errors that the checks found
  std::vector<std::string> inputs;  // files read besides DIR and the stub (never overwritten)
  int jobs = 0;                     // compression threads; 0: one per hardware thread
  CompressEngineKind engine = CompressDefaultEngine();
  int level = kCompressLevelDefault;
  size_t pieceSize = 0;  // 0: the default piece size
  std::vector<BuildGenerated> generated;
  std::vector<BuildCheck> checks;
  BuildTimes times;     // --mtime or SOURCE_DATE_EPOCH
  BaseOptions base;     // --base: only what differs from that folder (empty: everything)
  bool dryRun = false;  // check and show what would be packed, write nothing
};

// Runs the build; returns the exit code (0, or 1 after reporting why not).
int RunBuild(const BuildOptions& options);
