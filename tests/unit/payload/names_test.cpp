#include "payload/names.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

PayloadEntry FileEntry(const char* name) {
  PayloadEntry e{};
  e.nameLength = static_cast<uint32_t>(strlen(name) + 1);
  strcpy(e.name, name);
  e.size = 10;
  e.packedSize = 18;
  return e;
}

PayloadEntry FolderEntry(const char* name) {
  PayloadEntry e = FileEntry(name);
  e.size = kPayloadFolderSize;
  return e;
}

TEST(NameContains, IgnoresLetterCaseIncludingFullWidth) {
  EXPECT_TRUE(NameContains("readme.TXT", ".txt", IsLeadByte));
  EXPECT_TRUE(NameContains("Install.Env", "install.env", IsLeadByte));
  EXPECT_TRUE(NameContains("notes.txt.bak", ".txt", IsLeadByte));
  EXPECT_TRUE(NameContains("INSTTSCR.RCT", "insttscr.rct", IsLeadByte));
  EXPECT_FALSE(NameContains("update.arc", ".txt", IsLeadByte));
  EXPECT_FALSE(NameContains("install.en", "install.env", IsLeadByte));
  // Full-width ＲＥＡＤＭＥ matches full-width ｒｅａｄｍｅ.
  EXPECT_TRUE(NameContains("\x82\x71\x82\x64\x82\x60.txt", "\x82\x92\x82\x85\x82\x81", IsLeadByte));
  // The pattern is lower-cased too.
  EXPECT_TRUE(NameContains("readme.txt", ".TXT", IsLeadByte));
}

TEST(NameContains, NeverMatchesOnASecondByte) {
  // ソ is 0x83 0x5C; "\x5ctxt" must not match inside it.
  EXPECT_FALSE(NameContains("\x83\x5ctxt", "\\txt", IsLeadByte));
  EXPECT_TRUE(NameContains("a\\txt", "\\txt", IsLeadByte));
  // 0x83 0x54 (サ) has 'T' as its second byte: it must not be lower-cased
  // into 0x83 0x74 (a different character) nor match "t".
  EXPECT_FALSE(NameContains("\x83\x54", "t", IsLeadByte));
}

TEST(PayloadStartupSelect, PicksTheStartupFilesInAnyCase) {
  EXPECT_EQ(PayloadStartupSelect(FileEntry("readme.TXT"), IsLeadByte), kStartupWrite);
  EXPECT_EQ(PayloadStartupSelect(FileEntry("Install.Env"), IsLeadByte), kStartupWrite);
  EXPECT_EQ(PayloadStartupSelect(FileEntry("notes.txt.bak"), IsLeadByte), kStartupWrite);
  EXPECT_EQ(PayloadStartupSelect(FileEntry("InstTscr.Rct"), IsLeadByte), kStartupWrite);
  EXPECT_EQ(PayloadStartupSelect(FileEntry("update.arc"), IsLeadByte), kStartupSkip);
  EXPECT_EQ(PayloadStartupSelect(FileEntry("DirectX\\dxsetup.exe"), IsLeadByte), kStartupSkip);
}

TEST(PayloadStartupSelect, ASubFolderEndsTheWalk) {
  EXPECT_EQ(PayloadStartupSelect(FolderEntry("DirectX\\"), IsLeadByte), kStartupSkip);
  EXPECT_EQ(PayloadStartupSelect(FolderEntry("DirectX"), IsLeadByte), kStartupSkip);
  EXPECT_EQ(PayloadStartupSelect(FolderEntry("DirectX\\sub\\"), IsLeadByte), kStartupStop);
  EXPECT_EQ(PayloadStartupSelect(FolderEntry("DirectX\\sub"), IsLeadByte), kStartupStop);
  // 表\ is one top-level folder: the 0x5C of 表 is not a separator.
  EXPECT_EQ(PayloadStartupSelect(FolderEntry("\x95\x5c\\"), IsLeadByte), kStartupSkip);
  EXPECT_EQ(PayloadStartupSelect(FolderEntry("\x95\x5cx\\"), IsLeadByte), kStartupSkip);
  EXPECT_EQ(PayloadStartupSelect(FolderEntry("\x95\x5c\\y\\"), IsLeadByte), kStartupStop);
  // A folder whose name merely contains ".txt" is never written.
  EXPECT_EQ(PayloadStartupSelect(FolderEntry("old.txt\\"), IsLeadByte), kStartupSkip);
}

TEST(PayloadJoinPath, JoinsWithOneBackslashAndRefusesWhatDoesNotFit) {
  char out[kPayloadPathMax];
  ASSERT_EQ(PayloadJoinPath(out, sizeof out, "C:\\Game", "data\\a.arc"), 0);
  EXPECT_STREQ(out, "C:\\Game\\data\\a.arc");

  // 259 bytes of path and the NUL fit exactly; one more byte does not.
  std::string folder(200, 'f');
  std::string name(58, 'n');
  ASSERT_EQ(PayloadJoinPath(out, sizeof out, folder.c_str(), name.c_str()), 0);
  EXPECT_EQ(strlen(out), 259u);
  name += "n";
  EXPECT_EQ(PayloadJoinPath(out, sizeof out, folder.c_str(), name.c_str()), -1);
  EXPECT_STREQ(out, "");
}

}  // namespace
