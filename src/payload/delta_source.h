// A DeltaReader on a region of a file: the delta stream inside the payload,
// or the whole base file. Reads go through seek and read callbacks (stdio
// here, Win32 at the updater's edge); a read that follows the previous one
// does not seek, so a region read front to back costs no seeks at all.
#pragma once

#include <cstdint>
#include <cstdio>

#include "payload/delta_apply.h"
#include "payload/inflate_entry.h"

struct DeltaSource {
  void* handle;
  int (*seek)(void* handle, int64_t offset);                           // 0 on success
  uint32_t (*read)(void* handle, unsigned char* data, uint32_t size);  // bytes read
  int64_t origin;  // file offset of the region's first byte
  uint32_t size;   // bytes in the region
  int64_t at;      // the file's position, or -1 when not known
};

void DeltaSourceInit(DeltaSource* source, void* handle, int (*seek)(void*, int64_t),
                     uint32_t (*read)(void*, unsigned char*, uint32_t), int64_t origin,
                     uint32_t size);

// The same on a stdio stream (64-bit seeks).
void DeltaSourceOnStdio(DeltaSource* source, FILE* stream, int64_t origin, uint32_t size);

// Reads outside the region fail, as do short reads.
DeltaReader DeltaSourceReader(DeltaSource* source);

// A delta entry's data, the stream at its time stamp: reads the stamp and
// the delta's header; *start is the file offset of the delta stream (its
// magic). The stream is left just after the header. kDeltaOk,
// kDeltaReadFailed, or DeltaParseHeader's result.
int DeltaEntryBegin(FILE* stream, uint32_t packedSize, uint64_t* stamp, DeltaHeader* header,
                    int64_t* start);
