#include "image/rct_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> Header(const unsigned char* magic, int32_t width, int32_t height,
                                  uint32_t dataSize) {
  std::vector<unsigned char> bytes(magic, magic + kRctMagicSize);
  for (uint32_t v : {static_cast<uint32_t>(width), static_cast<uint32_t>(height), dataSize}) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
  }
  return bytes;
}

TEST(RctHeader, MagicsAreTheShiftJisTexts) {
  EXPECT_EQ(0, memcmp(kRctMagicTc00,
                      "\x98\x5A\x92\x9A"
                      "TC00",
                      8));
  EXPECT_EQ(0, memcmp(kRctMagicTc01,
                      "\x98\x5A\x92\x9A"
                      "TC01",
                      8));
  EXPECT_EQ(0, memcmp(kRctMagic800,
                      "\x98\x5A\x92\x9A"
                      "8_00",
                      8));
}

TEST(RctHeader, ReadsKindAndLittleEndianFields) {
  RctHeader header;
  EXPECT_EQ(RctParseHeader(Header(kRctMagicTc00, 256, 192, 0x01020304).data(), &header),
            kRctKindTc00);
  EXPECT_EQ(header.width, 256);
  EXPECT_EQ(header.height, 192);
  EXPECT_EQ(header.dataSize, 0x01020304u);

  EXPECT_EQ(RctParseHeader(Header(kRctMagicTc01, -3, 70000, 0xFFFFFFFF).data(), &header),
            kRctKindTc01);
  EXPECT_EQ(header.width, -3);
  EXPECT_EQ(header.height, 70000);
  EXPECT_EQ(header.dataSize, 0xFFFFFFFFu);
}

TEST(RctHeader, TheThirdMagicAndAnyOtherAreNotDecodedKinds) {
  RctHeader header;
  EXPECT_EQ(RctParseHeader(Header(kRctMagic800, 1, 1, 3).data(), &header), kRctKind800);
  for (int at = 0; at < 8; ++at) {
    std::vector<unsigned char> bytes = Header(kRctMagicTc00, 1, 1, 3);
    bytes[at] ^= 0x01;  // "TC01" turns into "TC00" and back only at the last byte
    int kind = RctParseHeader(bytes.data(), &header);
    EXPECT_EQ(kind, at == 7 ? kRctKindTc01 : kRctKindUnknown) << "byte " << at;
  }
}

TEST(RctFile, Tc00StreamFollowsTheHeader) {
  std::vector<unsigned char> file = Header(kRctMagicTc00, 1, 1, 3);
  file.insert(file.end(), {9, 8, 7, 0xAA});
  RctFile rct;
  ASSERT_EQ(RctParseFile(file.data(), file.size(), &rct), kRctFileOk);
  EXPECT_EQ(rct.stream, file.data() + 20);
  EXPECT_EQ(rct.text, nullptr);
  EXPECT_EQ(rct.trailing, 1u);
}

TEST(RctFile, Tc01WithEmptyTextHasItsStreamAt22) {
  std::vector<unsigned char> file = Header(kRctMagicTc01, 1, 1, 3);
  file.insert(file.end(), {0, 0, 9, 8, 7});
  RctFile rct;
  ASSERT_EQ(RctParseFile(file.data(), file.size(), &rct), kRctFileOk);
  EXPECT_EQ(rct.textLength, 0u);
  EXPECT_EQ(rct.stream, file.data() + 22);
  EXPECT_EQ(rct.trailing, 0u);
}

TEST(RctFile, Tc01TextLengthCountsTheTerminator) {
  std::vector<unsigned char> file;
  ASSERT_EQ(RctBuildFile(1, 1, {9, 8, 7}, "abc", &file), 0);
  ASSERT_EQ(file.size(), 20u + 2 + 4 + 3);
  EXPECT_EQ(file[20], 4);
  EXPECT_EQ(file[21], 0);
  RctFile rct;
  ASSERT_EQ(RctParseFile(file.data(), file.size(), &rct), kRctFileOk);
  EXPECT_EQ(rct.header.kind, kRctKindTc01);
  EXPECT_STREQ(reinterpret_cast<const char*>(rct.text), "abc");
  EXPECT_EQ(rct.stream, file.data() + 26);
  EXPECT_EQ(rct.header.dataSize, 3u);
}

TEST(RctFile, RefusesTextsBeyondTheSixteenBitLength) {
  std::vector<unsigned char> file;
  EXPECT_EQ(RctBuildFile(1, 1, {1, 2, 3}, std::string(65534, 'x').c_str(), &file), 0);
  EXPECT_EQ(file[20] | (file[21] << 8), 65535);
  EXPECT_EQ(RctBuildFile(1, 1, {1, 2, 3}, std::string(65535, 'x').c_str(), &file), -1);
}

TEST(RctFile, EveryCutShortOfTheWholeIsTruncated) {
  std::vector<unsigned char> file;
  ASSERT_EQ(RctBuildFile(1, 1, {9, 8, 7}, "text", &file), 0);
  RctFile rct;
  for (size_t size = 0; size < file.size(); ++size) {
    EXPECT_EQ(RctParseFile(file.data(), size, &rct), kRctFileTruncated) << size;
  }
  EXPECT_EQ(RctParseFile(file.data(), file.size(), &rct), kRctFileOk);
}

TEST(RctFile, OtherMagicsAreNotPictures) {
  std::vector<unsigned char> file = Header(kRctMagic800, 1, 1, 3);
  file.insert(file.end(), {9, 8, 7});
  RctFile rct;
  EXPECT_EQ(RctParseFile(file.data(), file.size(), &rct), kRctFileNotRct);
  EXPECT_EQ(rct.header.kind, kRctKind800);
  file[0] = 'P';
  EXPECT_EQ(RctParseFile(file.data(), file.size(), &rct), kRctFileNotRct);
}

TEST(RctPositions, SixLeftThenSevenOnEachOfThreeRowsThenFiveFourUp) {
  int k = 0;
  for (int dx = -1; dx >= -6; --dx, ++k) {
    EXPECT_EQ(kRctPositions[k].dx, dx) << k;
    EXPECT_EQ(kRctPositions[k].up, 0) << k;
  }
  for (int up = 1; up <= 3; ++up) {
    for (int dx = 3; dx >= -3; --dx, ++k) {
      EXPECT_EQ(kRctPositions[k].dx, dx) << k;
      EXPECT_EQ(kRctPositions[k].up, up) << k;
    }
  }
  for (int dx = 2; dx >= -2; --dx, ++k) {
    EXPECT_EQ(kRctPositions[k].dx, dx) << k;
    EXPECT_EQ(kRctPositions[k].up, 4) << k;
  }
  EXPECT_EQ(k, kRctPositionCount);
}

TEST(RctPositions, OffsetsAreLinearAndCrossRowEnds) {
  EXPECT_EQ(RctPositionOffset(9, 256), -256);    // straight up
  EXPECT_EQ(RctPositionOffset(6, 256), -253);    // up and three right
  EXPECT_EQ(RctPositionOffset(31, 256), -1026);  // four up, two left
  EXPECT_EQ(RctPositionOffset(6, 4), -1);        // lands on the pixel to the left
  EXPECT_EQ(RctPositionOffset(6, 2), 1);         // ahead of the current pixel
  EXPECT_EQ(RctPositionOffset(20, 1), 0);        // the current pixel itself
}

}  // namespace
