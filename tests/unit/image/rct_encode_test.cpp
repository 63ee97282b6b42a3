#include "image/rct_encode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "image/rct_decode.h"
#include "image/rct_format.h"
#include "unit/image/test_pictures.h"

namespace {

using Bytes = std::vector<unsigned char>;

void ExpectRoundTrip(const Bytes& pixels, int width, int height, const char* what) {
  Bytes stream;
  ASSERT_EQ(RctEncode(pixels.data(), width, height, &stream), 0);
  Bytes out(pixels.size(), 0xEE);
  size_t consumed = 0;
  ASSERT_EQ(
      RctDecode(stream.data(), stream.size(), width, height, out.data(), out.size(), &consumed),
      kRctDecodeOk)
      << what << " " << width << " x " << height;
  EXPECT_EQ(consumed, stream.size()) << what << " " << width << " x " << height;
  EXPECT_TRUE(out == pixels) << what << " " << width << " x " << height;
}

TEST(RctEncodeRoundTrip, NarrowAndRowBoundaryWidths) {
  for (int width : {1, 2, 3, 4, 5, 6, 7, 8, 9, 255, 256, 257}) {
    const int height = width < 10 ? 23 : 5;
    ExpectRoundTrip(RandomPicture(width, height, width), width, height, "random");
    ExpectRoundTrip(RandomPicture(width, height, width, 3), width, height, "three colours");
    ExpectRoundTrip(FlatPicture(width, height, 0x336699), width, height, "flat");
  }
}

TEST(RctEncodeRoundTrip, RunsLongerThanTheLongestTokensAreSplit) {
  // 75000 pixels of noise need more than one long literal; 200000 flat
  // pixels more than one long copy.
  ExpectRoundTrip(RandomPicture(300, 250, 77), 300, 250, "random");
  ExpectRoundTrip(FlatPicture(400, 500, 0), 400, 500, "flat");
}

TEST(RctEncode, OnePixelIsThePixelAlone) {
  Bytes pixel = {1, 2, 3}, stream;
  ASSERT_EQ(RctEncode(pixel.data(), 1, 1, &stream), 0);
  EXPECT_EQ(stream, pixel);
}

TEST(RctEncode, FlatTitlePictureIsOneLongCopy) {
  Bytes pixels = FlatPicture(256, 256, 0x102030), stream;
  ASSERT_EQ(RctEncode(pixels.data(), 256, 256, &stream), 0);
  // 65535 pixels after the first: one copy of the previous pixel, count
  // 65535 - 4.
  EXPECT_EQ(stream, (Bytes{0x30, 0x20, 0x10, 0x83, 0xFB, 0xFF}));
}

TEST(RctEncode, RefusesSizesOutOfRange) {
  Bytes pixels(3), stream;
  EXPECT_EQ(RctEncode(pixels.data(), 0, 1, &stream), -1);
  EXPECT_EQ(RctEncode(pixels.data(), 1, -1, &stream), -1);
}

TEST(RctTokens, LiteralLengthsAtTheirFormBoundaries) {
  Bytes pixels(3 * 65663, 0x55), stream;
  RctPutLiteral(&stream, pixels.data(), 1);
  EXPECT_EQ(stream[0], 0x00);
  stream.clear();
  RctPutLiteral(&stream, pixels.data(), 127);
  EXPECT_EQ(stream[0], 0x7E);
  EXPECT_EQ(stream.size(), 1u + 381);
  stream.clear();
  RctPutLiteral(&stream, pixels.data(), 128);
  EXPECT_EQ(Bytes(stream.begin(), stream.begin() + 3), (Bytes{0x7F, 0x00, 0x00}));
  EXPECT_EQ(stream.size(), 3u + 384);
  stream.clear();
  RctPutLiteral(&stream, pixels.data(), 65663);
  EXPECT_EQ(Bytes(stream.begin(), stream.begin() + 3), (Bytes{0x7F, 0xFF, 0xFF}));
}

TEST(RctTokens, CopyLengthsAtTheirFormBoundaries) {
  Bytes stream;
  RctPutCopy(&stream, 0, 1);
  RctPutCopy(&stream, 31, 3);
  RctPutCopy(&stream, 9, 4);
  RctPutCopy(&stream, 5, 65539);
  EXPECT_EQ(stream, (Bytes{0x80, 0xFE, 0xA7, 0x00, 0x00, 0x97, 0xFF, 0xFF}));
}

// The smallest stream size straight from the format's rules: every token
// from every pixel, each copy checked pixel by pixel. Slow, for small
// pictures only.
int64_t ReferenceSmallestStream(const Bytes& pixels, int width, int height) {
  const int64_t n = static_cast<int64_t>(width) * height;
  auto same = [&](int64_t a, int64_t b) {
    return std::equal(pixels.begin() + 3 * a, pixels.begin() + 3 * a + 3, pixels.begin() + 3 * b);
  };
  std::vector<int64_t> best(n + 1, INT64_MAX);
  best[1] = 3;
  for (int64_t i = 1; i < n; ++i) {
    for (int64_t run = 1; i + run <= n && run <= 65663; ++run) {
      int64_t literal = (run <= 127 ? 1 : 3) + 3 * run;
      best[i + run] = std::min(best[i + run], best[i] + literal);
    }
    for (int k = 0; k < kRctPositionCount; ++k) {
      const int64_t offset = RctPositionOffset(k, width);
      if (offset >= 0 || i + offset < 0) continue;
      for (int64_t run = 1; i + run <= n && run <= 65539 && same(i + run - 1, i + run - 1 + offset);
           ++run) {
        best[i + run] = std::min(best[i + run], best[i] + (run <= 3 ? 1 : 3));
      }
    }
  }
  return best[n];
}

TEST(RctEncodeOptimal, MatchesTheSmallestStreamTheFormatAllows) {
  // Few colours make every kind of token worth taking somewhere: short and
  // long copies from many positions, literal runs between them.
  int compared = 0;
  for (int width : {1, 2, 3, 4, 5, 7, 9, 16, 33}) {
    for (int colours : {0, 2, 3, 5}) {
      for (uint32_t seed = 1; seed <= 3; ++seed) {
        const int height = 300 / width + 1;
        Bytes pixels = RandomPicture(width, height, seed * 100 + width, colours);
        // Flat stretches, so that long copies compete with short ones.
        std::fill(pixels.begin() + 3 * (width * height / 3),
                  pixels.begin() + 3 * (width * height / 2), 0x44);
        Bytes stream;
        ASSERT_EQ(RctEncode(pixels.data(), width, height, &stream), 0);
        ASSERT_EQ(static_cast<int64_t>(stream.size()),
                  ReferenceSmallestStream(pixels, width, height))
            << width << " x " << height << ", " << colours << " colours, seed " << seed;
        ++compared;
      }
    }
  }
  EXPECT_EQ(compared, 9 * 4 * 3);
}

TEST(RctEncodeOptimal, LongLiteralOnlyWhereItSaves) {
  // Noise: 382 pixels after the first take one long literal (3 + 1146)
  // rather than four short ones (4 + 1146); 254 pixels take two short ones.
  for (int n : {255, 383}) {
    Bytes pixels = RandomPicture(n, 1, 42), stream;
    ASSERT_EQ(RctEncode(pixels.data(), n, 1, &stream), 0);
    EXPECT_EQ(static_cast<int64_t>(stream.size()), ReferenceSmallestStream(pixels, n, 1)) << n;
    EXPECT_EQ(stream[3], n == 383 ? 0x7F : 0x7E) << n;
  }
}

}  // namespace
