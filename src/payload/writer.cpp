#include "payload/writer.h"

#include <cstring>

void PayloadPutU16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void PayloadPutU32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void PayloadPutU64(uint8_t* at, uint64_t value) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

int PayloadAppendEntryHeader(std::vector<uint8_t>* out, const char* name, uint32_t size,
                             uint32_t packedSize) {
  size_t nameBytes = strlen(name) + 1;
  if (nameBytes < 2 || nameBytes > kPayloadNameMax) return -1;
  if (size != kPayloadFolderSize && size > kPayloadValueMax) return -1;
  if (packedSize > kPayloadValueMax) return -1;
  size_t at = out->size();
  out->resize(at + kPayloadHeaderFixedBytes + nameBytes);
  uint8_t* p = out->data() + at;
  PayloadPutU16(p, static_cast<uint16_t>(nameBytes));
  memcpy(p + 2, name, nameBytes);
  PayloadPutU32(p + 2 + nameBytes, size);
  PayloadPutU32(p + 6 + nameBytes, packedSize);
  return 0;
}

size_t PayloadPackedSizeOffset(const char* name) { return 2 + strlen(name) + 1 + 4; }

void PayloadAppendTimeStamp(std::vector<uint8_t>* out, uint64_t fileTime) {
  size_t at = out->size();
  out->resize(at + kPayloadTimeStampBytes);
  PayloadPutU64(out->data() + at, fileTime);
}

void PayloadAppendEndMarker(std::vector<uint8_t>* out) {
  out->insert(out->end(), kPayloadEndMarkerBytes, 0);
}

void PayloadAppendTrailer(std::vector<uint8_t>* out, uint32_t imageLength) {
  size_t at = out->size();
  out->resize(at + kPayloadTrailerBytes);
  PayloadPutU32(out->data() + at, imageLength);
}
