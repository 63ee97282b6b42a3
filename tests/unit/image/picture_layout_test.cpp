#include "image/picture_layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(PictureLayout, StrideRoundsRowsUpToFourBytes) {
  EXPECT_EQ(PictureStride(1), 4);
  EXPECT_EQ(PictureStride(2), 8);
  EXPECT_EQ(PictureStride(3), 12);
  EXPECT_EQ(PictureStride(4), 12);
  EXPECT_EQ(PictureStride(5), 16);
  EXPECT_EQ(PictureStride(256), 768);
}

TEST(PictureLayout, PackedBytesOfSoundSizes) {
  EXPECT_EQ(PicturePackedBytes(1, 1), 3);
  EXPECT_EQ(PicturePackedBytes(256, 256), 196608);
  EXPECT_EQ(PicturePackedBytes(5, 2), 30);
}

TEST(PictureLayout, RefusesSizesBelowOneAndBitmapsBeyondTwoGigabytes) {
  EXPECT_EQ(PicturePackedBytes(0, 1), -1);
  EXPECT_EQ(PicturePackedBytes(1, 0), -1);
  EXPECT_EQ(PicturePackedBytes(-5, 10), -1);
  EXPECT_EQ(PicturePackedBytes(10, -5), -1);
  EXPECT_EQ(PicturePackedBytes(INT32_MIN, INT32_MIN), -1);
  EXPECT_EQ(PicturePackedBytes(INT32_MAX, 1), -1);
  EXPECT_EQ(PicturePackedBytes(65536, 65536), -1);
  // Width 4 has a 12-byte stride: the last height that fits and the first
  // that does not.
  const int32_t fits = INT32_MAX / 12;
  EXPECT_EQ(PicturePackedBytes(4, fits), 12LL * fits);
  EXPECT_EQ(PicturePackedBytes(4, fits + 1), -1);
}

std::vector<unsigned char> PackedRows(int width, int height, int64_t stride) {
  std::vector<unsigned char> bits(static_cast<size_t>(stride * height), 0xEE);
  for (int i = 0; i < 3 * width * height; ++i) bits[i] = static_cast<unsigned char>(i + 1);
  return bits;
}

void ExpectSpread(const std::vector<unsigned char>& bits, int width, int height, int64_t stride) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < 3 * width; ++x) {
      ASSERT_EQ(bits[y * stride + x], static_cast<unsigned char>(y * 3 * width + x + 1))
          << "row " << y << " byte " << x;
    }
  }
}

TEST(PictureLayout, SpreadsRowsToTheStrideWithoutOverwritingThem) {
  // Width 5: rows of 15 bytes move to 16-byte strides; width 1 moves each
  // row onto the packed place of the next, so only last-row-first works.
  for (int width : {1, 2, 3, 5, 7}) {
    for (int height : {1, 2, 5, 40}) {
      const int64_t stride = PictureStride(width);
      std::vector<unsigned char> bits = PackedRows(width, height, stride);
      PictureSpreadRows(bits.data(), width, height, stride);
      ExpectSpread(bits, width, height, stride);
    }
  }
}

TEST(PictureLayout, RowsAlreadyOnTheirStrideStayPut) {
  std::vector<unsigned char> bits = PackedRows(256, 3, 768);
  const std::vector<unsigned char> before = bits;
  PictureSpreadRows(bits.data(), 256, 3, 768);
  EXPECT_EQ(bits, before);
}

}  // namespace
