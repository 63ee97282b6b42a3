#include "image/rct_load.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "image/rct_encode.h"
#include "image/rct_format.h"
#include "support/fflayer.h"
#include "unit/image/test_pictures.h"

namespace {

using Bytes = std::vector<unsigned char>;

class RctLoadTest : public testing::Test {
 protected:
  void SetUp() override { FfsetDirectOpen(1); }
  void TearDown() override {
    for (const std::string& name : written_) remove(name.c_str());
  }
  // Writes a file into the current folder for RctLoad to find.
  const char* Write(const char* name, const Bytes& bytes) {
    FILE* f = fopen(name, "wb");
    EXPECT_NE(f, nullptr) << name;
    if (f) {
      fwrite(bytes.data(), 1, bytes.size(), f);
      fclose(f);
    }
    written_.push_back(name);
    return name;
  }
  std::vector<std::string> written_;
};

// The surface's pixels as the platform reads them back from the bitmap:
// packed rows, blue, green, red, top row first.
Bytes ReadBack(const Surface* s) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = s->width;
  info.bmiHeader.biHeight = -s->height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  Bytes rows(static_cast<size_t>(s->stride) * s->height);
  HDC dc = CreateCompatibleDC(nullptr);
  int lines = GetDIBits(dc, s->bitmap, 0, s->height, rows.data(), &info, DIB_RGB_COLORS);
  DeleteDC(dc);
  EXPECT_EQ(lines, s->height);
  Bytes packed;
  for (int y = 0; y < s->height; ++y) {
    packed.insert(packed.end(), rows.begin() + y * s->stride,
                  rows.begin() + y * s->stride + 3 * s->width);
  }
  return packed;
}

Bytes Encoded(const Bytes& pixels, int width, int height, const char* text) {
  Bytes stream, file;
  EXPECT_EQ(RctEncode(pixels.data(), width, height, &stream), 0);
  EXPECT_EQ(RctBuildFile(width, height, stream, text, &file), 0);
  return file;
}

TEST_F(RctLoadTest, PictureMadeByUpdpackEqualsItsPng) {
  int width = 0, height = 0, channels = 0;
  unsigned char* rgb = stbi_load("sample.png", &width, &height, &channels, 3);
  ASSERT_NE(rgb, nullptr) << stbi_failure_reason();
  Bytes expected(3 * static_cast<size_t>(width) * height);
  for (size_t i = 0; i < expected.size(); i += 3) {
    expected[i] = rgb[i + 2];
    expected[i + 1] = rgb[i + 1];
    expected[i + 2] = rgb[i];
  }
  stbi_image_free(rgb);

  Surface* s = RctLoad("sample.rct");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->width, width);
  EXPECT_EQ(s->height, height);
  EXPECT_EQ(s->stride, (3 * width + 3) / 4 * 4);
  EXPECT_TRUE(ReadBack(s) == expected);
  SurfaceFree(s);
}

TEST_F(RctLoadTest, RowsLandOnTheirStrideForEveryWidth) {
  for (int width : {1, 2, 3, 4, 5, 7, 255, 256, 257}) {
    const int height = width < 10 ? 9 : 4;
    Bytes pixels = RandomPicture(width, height, width, 3);
    Surface* s = RctLoad(Write("widths.rct", Encoded(pixels, width, height, nullptr)));
    ASSERT_NE(s, nullptr) << width;
    EXPECT_TRUE(ReadBack(s) == pixels) << width;
    // And straight from the pixel memory, as the painter reads it.
    for (int y = 0; y < height; ++y) {
      ASSERT_TRUE(std::equal(pixels.begin() + 3 * width * y, pixels.begin() + 3 * width * (y + 1),
                             s->bits + static_cast<size_t>(y) * s->stride))
          << width << " row " << y;
    }
    SurfaceFree(s);
  }
}

TEST_F(RctLoadTest, Tc01TextIsPassedOver) {
  Bytes pixels = RandomPicture(6, 4, 2, 2);
  for (const char* text : {"", "タイトル"}) {
    Bytes file = Encoded(pixels, 6, 4, text);
    Surface* s = RctLoad(Write("text.rct", file));
    ASSERT_NE(s, nullptr) << text;
    EXPECT_TRUE(ReadBack(s) == pixels) << text;
    SurfaceFree(s);
  }
  // L = 0: no text at all, the stream at offset 22.
  Bytes file = Encoded(pixels, 6, 4, nullptr);
  file[7] = '1';
  file.insert(file.begin() + 20, {0, 0});
  Surface* s = RctLoad(Write("empty-text.rct", file));
  ASSERT_NE(s, nullptr);
  EXPECT_TRUE(ReadBack(s) == pixels);
  SurfaceFree(s);
}

TEST_F(RctLoadTest, OtherMagicsGiveNoSurface) {
  Bytes file = Encoded(RandomPicture(4, 4, 1), 4, 4, nullptr);
  memcpy(file.data(), kRctMagic800, kRctMagicSize);
  EXPECT_EQ(RctLoad(Write("eight.rct", file)), nullptr);
  file[0] = 'B';
  file[1] = 'M';
  EXPECT_EQ(RctLoad(Write("bitmap.rct", file)), nullptr);
}

TEST_F(RctLoadTest, MalformedPicturesGiveNoSurface) {
  Bytes good = Encoded(FlatPicture(4, 4, 0x123456), 4, 4, nullptr);
  auto withSize = [&](int32_t width, int32_t height) {
    Bytes f = good;
    memcpy(f.data() + 8, &width, 4);
    memcpy(f.data() + 12, &height, 4);
    return f;
  };
  // The flat picture's one copy covers 15 pixels; more pixels leave the
  // stream short, fewer make the copy run past the last pixel.
  EXPECT_EQ(RctLoad(Write("taller.rct", withSize(4, 5))), nullptr);
  EXPECT_EQ(RctLoad(Write("shorter.rct", withSize(4, 3))), nullptr);
  EXPECT_EQ(RctLoad(Write("no-width.rct", withSize(0, 4))), nullptr);
  EXPECT_EQ(RctLoad(Write("negative.rct", withSize(4, -4))), nullptr);
  EXPECT_EQ(RctLoad(Write("huge.rct", withSize(65536, 65536))), nullptr);
  EXPECT_EQ(RctLoad(Write("refused.rct", withSize(30000, 23000))), nullptr);

  Bytes before = good;
  before[23] = 0x80 | (9 << 2);  // a copy from the row above, in row 0
  EXPECT_EQ(RctLoad(Write("before.rct", before)), nullptr);

  Bytes empty(good.begin(), good.begin() + 20);
  empty[16] = 0;  // data size 0
  EXPECT_EQ(RctLoad(Write("empty.rct", empty)), nullptr);
}

TEST_F(RctLoadTest, FilesShorterThanTheirHeaderSaysGiveUp) {
  Bytes good = Encoded(RandomPicture(8, 8, 3), 8, 8, "text");
  // Cut in the header, in the text length, in the text and in the stream;
  // and a data size of 4 GiB - 1, which must not be allocated.
  for (size_t size : {size_t{0}, size_t{10}, size_t{21}, size_t{24}, good.size() - 1}) {
    Bytes cut(good.begin(), good.begin() + size);
    EXPECT_EQ(RctLoad(Write("cut.rct", cut)), nullptr) << size;
  }
  Bytes claims = good;
  claims[16] = claims[17] = claims[18] = claims[19] = 0xFF;
  EXPECT_EQ(RctLoad(Write("claims.rct", claims)), nullptr);
}

}  // namespace
