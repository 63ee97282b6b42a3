#include "copy_clip.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// An independent RLE8 reader: encoded runs, end of line, end of bitmap,
// delta and absolute runs. Rows come bottom first; the result is top first.
// Empty when the data overruns the picture or stops without an end code.
std::vector<uint8_t> DecodeRle8(const std::vector<uint8_t>& data, int width, int height) {
  std::vector<uint8_t> bottomUp(static_cast<size_t>(width) * height, 0xEE);
  int x = 0, y = 0;
  size_t i = 0;
  auto put = [&](uint8_t v) {
    if (x >= width || y >= height) return false;
    bottomUp[static_cast<size_t>(y) * width + x++] = v;
    return true;
  };
  while (i + 1 < data.size()) {
    uint8_t a = data[i], b = data[i + 1];
    i += 2;
    if (a > 0) {
      for (int k = 0; k < a; ++k)
        if (!put(b)) return {};
    } else if (b == 0) {
      x = 0;
      ++y;
    } else if (b == 1) {
      std::vector<uint8_t> topDown(bottomUp.size());
      for (int row = 0; row < height; ++row)
        memcpy(&topDown[static_cast<size_t>(row) * width],
               &bottomUp[static_cast<size_t>(height - 1 - row) * width], width);
      return topDown;
    } else if (b == 2) {
      x += data[i];
      y += data[i + 1];
      i += 2;
    } else {
      if (i + b > data.size()) return {};
      for (int k = 0; k < b; ++k)
        if (!put(data[i + k])) return {};
      i += b + (b & 1);
    }
  }
  return {};
}

uint32_t At32(const std::vector<uint8_t>& d, size_t i) {
  return d[i] | (d[i + 1] << 8) | (d[i + 2] << 16) | (static_cast<uint32_t>(d[i + 3]) << 24);
}

std::string FourccAt(const std::vector<uint8_t>& d, size_t i) {
  return std::string(reinterpret_cast<const char*>(&d[i]), 4);
}

// The offset of the first chunk with that id (or LIST of that type) inside
// [from, to), searching one level of nesting deep.
size_t FindChunk(const std::vector<uint8_t>& d, size_t from, size_t to, const std::string& id) {
  for (size_t i = from; i + 8 <= to;) {
    std::string ck = FourccAt(d, i);
    uint32_t size = At32(d, i + 4);
    if (ck == id || (ck == "LIST" && FourccAt(d, i + 8) == id)) return i;
    i += 8 + size + (size & 1);
  }
  return std::string::npos;
}

TEST(EncodeRle8, RoundTripsRunsLiteralsAndLongRows) {
  const int width = 260, height = 7;
  std::vector<uint8_t> picture(width * height);
  uint32_t seed = 12345;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      seed = seed * 1103515245u + 12345u;
      uint8_t v;
      switch (y) {
        case 0:
          v = 3;
          break;  // one run longer than 255
        case 1:
          v = static_cast<uint8_t>(seed >> 16);
          break;  // all literal
        case 2:
          v = static_cast<uint8_t>((x / 2) & 1);
          break;  // runs of two
        case 3:
          v = static_cast<uint8_t>(x % 3 == 0 ? 9 : x);
          break;
        default:
          v = static_cast<uint8_t>((seed >> 28) < 12 ? 1 : (seed >> 20));
          break;
      }
      picture[y * width + x] = v;
    }
  }
  std::vector<uint8_t> encoded = EncodeRle8(picture, width, height);
  EXPECT_EQ(DecodeRle8(encoded, width, height), picture);
  // Compression works where it should: a flat row is a couple of runs.
  std::vector<uint8_t> flat(width * 2, 0);
  EXPECT_LE(EncodeRle8(flat, width, 2).size(), 12u);
}

TEST(CopyClipFrames, MoveTheSheetOverAStillBackground) {
  std::vector<uint8_t> previous;
  for (int i = 0; i < kClipFrames; ++i) {
    std::vector<uint8_t> frame = DrawCopyClipFrame(i);
    ASSERT_EQ(frame.size(), static_cast<size_t>(kClipWidth * kClipHeight));
    EXPECT_EQ(frame[0], 0) << "top-left pixel is the transparent background, frame " << i;
    if (!previous.empty()) {
      EXPECT_NE(frame, previous) << "frame " << i << " repeats";
    }
    previous = frame;
  }
  EXPECT_NE(DrawCopyClipFrame(0), DrawCopyClipFrame(kClipFrames - 1));
}

TEST(CopyClipAvi, IsAVideoOnlyRle8ClipOf17FramesAt100Ms) {
  std::vector<uint8_t> avi = BuildCopyClip();
  ASSERT_GE(avi.size(), 12u);
  EXPECT_EQ(FourccAt(avi, 0), "RIFF");
  EXPECT_EQ(At32(avi, 4), avi.size() - 8);
  EXPECT_EQ(FourccAt(avi, 8), "AVI ");

  size_t hdrl = FindChunk(avi, 12, avi.size(), "hdrl");
  ASSERT_NE(hdrl, std::string::npos);
  size_t hdrlEnd = hdrl + 8 + At32(avi, hdrl + 4);
  size_t avih = FindChunk(avi, hdrl + 12, hdrlEnd, "avih");
  ASSERT_NE(avih, std::string::npos);
  EXPECT_EQ(At32(avi, avih + 4), 56u);
  EXPECT_EQ(At32(avi, avih + 8), 100000u);   // microseconds per frame
  EXPECT_EQ(At32(avi, avih + 8 + 16), 17u);  // total frames
  EXPECT_EQ(At32(avi, avih + 8 + 24), 1u);   // one stream
  EXPECT_EQ(At32(avi, avih + 8 + 32), 260u);
  EXPECT_EQ(At32(avi, avih + 8 + 36), 40u);
  uint32_t suggested = At32(avi, avih + 8 + 28);

  size_t strl = FindChunk(avi, hdrl + 12, hdrlEnd, "strl");
  ASSERT_NE(strl, std::string::npos);
  size_t strlEnd = strl + 8 + At32(avi, strl + 4);
  size_t strh = FindChunk(avi, strl + 12, strlEnd, "strh");
  ASSERT_NE(strh, std::string::npos);
  EXPECT_EQ(FourccAt(avi, strh + 8), "vids");
  EXPECT_EQ(At32(avi, strh + 8 + 20), 1u);   // scale
  EXPECT_EQ(At32(avi, strh + 8 + 24), 10u);  // rate: 10 frames a second
  EXPECT_EQ(At32(avi, strh + 8 + 32), 17u);  // length
  size_t strf = FindChunk(avi, strl + 12, strlEnd, "strf");
  ASSERT_NE(strf, std::string::npos);
  size_t bih = strf + 8;
  EXPECT_EQ(At32(avi, bih + 4), 260u);
  EXPECT_EQ(At32(avi, bih + 8), 40u);
  EXPECT_EQ(avi[bih + 14], 8);         // bits per pixel
  EXPECT_EQ(At32(avi, bih + 16), 1u);  // BI_RLE8
  uint32_t colours = At32(avi, bih + 32);
  EXPECT_EQ(At32(avi, strf + 4), 40 + 4 * colours);

  size_t movi = FindChunk(avi, 12, avi.size(), "movi");
  ASSERT_NE(movi, std::string::npos);
  size_t idx1 = FindChunk(avi, 12, avi.size(), "idx1");
  ASSERT_NE(idx1, std::string::npos);
  ASSERT_EQ(At32(avi, idx1 + 4), 17u * 16);
  for (int i = 0; i < kClipFrames; ++i) {
    size_t entry = idx1 + 8 + 16 * i;
    EXPECT_EQ(FourccAt(avi, entry), "00dc");
    EXPECT_EQ(At32(avi, entry + 4), 0x10u);  // key frame
    size_t chunk = movi + 8 + At32(avi, entry + 8);
    ASSERT_EQ(FourccAt(avi, chunk), "00dc") << i;
    uint32_t size = At32(avi, chunk + 4);
    EXPECT_EQ(size, At32(avi, entry + 12));
    EXPECT_LE(size, suggested);
    std::vector<uint8_t> data(avi.begin() + chunk + 8, avi.begin() + chunk + 8 + size);
    EXPECT_EQ(DecodeRle8(data, kClipWidth, kClipHeight), DrawCopyClipFrame(i)) << "frame " << i;
  }
}

TEST(CopyClipAvi, KeptClipMatchesTheGenerator) {
  FILE* f = fopen(UPD_COPY_CLIP_PATH, "rb");
  ASSERT_NE(f, nullptr) << UPD_COPY_CLIP_PATH;
  std::vector<uint8_t> kept;
  uint8_t buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) kept.insert(kept.end(), buffer, buffer + n);
  fclose(f);
  EXPECT_TRUE(kept == BuildCopyClip())
      << "src/resources/copy_progress.avi is stale: build the regenerate_copy_clip target";
}

}  // namespace
