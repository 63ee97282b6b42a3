#include "support/path_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(StripTrailingBackslash, RemovesOnlyARealFinalBackslash) {
  char games[32] = "D:\\Games\\";
  EXPECT_STREQ(StripTrailingBackslash(games), "D:\\Games");
  EXPECT_STREQ(StripTrailingBackslash(games), "D:\\Games");
  char single[4] = "\\";
  EXPECT_STREQ(StripTrailingBackslash(single), "");
  char empty[4] = "";
  EXPECT_STREQ(StripTrailingBackslash(empty), "");
  char hyou[16] = "D:\\\x95\x5c";  // ends with 表
  EXPECT_STREQ(StripTrailingBackslash(hyou), "D:\\\x95\x5c");
}

TEST(AddTrailingBackslash, AppendsUnlessARealBackslashEndsTheText) {
  char temp[32] = "D:\\Temp";
  EXPECT_STREQ(AddTrailingBackslash(temp), "D:\\Temp\\");
  EXPECT_STREQ(AddTrailingBackslash(temp), "D:\\Temp\\");
  char empty[4] = "";
  EXPECT_STREQ(AddTrailingBackslash(empty), "\\");
  char single[4] = "\\";
  EXPECT_STREQ(AddTrailingBackslash(single), "\\");
  char hyou[16] = "D:\\\x95\x5c";
  EXPECT_STREQ(AddTrailingBackslash(hyou), "D:\\\x95\x5c\\");
}

TEST(SplitPath, SplitsDriveFolderNameAndExtension) {
  PathParts p;
  SplitPath("C:\\game\\data\\update.arc", &p, IsLeadByte);
  EXPECT_STREQ(p.drive, "C:");
  EXPECT_STREQ(p.dir, "\\game\\data\\");
  EXPECT_STREQ(p.name, "update");
  EXPECT_STREQ(p.ext, ".arc");

  SplitPath("savedata\\*.*", &p, IsLeadByte);
  EXPECT_STREQ(p.drive, "");
  EXPECT_STREQ(p.dir, "savedata\\");
  EXPECT_STREQ(p.name, "*");
  EXPECT_STREQ(p.ext, ".*");

  SplitPath("a/b.c\\readme", &p, IsLeadByte);
  EXPECT_STREQ(p.dir, "a/b.c\\");
  EXPECT_STREQ(p.name, "readme");
  EXPECT_STREQ(p.ext, "");
}

TEST(SplitPath, TrailByteIsNotASeparator) {
  PathParts p;
  SplitPath("\x95\x5cname.txt", &p, IsLeadByte);  // 表name.txt
  EXPECT_STREQ(p.dir, "");
  EXPECT_STREQ(p.name, "\x95\x5cname");
  EXPECT_STREQ(p.ext, ".txt");
}

TEST(SplitPath, OverlongPartsAreCutNotOverrun) {
  std::string longName(400, 'n');
  PathParts p;
  SplitPath((longName + ".ext").c_str(), &p, IsLeadByte);
  EXPECT_EQ(strlen(p.name), sizeof p.name - 1);
  EXPECT_STREQ(p.ext, ".ext");
}

}  // namespace
