// Writing a delta stream (see payload/format.h) from instructions: the
// control, difference and literal bytes each become a zlib stream of their
// own, compressed in pieces as they come (with the packer's best engine), so
// memory follows the delta's packed size, not the file's.
#pragma once

#include <cstdint>
#include <vector>

#include "support/sha256.h"
#include "updpack/compress/compress_engine.h"

struct DeltaDeflater {
  std::vector<unsigned char> pending;  // bytes not compressed yet
  std::vector<unsigned char> history;  // the last ones compressed, for engines that use them
  std::vector<unsigned char> packed;   // the zlib header and the pieces so far
  uint32_t adler;
  CompressEngine* engine;
};

struct DeltaWriter {
  CompressEngineKind kind;
  CompressEngine* literalEngine;  // at the level whole files get
  CompressEngine* bestEngine;     // for the control and difference streams
  std::vector<unsigned char> piece;
  DeltaDeflater control, difference, literal;
  int64_t recent[4];     // ends of the last four copies and adds, latest first
  uint64_t made;         // bytes of the new file described so far
  uint64_t literalMade;  // of them, as literals
  bool failed;
};

// literalLevel: the packer's 1..12 for the literal stream, the level whole
// files get, so that a delta never looks smaller than a whole file by its
// level alone; a piece of literals written while at most half of the file
// so far was literal, and the control and difference streams, which no
// whole file has, get the best. 0, or -1 when a compressor cannot start.
int DeltaWriterBegin(DeltaWriter* w, int literalLevel);
// n base bytes from baseAt.
void DeltaWriteCopy(DeltaWriter* w, int64_t baseAt, uint32_t n);
// n bytes from baseAt, each corrected to the new file's byte.
void DeltaWriteAdd(DeltaWriter* w, int64_t baseAt, const unsigned char* baseBytes,
                   const unsigned char* newBytes, uint32_t n);
void DeltaWriteLiteral(DeltaWriter* w, const unsigned char* bytes, uint32_t n);
// Ends the streams and puts the whole delta stream, header first, into out.
// 0, or -1 when compression failed on the way. Frees the writer's
// compressor either way.
int DeltaWriterEnd(DeltaWriter* w, uint32_t baseSize, const unsigned char* baseSha,
                   uint32_t newSize, const unsigned char* newSha, std::vector<unsigned char>* out);
// Frees the compressor of a writer given up on.
void DeltaWriterAbandon(DeltaWriter* w);
