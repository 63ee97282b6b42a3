#include "image/rct_decode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "image/rct_encode.h"
#include "unit/image/test_pictures.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A stream being built by hand: the first pixel, then tokens.
struct Stream {
  Bytes bytes;
  explicit Stream(const unsigned char* first) : bytes(first, first + 3) {}
  Stream& Literal(const unsigned char* pixels, uint32_t run) {
    RctPutLiteral(&bytes, pixels, run);
    return *this;
  }
  Stream& Copy(int k, uint32_t run) {
    RctPutCopy(&bytes, k, run);
    return *this;
  }
  Stream& Raw(std::initializer_list<unsigned char> raw) {
    bytes.insert(bytes.end(), raw);
    return *this;
  }
};

// Decodes into a buffer of exactly the picture's size (the sanitizers catch
// any byte outside it).
struct Decoded {
  int result;
  size_t consumed = 0;
  Bytes pixels;
};
Decoded Decode(const Bytes& stream, int width, int height) {
  Decoded d;
  d.pixels.assign(3 * static_cast<size_t>(width) * height, 0xEE);
  d.result = RctDecode(stream.data(), stream.size(), width, height, d.pixels.data(),
                       d.pixels.size(), &d.consumed);
  return d;
}

Bytes Pixel(const Bytes& pixels, size_t i) {
  return Bytes(pixels.begin() + 3 * i, pixels.begin() + 3 * i + 3);
}

TEST(RctDecodeWellFormed, OnePixelPictureIsTheFirstPixelAlone) {
  Bytes stream = {0x10, 0x20, 0x30, 0x7F};  // the last byte is never read
  Decoded d = Decode(stream, 1, 1);
  ASSERT_EQ(d.result, kRctDecodeOk);
  EXPECT_EQ(d.pixels, (Bytes{0x10, 0x20, 0x30}));
  EXPECT_EQ(d.consumed, 3u);
}

TEST(RctDecodeWellFormed, FullTitleSizeFillsExactly196608Bytes) {
  // Row 0 from a long literal and a short one, then one long copy from the
  // row above that overlaps itself and repeats the row 255 times.
  Bytes row = RandomPicture(256, 1, 7);
  Stream s(row.data());
  s.Literal(row.data() + 3, 128).Literal(row.data() + 3 * 129, 127).Copy(9, 256 * 255);
  // Exactly the picture's bytes plus a fence that must stay untouched.
  Bytes out(196608 + 64, 0xEE);
  size_t consumed = 0;
  ASSERT_EQ(RctDecode(s.bytes.data(), s.bytes.size(), 256, 256, out.data(), out.size(), &consumed),
            kRctDecodeOk);
  EXPECT_EQ(consumed, s.bytes.size());  // the last token ends at the stream's end
  for (int y = 0; y < 256; ++y) {
    ASSERT_TRUE(std::equal(row.begin(), row.end(), out.begin() + 768 * y)) << "row " << y;
  }
  for (size_t i = 196608; i < out.size(); ++i) ASSERT_EQ(out[i], 0xEE) << i;
}

TEST(RctDecodeWellFormed, CopyStraightUpRepeatsAWholeRow) {
  for (int width : {5, 256}) {
    Bytes row = RandomPicture(width, 1, 11);
    Stream s(row.data());
    s.Literal(row.data() + 3, width - 1).Copy(9, width);
    Decoded d = Decode(s.bytes, width, 2);
    ASSERT_EQ(d.result, kRctDecodeOk) << width;
    EXPECT_TRUE(std::equal(row.begin(), row.end(), d.pixels.begin() + 3 * width)) << width;
    EXPECT_EQ(d.consumed, s.bytes.size());
  }
}

TEST(RctDecodeWellFormed, LongFormsWithCountZero) {
  Bytes pixels = RandomPicture(132, 1, 3);
  // A long literal of count 0 carries 128 pixels.
  Stream lit(pixels.data());
  lit.Raw({0x7F, 0x00, 0x00})
      .bytes.insert(lit.bytes.end(), pixels.begin() + 3, pixels.begin() + 3 * 129);
  Decoded d = Decode(lit.bytes, 129, 1);
  ASSERT_EQ(d.result, kRctDecodeOk);
  EXPECT_EQ(d.consumed, lit.bytes.size());
  EXPECT_TRUE(std::equal(d.pixels.begin(), d.pixels.end(), pixels.begin()));

  // A long copy of count 0 gives 4 pixels: from k = 3 (four to the left)
  // they repeat the first four.
  Stream copy(pixels.data());
  copy.Literal(pixels.data() + 3, 3).Raw({0x80 | (3 << 2) | 3, 0x00, 0x00});
  d = Decode(copy.bytes, 8, 1);
  ASSERT_EQ(d.result, kRctDecodeOk);
  EXPECT_EQ(d.consumed, copy.bytes.size());
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Pixel(d.pixels, 4 + i), Pixel(pixels, i)) << i;
}

TEST(RctDecodeWellFormed, OverlappingCopiesRepeatWhatTheyJustWrote) {
  Bytes pixels = RandomPicture(2, 1, 5);
  // k = 0 over 40 pixels paints the previous pixel's colour; k = 1 over 9
  // pixels repeats the two-pixel pattern.
  Stream s(pixels.data());
  s.Literal(pixels.data() + 3, 1).Copy(0, 40).Copy(1, 9);
  Decoded d = Decode(s.bytes, 51, 1);
  ASSERT_EQ(d.result, kRctDecodeOk);
  for (int i = 1; i < 42; ++i) EXPECT_EQ(Pixel(d.pixels, i), Pixel(pixels, 1)) << i;
  for (int i = 42; i < 51; ++i) EXPECT_EQ(Pixel(d.pixels, i), Pixel(d.pixels, i - 2)) << i;
}

TEST(RctDecodeWellFormed, PositionsRunPastTheRowEndIntoTheNextRow) {
  // Width 4: k = 6 (three right, one up) is the pixel just left, even at a
  // row's start, where it is the last pixel of the row above.
  Bytes pixels = RandomPicture(4, 1, 9);
  Stream s(pixels.data());
  s.Literal(pixels.data() + 3, 3).Copy(6, 1).Copy(9, 3);
  Decoded d = Decode(s.bytes, 4, 2);
  ASSERT_EQ(d.result, kRctDecodeOk);
  EXPECT_EQ(Pixel(d.pixels, 4), Pixel(pixels, 3));
  for (int i = 5; i < 8; ++i) EXPECT_EQ(Pixel(d.pixels, i), Pixel(pixels, i - 4)) << i;
}

TEST(RctDecodeMalformed, StreamsThatEndInsideATokenStop) {
  Bytes px = RandomPicture(4, 1, 1);
  const struct {
    const char* what;
    Bytes stream;
  } cases[] = {
      {"empty", {}},
      {"part of the first pixel", {1, 2}},
      {"no token after the first pixel", {1, 2, 3}},
      {"long literal without its count", {1, 2, 3, 0x7F, 0x00}},
      {"long copy without its count", {1, 2, 3, 0x83}},
      {"literal short of its pixels", {1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 10, 11}},
      {"literal short of one byte", {1, 2, 3, 0x00, 4, 5}},
  };
  for (const auto& c : cases) {
    Decoded d = Decode(c.stream, 4, 1);
    EXPECT_EQ(d.result, kRctDecodeStreamEnds) << c.what;
  }
}

TEST(RctDecodeMalformed, TokensThatWouldWritePastTheLastPixelStop) {
  Bytes px = RandomPicture(8, 1, 2);
  const struct {
    const char* what;
    Bytes stream;
  } cases[] = {
      {"literal", Stream(px.data()).Literal(px.data(), 4).bytes},
      {"long literal", Stream(px.data()).Literal(px.data(), 1).Raw({0x7F, 0, 0}).bytes},
      {"short copy", Stream(px.data()).Copy(0, 2).Copy(0, 2).bytes},
      {"long copy", Stream(px.data()).Copy(0, 4).bytes},
      {"long copy of the greatest count", Stream(px.data()).Raw({0x83, 0xFF, 0xFF}).bytes},
  };
  for (const auto& c : cases) {
    Decoded d = Decode(c.stream, 2, 2);
    EXPECT_EQ(d.result, kRctDecodeOverrun) << c.what;
  }
}

TEST(RctDecodeMalformed, CopiesFromBeforeTheFirstPixelStop) {
  Bytes px = RandomPicture(8, 1, 4);
  // At pixel 1 only k = 0 reaches a decoded pixel; every position above the
  // first row reaches before the picture there.
  for (int k = 1; k < 32; ++k) {
    Decoded d = Decode(Stream(px.data()).Copy(k, 1).bytes, 8, 8);
    EXPECT_EQ(d.result, kRctDecodeBadSource) << "k " << k;
  }
  // Straight up from row 1 works, four up from row 3 does not.
  Decoded d = Decode(Stream(px.data()).Literal(px.data(), 7).Copy(9, 16).Copy(29, 1).bytes, 8, 4);
  EXPECT_EQ(d.result, kRctDecodeBadSource);
  d = Decode(Stream(px.data()).Literal(px.data(), 7).Copy(9, 24).Copy(29, 1).bytes, 8, 5);
  EXPECT_EQ(d.result, kRctDecodeStreamEnds);  // accepted; only the rest is missing
}

TEST(RctDecodeMalformed, CopiesFromPixelsNotYetDecodedStop) {
  // In pictures under four pixels wide some positions point at or ahead of
  // the pixel being written.
  const struct {
    int width, k;
  } cases[] = {{1, 6}, {1, 7}, {1, 8}, {1, 13}, {1, 14}, {1, 20}, {2, 6}, {2, 7}, {3, 6}};
  Bytes px = RandomPicture(16, 1, 6);
  for (const auto& c : cases) {
    Stream s(px.data());
    s.Literal(px.data() + 3, 11).Copy(c.k, 1);
    Decoded d = Decode(s.bytes, c.width, 16 / c.width);
    EXPECT_EQ(d.result, kRctDecodeBadSource) << "width " << c.width << " k " << c.k;
  }
}

TEST(RctDecodeMalformed, SizesOutOfRangeWriteNothing) {
  Bytes stream = {1, 2, 3};
  Bytes out(16, 0xEE);
  const struct {
    int width, height;
    size_t outSize;
  } cases[] = {{0, 1, 16},  {1, 0, 16},         {-1, 1, 16},
               {1, -7, 16}, {65536, 65536, 16}, {2, 3, 17} /* the output is one byte short */};
  for (const auto& c : cases) {
    EXPECT_EQ(RctDecode(stream.data(), stream.size(), c.width, c.height, out.data(), c.outSize),
              kRctDecodeBadSize)
        << c.width << " x " << c.height;
  }
  EXPECT_EQ(out, Bytes(16, 0xEE));
}

}  // namespace
