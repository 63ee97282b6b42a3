#include "greedy_encoder.h"

#include "image/rct_encode.h"
#include "image/rct_format.h"

namespace {

void FlushLiteral(std::vector<unsigned char>* stream, const unsigned char* pixels, size_t from,
                  size_t to) {
  while (from < to) {
    const size_t run = to - from < kRctLongLiteralMax ? to - from : kRctLongLiteralMax;
    RctPutLiteral(stream, pixels + 3 * from, static_cast<uint32_t>(run));
    from += run;
  }
}

}  // namespace

void GreedyEncode(const unsigned char* pixels, int32_t width, int32_t height,
                  std::vector<unsigned char>* stream) {
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<uint32_t> colour(count);
  for (size_t i = 0; i < count; ++i) {
    colour[i] = pixels[3 * i] | (pixels[3 * i + 1] << 8) | (pixels[3 * i + 2] << 16);
  }
  size_t distance[kRctPositionCount];
  for (int k = 0; k < kRctPositionCount; ++k) {
    const int64_t offset = RctPositionOffset(k, width);
    distance[k] = offset < 0 ? static_cast<size_t>(-offset) : 0;
  }

  stream->assign(pixels, pixels + 3);
  size_t literalFrom = 1;
  size_t i = 1;
  while (i < count) {
    size_t best = 0;
    int bestK = 0;
    for (int k = 0; k < kRctPositionCount; ++k) {
      const size_t d = distance[k];
      if (d == 0 || d > i) continue;
      size_t run = 0;
      while (i + run < count && run < kRctLongCopyMax && colour[i + run] == colour[i + run - d]) {
        ++run;
      }
      if (run > best) {
        best = run;
        bestK = k;
      }
    }
    if (best == 0) {
      ++i;
      continue;
    }
    FlushLiteral(stream, pixels, literalFrom, i);
    RctPutCopy(stream, bestK, static_cast<uint32_t>(best));
    i += best;
    literalFrom = i;
  }
  FlushLiteral(stream, pixels, literalFrom, count);
}
