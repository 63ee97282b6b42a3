// The file-search matching that deletion lines get, shared by the updater's
// rules, `updpack check` and `updpack apply`.
#include "update/deletion_match.h"

#include <gtest/gtest.h>

namespace {

bool Line(const char* line, const char* path) {
  return DeletionLineMatches(line, path, IsLeadByte);
}

TEST(DeletionMatch, WildcardsFollowTheFileSearch) {
  EXPECT_TRUE(Line("*.*", "readme"));  // no dot: still every name
  EXPECT_TRUE(Line("*.dat", "Save.DAT"));
  EXPECT_FALSE(Line("*.dat", "save.data"));
  EXPECT_TRUE(Line("save?.dat", "save1.dat"));
  EXPECT_FALSE(Line("save?.dat", "save.dat"));
  EXPECT_FALSE(Line("save?.dat", "save12.dat"));
  EXPECT_TRUE(Line("*.", "noext"));
  EXPECT_FALSE(Line("*.", "has.ext"));
  EXPECT_TRUE(Line("a*b*c", "aXbYbZc"));  // backtracks past a false start
  EXPECT_FALSE(Line("a*b*c", "aXbYc!"));
}

TEST(DeletionMatch, FoldersMustBeEqualAndOnlyTheLastPartIsAPattern) {
  EXPECT_TRUE(Line("Save\\*.*", "save\\a.sav"));
  EXPECT_FALSE(Line("save\\*.*", "save\\sub\\a.sav"));
  EXPECT_FALSE(Line("*.*", "save\\a.sav"));
  EXPECT_FALSE(Line("sav\\*.*", "save\\a.sav"));
  EXPECT_FALSE(Line("gone\\", "gone\\x"));  // a folder line deletes no file
}

TEST(DeletionMatch, DoubleByteCharactersCountAsOneAndFoldFullWidth) {
  // "表" (0x95 0x5C): its trail byte is no separator.
  EXPECT_TRUE(Line("\x95\x5c.dat", "\x95\x5c.dat"));
  EXPECT_TRUE(Line("?.dat", "\x95\x5c.dat"));
  EXPECT_FALSE(Line("??.dat", "\x95\x5c.dat"));
  // "Ａ" and "ａ" are one letter to the search.
  EXPECT_TRUE(Line("\x82\x60.dat", "\x82\x81.dat"));
  // A "*" never resumes on a trail byte: "ソ" (0x83 0x5C) ends with "\".
  EXPECT_FALSE(Line("*\\", "\x83\x5c"));
  EXPECT_TRUE(DeletionLineIsExact("data\\a.arc", IsLeadByte));
  EXPECT_FALSE(DeletionLineIsExact("data\\a?.arc", IsLeadByte));
}

}  // namespace
