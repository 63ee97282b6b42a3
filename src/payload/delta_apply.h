// Applying a delta entry's stream (see format.h): the new file is built from
// the base, read with seeks, and written through a sink in 131072-byte
// chunks. Memory stays under 1 MiB whatever the file sizes: three inflaters
// with their input buffers, an output chunk and a difference chunk.
#pragma once

#include <cstdint>

#include "payload/format.h"
#include "payload/inflate_entry.h"
#include "support/sha256.h"

struct DeltaHeader {
  uint32_t baseSize;
  unsigned char baseSha[kSha256Bytes];
  uint32_t newSize;
  unsigned char newSha[kSha256Bytes];
  uint32_t controlBytes;
  uint32_t differenceBytes;
  uint32_t literalBytes;
};

// Reads size bytes at offset (of the base file, or of the delta stream from
// its magic); 0 when all of them were read, non-zero otherwise.
struct DeltaReader {
  void* context;
  int (*readAt)(void* context, uint32_t offset, unsigned char* data, uint32_t size);
};

enum : int {
  kDeltaOk = 0,
  kDeltaBadHeader = -1,    // no magic, a size of 2^31 or more, lengths that miss the packed size
  kDeltaBaseDiffers = -2,  // the base has another size or checksum
  kDeltaCorrupt = -3,      // a stream that fails, ends early or has bytes left; a bad instruction
  kDeltaOutsideBase = -4,  // a copy or add that reaches outside the base
  kDeltaWrongSize = -5,    // the instructions make more or fewer bytes than the new size
  kDeltaBadOutput = -6,    // the new file's checksum fails
  kDeltaReadFailed = -7,   // the base or the delta could not be read
  kDeltaWriteFailed = -8,  // the sink failed
  kDeltaNoMemory = -9,
};

// Decodes the 88 header bytes of a delta stream of packedSize bytes.
int DeltaParseHeader(const unsigned char* bytes, uint32_t packedSize, DeltaHeader* header);

// Reads the base whole and compares its size and SHA-256 with the header's:
// kDeltaOk, kDeltaBaseDiffers, kDeltaReadFailed or kDeltaNoMemory.
int DeltaCheckBase(const DeltaHeader& header, const DeltaReader& base, uint32_t baseSize);

// Writes the new file to the sink; every full chunk is written at once, the
// rest at the end (no empty write), and chunkWritten follows each write with
// the bytes written so far and `position` advanced by the delta bytes read.
// The base's size is checked, its checksum is not (DeltaCheckBase does that
// before anything is written); the new file's size and SHA-256 are, after
// its last chunk, so a caller keeps the output aside until this returns
// kDeltaOk. *written receives the bytes written.
int DeltaApply(const DeltaHeader& header, const DeltaReader& delta, const DeltaReader& base,
               uint32_t baseSize, const PayloadSink& sink, uint32_t position, uint32_t* written);

// A short English text for a result code.
const char* DeltaResultText(int code);
