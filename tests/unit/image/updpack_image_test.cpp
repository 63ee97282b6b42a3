// Picture reading and writing behind `updpack image`, and the conversion
// itself from the command line: the committed sample converts to the
// committed RCT file byte for byte, decodes back to the same picture, and bad
// input and bad usage give exit codes 1 and 2.
#include <gtest/gtest.h>
#include <stb/stb_image_write.h>
#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "unit/image/test_pictures.h"
#include "unit/updpack/updpack_test_util.h"
#include "updpack/cmd/commands.h"
#include "updpack/image/image_picture.h"

namespace {

using Bytes = std::vector<unsigned char>;

void Append(void* context, void* data, int size) {
  auto* out = static_cast<Bytes*>(context);
  out->insert(out->end(), static_cast<unsigned char*>(data),
              static_cast<unsigned char*>(data) + size);
}

// An 8-bit PNG of `channels` samples per pixel, by stb's writer.
Bytes Png8(int width, int height, int channels, const Bytes& samples) {
  Bytes png;
  stbi_write_png_to_func(Append, &png, width, height, channels, samples.data(), width * channels);
  return png;
}

// A PNG with 16-bit samples, which stb cannot write: colour type 2 (RGB) or
// 6 (RGBA), big-endian samples, no filtering.
Bytes Png16(int width, int height, int colourType, const std::vector<uint16_t>& samples) {
  const int channels = colourType == 6 ? 4 : 3;
  Bytes raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    for (int i = 0; i < width * channels; ++i) {
      uint16_t v = samples[y * width * channels + i];
      raw.push_back(static_cast<unsigned char>(v >> 8));
      raw.push_back(static_cast<unsigned char>(v));
    }
  }
  uLongf packedSize = compressBound(raw.size());
  Bytes packed(packedSize);
  compress(packed.data(), &packedSize, raw.data(), raw.size());
  packed.resize(packedSize);

  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&png](const char* kind, const Bytes& data) {
    for (int s = 24; s >= 0; s -= 8) png.push_back(static_cast<unsigned char>(data.size() >> s));
    Bytes body(kind, kind + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    uint32_t crc = crc32(0, body.data(), body.size());
    for (int s = 24; s >= 0; s -= 8) png.push_back(static_cast<unsigned char>(crc >> s));
  };
  Bytes header;
  for (uint32_t v : {static_cast<uint32_t>(width), static_cast<uint32_t>(height)}) {
    for (int s = 24; s >= 0; s -= 8) header.push_back(static_cast<unsigned char>(v >> s));
  }
  header.insert(header.end(), {16, static_cast<unsigned char>(colourType), 0, 0, 0});
  chunk("IHDR", header);
  chunk("IDAT", packed);
  chunk("IEND", {});
  return png;
}

Bytes Bgr(std::initializer_list<uint32_t> rgb) {
  Bytes out;
  for (uint32_t c : rgb) {
    out.insert(out.end(), {static_cast<unsigned char>(c), static_cast<unsigned char>(c >> 8),
                           static_cast<unsigned char>(c >> 16)});
  }
  return out;
}

std::string TempPath(const char* name) { return testing::TempDir() + "updpack_image_" + name; }

TEST(PictureDecode, RgbBecomesBlueGreenRed) {
  Bytes rgb = {0x11, 0x22, 0x33, 0xFF, 0x00, 0x80};
  Picture picture;
  ASSERT_EQ(PictureDecode("rgb.png", Png8(2, 1, 3, rgb), &picture), 0);
  EXPECT_EQ(picture.width, 2);
  EXPECT_EQ(picture.height, 1);
  EXPECT_EQ(picture.pixels, Bgr({0x112233, 0xFF0080}));
}

TEST(PictureDecode, GreyBecomesGreyColour) {
  Picture picture;
  ASSERT_EQ(PictureDecode("grey.png", Png8(3, 1, 1, {0x00, 0x7F, 0xFF}), &picture), 0);
  EXPECT_EQ(picture.pixels, Bgr({0x000000, 0x7F7F7F, 0xFFFFFF}));
  ASSERT_EQ(PictureDecode("grey-alpha.png", Png8(2, 1, 2, {0x40, 0xFF, 0x41, 0xFF}), &picture), 0);
  EXPECT_EQ(picture.pixels, Bgr({0x404040, 0x414141}));
}

TEST(PictureDecode, OpaqueAlphaIsAcceptedAnyTranslucencyRefused) {
  Picture picture;
  Bytes rgba = {1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255};
  ASSERT_EQ(PictureDecode("opaque.png", Png8(2, 2, 4, rgba), &picture), 0);
  EXPECT_EQ(picture.pixels, Bgr({0x010203, 0x040506, 0x070809, 0x0A0B0C}));
  rgba[15] = 254;
  EXPECT_EQ(PictureDecode("translucent.png", Png8(2, 2, 4, rgba), &picture), kExitBadInput);
  rgba[15] = 255;
  rgba[3] = 0;
  EXPECT_EQ(PictureDecode("transparent.png", Png8(2, 2, 4, rgba), &picture), kExitBadInput);
}

TEST(PictureDecode, SixteenBitSamplesRoundToTheNearestEightBitValue) {
  Picture picture;
  // 257 x v is exactly v; 32767 is 127.498 and 32768 is 127.502.
  ASSERT_EQ(PictureDecode("deep.png", Png16(2, 1, 2, {257 * 200, 32767, 32768, 65535, 0, 65280}),
                          &picture),
            0);
  EXPECT_EQ(picture.pixels, (Bytes{128, 127, 200, 254, 0, 255}));
  // Alpha just below full would pass as opaque if it were cut to 8 bits.
  EXPECT_EQ(PictureDecode("deep-alpha.png", Png16(1, 1, 6, {0, 0, 0, 65534}), &picture),
            kExitBadInput);
  ASSERT_EQ(PictureDecode("deep-opaque.png", Png16(1, 1, 6, {65535, 0, 0, 65535}), &picture), 0);
  EXPECT_EQ(picture.pixels, Bgr({0xFF0000}));
}

TEST(PictureDecode, BmpIsRead) {
  Bytes bmp;
  Bytes rgb = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x90};
  stbi_write_bmp_to_func(Append, &bmp, 3, 1, 3, rgb.data());
  Picture picture;
  ASSERT_EQ(PictureDecode("p.bmp", bmp, &picture), 0);
  EXPECT_EQ(picture.pixels, Bgr({0x102030, 0x405060, 0x708090}));
}

TEST(PictureDecode, OtherFilesAreRefused) {
  Picture picture;
  EXPECT_EQ(PictureDecode("empty", {}, &picture), kExitBadInput);
  EXPECT_EQ(PictureDecode("text", {'h', 'e', 'l', 'l', 'o'}, &picture), kExitBadInput);
  Bytes png = Png8(2, 2, 3, Bytes(12, 7));
  png.resize(png.size() / 2);
  EXPECT_EQ(PictureDecode("cut.png", png, &picture), kExitBadInput);
}

TEST(PictureFiles, PngWrittenIsReadBackUnchanged) {
  Picture picture;
  picture.width = 37;
  picture.height = 5;
  picture.pixels = RandomPicture(37, 5, 8);
  const std::string path = TempPath("saved.png");
  ASSERT_EQ(PictureSavePng(path.c_str(), picture), 0);
  Picture back;
  ASSERT_EQ(PictureLoad(path.c_str(), &back), 0);
  EXPECT_EQ(back.width, 37);
  EXPECT_EQ(back.height, 5);
  EXPECT_EQ(back.pixels, picture.pixels);
  remove(path.c_str());
  EXPECT_EQ(PictureLoad(path.c_str(), &back), kExitBadInput);
}

// `updpack image` as a game maker runs it (testupd::ExpectRun names the
// command line of a run that fails; the other messages name the check).
class ImageCommand : public testing::Test {
 protected:
  testupd::TempDir work;
  const std::string data = UPD_SOURCE_DIR "/tests/data/image";
};

using testupd::Contains;
using testupd::ExpectRun;
using testupd::ReadBytes;
using testupd::RunResult;

TEST_F(ImageCommand, EncodeGivesTheCommittedFileAndInfoReadsIt) {
  ExpectRun({"image", "encode", data + "/sample.png", work / "sample.rct"}, 0);
  EXPECT_EQ(ReadBytes(work / "sample.rct"), ReadBytes(data + "/sample.rct"))
      << "same bytes as the committed file";
  RunResult r = ExpectRun({"image", "info", work / "sample.rct"}, 0);
  EXPECT_TRUE(Contains(r.out, "kind: TC00")) << "info kind";
  EXPECT_TRUE(Contains(r.out, "size: 61 x 47")) << "info size";
  EXPECT_TRUE(Contains(r.out, "stream: well-formed")) << "info stream";
}

TEST_F(ImageCommand, DecodedPictureEncodesToTheSameFile) {
  ExpectRun({"image", "decode", data + "/sample.rct", work / "back.png"}, 0);
  ExpectRun({"image", "encode", work / "back.png", work / "again.rct"}, 0);
  EXPECT_EQ(ReadBytes(work / "again.rct"), ReadBytes(data + "/sample.rct"))
      << "round trip through PNG";
}

TEST_F(ImageCommand, TextIsStoredAndShown) {
  RunResult r = ExpectRun(
      {"-q", "image", "encode", "--text", "Title text", data + "/sample.png", work / "text.rct"},
      0);
  EXPECT_EQ(r.out, "") << "quiet encode prints nothing";
  r = ExpectRun({"image", "info", work / "text.rct"}, 0);
  EXPECT_TRUE(Contains(r.out, "kind: TC01")) << "info kind with text";
  EXPECT_TRUE(Contains(r.out, "text: \"Title text\" (11 bytes stored)")) << "info text";
}

TEST_F(ImageCommand, MalformedStreamIsRefusedAndLeavesNoPicture) {
  // A copy from the row above in row 0 (the first token after the pixel).
  std::string bad = ReadBytes(data + "/sample.rct");
  bad[23] = '\xa4';
  testupd::WriteBytes(work / "bad.rct", bad);
  RunResult r = ExpectRun({"image", "decode", work / "bad.rct", work / "bad.png"}, 1);
  EXPECT_TRUE(Contains(r.err, "before the first pixel")) << "malformed reason";
  EXPECT_FALSE(testupd::fs::exists(work / "bad.png")) << "no picture left from a malformed file";
  ExpectRun({"image", "info", work / "bad.rct"}, 1);
}

TEST_F(ImageCommand, TruncatedFileIsRefused) {
  testupd::WriteBytes(work / "cut.rct", ReadBytes(data + "/sample.rct").substr(0, 100));
  RunResult r = ExpectRun({"image", "info", work / "cut.rct"}, 1);
  EXPECT_TRUE(Contains(r.err, "truncated")) << "truncated reason";
}

TEST_F(ImageCommand, TheThirdKindIsRefused) {
  // "8_00": 1 x 1, three bytes of stream.
  const char eight[] =
      "\x98\x5a\x92\x9a"
      "8_00"
      "\x01\0\0\0\x01\0\0\0\x03\0\0\0"
      "abc";
  testupd::WriteBytes(work / "eight.rct", std::string(eight, sizeof eight - 1));
  RunResult r = ExpectRun({"image", "info", work / "eight.rct"}, 1);
  EXPECT_TRUE(Contains(r.err, "8_00")) << "third kind";
}

TEST_F(ImageCommand, NonPicturesAndMissingFilesAreBadInput) {
  ExpectRun({"image", "encode", data + "/sample.rct", work / "x.rct"}, 1);
  ExpectRun({"image", "encode", work / "missing.png", work / "x.rct"}, 1);
}

TEST_F(ImageCommand, MissingArgumentsAreBadUsage) {
  ExpectRun({"image", "encode", data + "/sample.png"}, 2);  // no output
  ExpectRun({"image"}, 2);                                  // no subcommand
}

}  // namespace
