#include "image/rct_decode.h"

#include <cstring>

#include "image/picture_layout.h"
#include "image/rct_format.h"

namespace {

constexpr unsigned kLongLiteral = 0x7F;
constexpr size_t kLongLiteralBase = 128;
constexpr size_t kLongCopyBase = 4;

}  // namespace

int RctDecode(const unsigned char* stream, size_t streamSize, int32_t width, int32_t height,
              unsigned char* out, size_t outSize, size_t* consumed) {
  const int64_t packed = PicturePackedBytes(width, height);
  if (packed < 0 || static_cast<uint64_t>(packed) > outSize) return kRctDecodeBadSize;
  const size_t total = static_cast<size_t>(packed);

  // Each position as a distance back in bytes; zero or less marks one that
  // would read pixels not yet decoded (possible for pictures under 4 wide).
  int64_t back[kRctPositionCount];
  for (int k = 0; k < kRctPositionCount; ++k) back[k] = -3 * RctPositionOffset(k, width);

  if (streamSize < 3) return kRctDecodeStreamEnds;
  memcpy(out, stream, 3);
  size_t p = 3;
  size_t in = 3;
  while (p < total) {
    if (in >= streamSize) return kRctDecodeStreamEnds;
    const unsigned b = stream[in++];
    const bool longForm = b < 0x80 ? b == kLongLiteral : (b & 3) == 3;
    size_t run;
    if (longForm) {
      if (streamSize - in < 2) return kRctDecodeStreamEnds;
      run = stream[in] | (stream[in + 1] << 8);
      in += 2;
      run += b < 0x80 ? kLongLiteralBase : kLongCopyBase;
    } else {
      run = b < 0x80 ? b + 1 : (b & 3) + 1;
    }
    const size_t bytes = 3 * run;
    if (bytes > total - p) return kRctDecodeOverrun;

    if (b < 0x80) {
      if (bytes > streamSize - in) return kRctDecodeStreamEnds;
      memcpy(out + p, stream + in, bytes);
      in += bytes;
    } else {
      const int64_t distance = back[(b >> 2) & 0x1F];
      if (distance <= 0 || static_cast<uint64_t>(distance) > p) return kRctDecodeBadSource;
      unsigned char* dst = out + p;
      const unsigned char* src = dst - distance;
      if (static_cast<uint64_t>(distance) >= bytes) {
        memcpy(dst, src, bytes);
      } else {
        // Overlapping: byte by byte, so the bytes just written repeat.
        for (size_t i = 0; i < bytes; ++i) dst[i] = src[i];
      }
    }
    p += bytes;
  }
  if (consumed) *consumed = in;
  return kRctDecodeOk;
}

const char* RctDecodeResultText(int result) {
  switch (result) {
    case kRctDecodeOk:
      return "decoded";
    case kRctDecodeStreamEnds:
      return "the pixel stream ends inside a token";
    case kRctDecodeOverrun:
      return "a token reaches past the last pixel";
    case kRctDecodeBadSource:
      return "a copy reads from before the first pixel or from a pixel not yet decoded";
    case kRctDecodeBadSize:
      return "the picture's width or height is out of range";
    default:
      return "unknown fault";
  }
}
