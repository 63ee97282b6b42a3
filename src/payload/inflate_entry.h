// One file entry's data: its time stamp, and its zlib stream inflated and
// handed on in 131072-byte chunks with two buffers.
#pragma once

#include <cstdint>
#include <cstdio>

// Where inflated data goes.
struct PayloadSink {
  void* context;
  // Writes size bytes; 0 when all of them were written, non-zero otherwise.
  int (*write)(void* context, const unsigned char* data, uint32_t size);
  // After every write: the inflated bytes of this file written so far and
  // the payload position (bytes consumed, the chunks read so far included).
  // May be null.
  void (*chunkWritten)(void* context, uint32_t written, uint32_t position);
};

// A sink that writes to the FILE* in its context.
int PayloadWriteStdio(void* context, const unsigned char* data, uint32_t size);

// Reads the 8-byte time stamp that starts a file entry's data. 0, or -1 on a
// short read.
int PayloadReadTimeStamp(FILE* stream, uint64_t* stamp);

// Inflates the zlib stream of packedSize bytes at the stream's position.
// Input is read in chunks of at most 131072 bytes, only while inflation needs
// more; each full output chunk of 131072 bytes is written at once, the rest
// when the stream ends (no empty write). chunkWritten follows every write.
// inChunk and outChunk hold kPayloadChunkSize bytes each. `position` is the
// payload position before the stream; it is advanced by each chunk read and
// passed to chunkWritten.
//
// Returns 0, or 1 on failure: corrupt data, a failed Adler-32 check, input
// that runs out before the stream ends, a write that falls short, and a
// stream that ends before its packed size is used up (the header and the
// stream disagree, so the next header's place is unknown: the archive is
// corrupt). *written receives the number of inflated bytes written; `reason`,
// when given, a short English text on failure.
int PayloadInflateEntry(FILE* stream, uint32_t packedSize, uint32_t position,
                        unsigned char* inChunk, unsigned char* outChunk, const PayloadSink& sink,
                        uint32_t* written, const char** reason = nullptr);
