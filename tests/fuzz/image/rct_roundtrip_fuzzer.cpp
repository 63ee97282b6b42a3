// Pictures made from the input through the encoder and back through the
// decoder: the pixels must come back exactly and the stream must be used
// to its last byte.
//
// Input: byte 0 picks the width (1 to 64), byte 1 the mode. In raw mode
// every 3 bytes are a pixel; in palette mode each byte is one of four
// colours, or (0xF0 and up) a repeat of the previous pixel 64 to 1024 times.
// Pictures stay small to keep the runs quick; runs past the longest tokens
// are covered by the unit tests.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/rct_decode.h"
#include "image/rct_encode.h"

namespace {

constexpr size_t kMaxPixels = 8192;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int32_t width = 1 + data[0] % 64;
  const bool palette = data[1] & 1;
  std::vector<unsigned char> pixels;
  if (palette) {
    static const uint32_t kColours[4] = {0x000000, 0xFFFFFF, 0x3366CC, 0x3366CD};
    for (size_t i = 2; i < size && pixels.size() < 3 * kMaxPixels; ++i) {
      size_t repeat = 1;
      uint32_t c = kColours[data[i] & 3];
      if (data[i] >= 0xF0 && !pixels.empty()) {
        repeat = (data[i] - 0xEF) * size_t{64};
        c = pixels[pixels.size() - 3] | (pixels[pixels.size() - 2] << 8) |
            (pixels[pixels.size() - 1] << 16);
      }
      for (size_t r = 0; r < repeat && pixels.size() < 3 * kMaxPixels; ++r) {
        pixels.insert(pixels.end(),
                      {static_cast<unsigned char>(c), static_cast<unsigned char>(c >> 8),
                       static_cast<unsigned char>(c >> 16)});
      }
    }
  } else {
    pixels.assign(data + 2, data + 2 + (size - 2) / 3 * 3);
  }
  const int32_t height = static_cast<int32_t>(pixels.size() / 3 / width);
  if (height < 1) return 0;
  pixels.resize(3 * static_cast<size_t>(width) * height);

  std::vector<unsigned char> stream;
  if (RctEncode(pixels.data(), width, height, &stream) != 0) abort();
  std::vector<unsigned char> out(pixels.size());
  size_t consumed = 0;
  if (RctDecode(stream.data(), stream.size(), width, height, out.data(), out.size(), &consumed) !=
      kRctDecodeOk) {
    abort();
  }
  if (out != pixels || consumed != stream.size()) abort();
  return 0;
}
