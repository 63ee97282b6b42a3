// Whole title picture files through the parser, the decoder and the row
// spreading, as the updater loads them: the output buffer is the bitmap's
// stride x height bytes. A stream the decoder accepts also checks the
// encoder: its stream for the same picture is never longer and decodes to
// the same pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/picture_layout.h"
#include "image/rct_decode.h"
#include "image/rct_encode.h"
#include "image/rct_format.h"

namespace {

constexpr int64_t kMaxBitmapBytes = 1 << 20;    // keeps each input quick
constexpr int64_t kMaxEncodedPixels = 1 << 12;  // the encoder check costs more

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RctFile rct;
  if (RctParseFile(data, size, &rct) != kRctFileOk) return 0;
  const int32_t width = rct.header.width, height = rct.header.height;
  const int64_t packed = PicturePackedBytes(width, height);
  if (packed < 0) {
    unsigned char out[4];
    if (RctDecode(rct.stream, rct.header.dataSize, width, height, out, sizeof out) !=
        kRctDecodeBadSize) {
      abort();
    }
    return 0;
  }
  const int64_t stride = PictureStride(width);
  if (stride * height > kMaxBitmapBytes) return 0;

  // The stream in a buffer of its own size, so that any read past it is caught.
  std::vector<unsigned char> stream(rct.stream, rct.stream + rct.header.dataSize);
  std::vector<unsigned char> bits(static_cast<size_t>(stride * height));
  size_t consumed = 0;
  int result =
      RctDecode(stream.data(), stream.size(), width, height, bits.data(), bits.size(), &consumed);
  if (result != kRctDecodeOk) return 0;
  if (consumed > stream.size()) abort();

  if (packed / 3 <= kMaxEncodedPixels) {
    std::vector<unsigned char> picture(bits.begin(), bits.begin() + packed);
    std::vector<unsigned char> encoded;
    if (RctEncode(picture.data(), width, height, &encoded) != 0) abort();
    if (encoded.size() > consumed) abort();  // the encoder is not optimal
    std::vector<unsigned char> again(static_cast<size_t>(packed));
    if (RctDecode(encoded.data(), encoded.size(), width, height, again.data(), again.size()) !=
            kRctDecodeOk ||
        again != picture) {
      abort();
    }
  }

  std::vector<unsigned char> packedCopy(bits.begin(), bits.begin() + packed);
  PictureSpreadRows(bits.data(), width, height, stride);
  for (int32_t y = 0; y < height; ++y) {
    if (memcmp(bits.data() + y * stride, packedCopy.data() + y * 3 * static_cast<size_t>(width),
               3 * static_cast<size_t>(width)) != 0) {
      abort();
    }
  }
  return 0;
}
