// Writing a delta stream (see payload/format.h) from instructions: the
// control, difference and literal bytes each go through a zlib stream of
// their own as they come, so memory follows the delta's packed size, not
// the file's.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <vector>

#include "support/sha256.h"

struct DeltaDeflater {
  z_stream z;
  bool open;
  std::vector<unsigned char> pending;  // inflated bytes not handed to zlib yet
  std::vector<unsigned char> packed;
};

struct DeltaWriter {
  DeltaDeflater control, difference, literal;
  int64_t recent[4];  // ends of the last four copies and adds, latest first
  uint64_t made;      // bytes of the new file described so far
  bool failed;
};

// level: zlib's 1..9. 0, or -1 when zlib cannot start (no memory).
int DeltaWriterBegin(DeltaWriter* w, int level);
// n base bytes from baseAt.
void DeltaWriteCopy(DeltaWriter* w, int64_t baseAt, uint32_t n);
// n bytes from baseAt, each corrected to the new file's byte.
void DeltaWriteAdd(DeltaWriter* w, int64_t baseAt, const unsigned char* baseBytes,
                   const unsigned char* newBytes, uint32_t n);
void DeltaWriteLiteral(DeltaWriter* w, const unsigned char* bytes, uint32_t n);
// Ends the streams and puts the whole delta stream, header first, into out.
// 0, or -1 when zlib failed on the way. Frees the writer's zlib state
// either way.
int DeltaWriterEnd(DeltaWriter* w, uint32_t baseSize, const unsigned char* baseSha,
                   uint32_t newSize, const unsigned char* newSha, std::vector<unsigned char>* out);
// Frees the zlib state of a writer given up on.
void DeltaWriterAbandon(DeltaWriter* w);
