// Writes the payload after the stub: the entries with their compressed
// contents (or their delta streams), the end marker and the trailer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "updpack/build/build_entries.h"
#include "updpack/compress/compress_pool.h"

struct BuildStats {
  uint64_t files = 0;
  uint64_t deltas = 0;  // of the files, those written as deltas
  uint64_t folders = 0;
  uint64_t rawBytes = 0;
  uint64_t packedBytes = 0;  // the zlib streams
  uint64_t totalBytes = 0;   // the whole output, stub included
};

// out is positioned just after the stub of imageLength bytes. outName names
// the output in messages. Returns 0, or -1 after reporting the failure.
int BuildWritePayload(FILE* out, const std::string& outName, uint64_t imageLength,
                      const std::vector<BuildEntry>& entries, const PackOptions& options,
                      BuildStats* stats);
