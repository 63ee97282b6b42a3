// Writing side of the payload archive: the bytes of entry headers, time
// stamps, the end marker and the trailer, little-endian as the format says.
// The builder streams entries itself; these produce the pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "payload/format.h"

// Little-endian stores at a given place (for patching a header afterwards).
void PayloadPutU16(uint8_t* at, uint16_t value);
void PayloadPutU32(uint8_t* at, uint32_t value);
void PayloadPutU64(uint8_t* at, uint64_t value);

// Appends an entry header: name length (NUL included), the name with its
// NUL, size and packed size. A folder's size is kPayloadFolderSize and its
// packed size 0. Returns 0, or -1 (nothing appended) when the name is empty
// or longer than kPayloadNameMax allows, or a file's size or packed size
// is above kPayloadValueMax.
int PayloadAppendEntryHeader(std::vector<uint8_t>* out, const char* name, uint32_t size,
                             uint32_t packedSize);

// Offset of the packed size field within a header written for this name, so
// that a header written before its stream's length is known can be patched.
size_t PayloadPackedSizeOffset(const char* name);

void PayloadAppendTimeStamp(std::vector<uint8_t>* out, uint64_t fileTime);
void PayloadAppendEndMarker(std::vector<uint8_t>* out);
// The trailer holds P, the length of the image before the first entry.
void PayloadAppendTrailer(std::vector<uint8_t>* out, uint32_t imageLength);
