#include "support/sjis.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// 表 is 0x95 0x5C and ソ is 0x83 0x5C: their second byte is the backslash code.
const char kHyou[] = "\x95\x5c";
const char kSo[] = "\x83\x5c";

TEST(LeadByteTable, MarksExactlyTheShiftJisLeadRanges) {
  for (int b = 0; b < 256; ++b) {
    bool expected = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(b)), expected) << "byte " << b;
  }
}

TEST(MbsChr, NeverMatchesASecondByte) {
  std::string text = std::string("C:") + kHyou + "dir\\x";
  const char* hit = MbsChr(text.c_str(), '\\', IsLeadByte);
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit - text.c_str(), 7);  // the real separator, not the 0x5C of 表
  EXPECT_EQ(MbsChr(kHyou, '\\', IsLeadByte), nullptr);
  EXPECT_EQ(MbsChr("abc", 'z', IsLeadByte), nullptr);
}

TEST(MbsChr, FindsAByteThatOnlyLooksLikeALeadAtTheEnd) {
  // A lead byte without a trail counts as one character and never swallows the terminator.
  const char text[] = "ab\x95";
  EXPECT_EQ(MbsChr(text, 0x95, IsLeadByte), text + 2);
}

TEST(MbsRChr, TakesTheLastRealCharacter) {
  std::string text = std::string("a\\b\\") + kSo;
  EXPECT_EQ(MbsRChr(text.c_str(), '\\', IsLeadByte) - text.c_str(), 3);
}

TEST(MbsStr, MatchNeverStartsOnATrailByte) {
  // "\x83\x7c" is a katakana whose second byte is '|'.
  std::string text = "\x83\x7c|x";
  const char* hit = MbsStr(text.c_str(), "|", IsLeadByte);
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit - text.c_str(), 2);
  EXPECT_EQ(MbsStr("\x83\x7c", "|", IsLeadByte), nullptr);
  EXPECT_EQ(MbsStr("install.env", "", IsLeadByte) != nullptr, true);
  EXPECT_EQ(MbsStr("abc", "abcd", IsLeadByte), nullptr);
}

TEST(MbsStr, FindsDoubleBytePatterns) {
  std::string text = std::string("xx") + kHyou + kSo + "yy";
  const char* hit = MbsStr(text.c_str(), kSo, IsLeadByte);
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit - text.c_str(), 4);
}

TEST(MbsLower, LowersAsciiAndFullWidthCapitalsOnly) {
  // ＡＺ (0x8260, 0x8279) -> ａｚ (0x8281, 0x829A); Α (0x839F) -> α (0x83BF);
  // А (0x8440) -> а (0x8470); О (0x844F) -> о (0x8480), past the gap at 0x847F.
  char text[] = "ReadMe.TXT\x82\x60\x82\x79\x83\x9f\x84\x40\x84\x4f\x95\x5c";
  MbsLower(text, IsLeadByte);
  EXPECT_STREQ(text, "readme.txt\x82\x81\x82\x9a\x83\xbf\x84\x70\x84\x80\x95\x5c");
}

TEST(MbsLower, KeepsTrailBytesThatLookLikeCapitals) {
  // 0x83 0x41 is ア: its second byte is 'A' and must stay.
  char text[] = "\x83\x41Z";
  MbsLower(text, IsLeadByte);
  EXPECT_STREQ(text, "\x83\x41z");
}

TEST(MbsFitLength, NeverEndsInsideACharacter) {
  std::string text = std::string("ab") + kHyou + "c";
  EXPECT_EQ(MbsFitLength(text.c_str(), 3, IsLeadByte), 2u);
  EXPECT_EQ(MbsFitLength(text.c_str(), 4, IsLeadByte), 4u);
  EXPECT_EQ(MbsFitLength(text.c_str(), 100, IsLeadByte), 5u);
}

}  // namespace
