#include "image/rct_format.h"

#include <cstring>

const unsigned char kRctMagicTc00[kRctMagicSize] = {0x98, 0x5A, 0x92, 0x9A, 'T', 'C', '0', '0'};
const unsigned char kRctMagicTc01[kRctMagicSize] = {0x98, 0x5A, 0x92, 0x9A, 'T', 'C', '0', '1'};
const unsigned char kRctMagic800[kRctMagicSize] = {0x98, 0x5A, 0x92, 0x9A, '8', '_', '0', '0'};

const RctPosition kRctPositions[kRctPositionCount] = {
    {-1, 0}, {-2, 0}, {-3, 0}, {-4, 0}, {-5, 0}, {-6, 0},           // same row
    {3, 1},  {2, 1},  {1, 1},  {0, 1},  {-1, 1}, {-2, 1}, {-3, 1},  // one up
    {3, 2},  {2, 2},  {1, 2},  {0, 2},  {-1, 2}, {-2, 2}, {-3, 2},  // two up
    {3, 3},  {2, 3},  {1, 3},  {0, 3},  {-1, 3}, {-2, 3}, {-3, 3},  // three up
    {2, 4},  {1, 4},  {0, 4},  {-1, 4}, {-2, 4},                    // four up
};

namespace {

uint32_t ReadU32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void PutU32(unsigned char* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace

int RctParseHeader(const unsigned char* bytes, RctHeader* header) {
  if (memcmp(bytes, kRctMagicTc00, kRctMagicSize) == 0) {
    header->kind = kRctKindTc00;
  } else if (memcmp(bytes, kRctMagicTc01, kRctMagicSize) == 0) {
    header->kind = kRctKindTc01;
  } else if (memcmp(bytes, kRctMagic800, kRctMagicSize) == 0) {
    header->kind = kRctKind800;
  } else {
    header->kind = kRctKindUnknown;
  }
  header->width = static_cast<int32_t>(ReadU32(bytes + 8));
  header->height = static_cast<int32_t>(ReadU32(bytes + 12));
  header->dataSize = ReadU32(bytes + 16);
  return header->kind;
}

int64_t RctPositionOffset(int k, int32_t width) {
  return kRctPositions[k].dx - static_cast<int64_t>(kRctPositions[k].up) * width;
}

int RctParseFile(const unsigned char* data, size_t size, RctFile* file) {
  *file = RctFile();
  if (size < kRctHeaderSize) return kRctFileTruncated;
  int kind = RctParseHeader(data, &file->header);
  if (kind != kRctKindTc00 && kind != kRctKindTc01) return kRctFileNotRct;
  size_t at = kRctHeaderSize;
  if (kind == kRctKindTc01) {
    if (size - at < kRctTextLengthSize) return kRctFileTruncated;
    file->textLength = data[at] | (data[at + 1] << 8);
    at += kRctTextLengthSize;
    if (size - at < file->textLength) return kRctFileTruncated;
    file->text = data + at;
    at += file->textLength;
  }
  if (size - at < file->header.dataSize) return kRctFileTruncated;
  file->stream = data + at;
  file->trailing = size - at - file->header.dataSize;
  return kRctFileOk;
}

int RctBuildFile(int32_t width, int32_t height, const std::vector<unsigned char>& stream,
                 const char* text, std::vector<unsigned char>* file) {
  const size_t textLength = text ? strlen(text) + 1 : 0;
  if (textLength > 0xFFFF || stream.size() > 0xFFFFFFFFu) return -1;
  const size_t streamAt = kRctHeaderSize + (text ? kRctTextLengthSize + textLength : 0);
  file->assign(streamAt + stream.size(), 0);
  unsigned char* out = file->data();
  memcpy(out, text ? kRctMagicTc01 : kRctMagicTc00, kRctMagicSize);
  PutU32(out + 8, static_cast<uint32_t>(width));
  PutU32(out + 12, static_cast<uint32_t>(height));
  PutU32(out + 16, static_cast<uint32_t>(stream.size()));
  if (text) {
    out[20] = static_cast<unsigned char>(textLength);
    out[21] = static_cast<unsigned char>(textLength >> 8);
    memcpy(out + 22, text, textLength);
  }
  if (!stream.empty()) memcpy(out + streamAt, stream.data(), stream.size());
  return 0;
}
