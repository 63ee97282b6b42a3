#include "support/filematch.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "win/common/temp_folder.h"

namespace {

class FileMatchTest : public testing::Test {
 protected:
  void SetUp() override {
    startFolder_ = CurrentFolder();
    ASSERT_TRUE(WriteFileBytes(dir_ / "plain.sav", "p"));
    ASSERT_TRUE(WriteFileBytes(dir_ / "hidden.sav", "h"));
    ASSERT_TRUE(WriteFileBytes(dir_ / "system.sav", "s"));
    ASSERT_TRUE(WriteFileBytes(dir_ / "readonly.sav", "r"));
    SetFileAttributesA((dir_ / "hidden.sav").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA((dir_ / "system.sav").c_str(), FILE_ATTRIBUTE_SYSTEM);
    SetFileAttributesA((dir_ / "readonly.sav").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(CreateDirectoryA((dir_ / "folder.sav").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(dir_ / "folder.sav\\inner.sav", "i"));
    ASSERT_TRUE(CreateDirectoryA((dir_ / "savedata").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((dir_ / "savedata\\deep").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(dir_ / "savedata\\a.sav", "a"));
    ASSERT_TRUE(WriteFileBytes(dir_ / "savedata\\b.dat", "b"));
    ASSERT_TRUE(WriteFileBytes(dir_ / "savedata\\deep\\c.sav", "c"));
  }
  void TearDown() override { SetCurrentDirectoryA(startFolder_.c_str()); }

  TempFolder dir_;
  std::string startFolder_;
};

TEST_F(FileMatchTest, DeletesHiddenAndSystemFilesButNotReadOnlyFilesOrFolders) {
  DeleteMatchingFiles(dir_.path.c_str(), "*.*");
  EXPECT_FALSE(FileExists(dir_ / "plain.sav"));
  EXPECT_FALSE(FileExists(dir_ / "hidden.sav"));
  EXPECT_FALSE(FileExists(dir_ / "system.sav"));
  EXPECT_TRUE(FileExists(dir_ / "readonly.sav"));
  EXPECT_TRUE(FolderExists(dir_ / "folder.sav"));
  EXPECT_TRUE(FileExists(dir_ / "folder.sav\\inner.sav"));  // folders are not entered
  EXPECT_TRUE(FileExists(dir_ / "savedata\\a.sav"));
  EXPECT_EQ(CurrentFolder(), startFolder_);
}

TEST_F(FileMatchTest, PatternWithAFolderDeletesOnlyDirectlyInThatFolder) {
  DeleteMatchingFiles(dir_.path.c_str(), "savedata\\*.*");
  EXPECT_FALSE(FileExists(dir_ / "savedata\\a.sav"));
  EXPECT_FALSE(FileExists(dir_ / "savedata\\b.dat"));
  EXPECT_TRUE(FileExists(dir_ / "savedata\\deep\\c.sav"));
  EXPECT_TRUE(FileExists(dir_ / "plain.sav"));
  EXPECT_EQ(CurrentFolder(), startFolder_);
}

TEST_F(FileMatchTest, PatternMatchingNothingDeletesNothing) {
  DeleteMatchingFiles(dir_.path.c_str(), "*.none");
  EXPECT_TRUE(FileExists(dir_ / "plain.sav"));
  EXPECT_EQ(CurrentFolder(), startFolder_);
}

TEST_F(FileMatchTest, FolderThatCannotBeEnteredDeletesNothingAnywhere) {
  // The files sit in the current folder: a search relative to it would hit them.
  ASSERT_TRUE(SetCurrentDirectoryA(dir_.path.c_str()));
  DeleteMatchingFiles((dir_ / "no such folder").c_str(), "*.sav");
  EXPECT_TRUE(FileExists(dir_ / "plain.sav"));
  EXPECT_TRUE(FileExists(dir_ / "hidden.sav"));
  EXPECT_EQ(CurrentFolder(), dir_.path);
}

TEST_F(FileMatchTest, SearchReturnsFilesWithThePatternsFolderAndSkipsFolders) {
  ASSERT_TRUE(SetCurrentDirectoryA(dir_.path.c_str()));
  ASSERT_EQ(FindFirstMatch("savedata\\*"), 0);
  std::set<std::string> found;
  while (const char* path = FindNextMatch()) found.insert(path);
  EXPECT_EQ(found, (std::set<std::string>{"savedata\\a.sav", "savedata\\b.dat"}));
  EXPECT_EQ(FindNextMatch(), nullptr);  // stays exhausted
}

TEST_F(FileMatchTest, SearchReportsNoMatchAndRefusesOverlongPatterns) {
  ASSERT_TRUE(SetCurrentDirectoryA(dir_.path.c_str()));
  EXPECT_EQ(FindFirstMatch("*.none"), 1);
  EXPECT_EQ(FindNextMatch(), nullptr);
  std::string longPattern(300, 'x');
  EXPECT_EQ(FindFirstMatch(longPattern.c_str()), 1);
  EXPECT_EQ(FindNextMatch(), nullptr);
}

TEST_F(FileMatchTest, NewSearchClosesAnUnfinishedOne) {
  ASSERT_TRUE(SetCurrentDirectoryA(dir_.path.c_str()));
  ASSERT_EQ(FindFirstMatch("*.sav"), 0);
  ASSERT_NE(FindNextMatch(), nullptr);
  ASSERT_EQ(FindFirstMatch("savedata\\*.dat"), 0);
  const char* path = FindNextMatch();
  ASSERT_NE(path, nullptr);
  EXPECT_STREQ(path, "savedata\\b.dat");
  EXPECT_EQ(FindNextMatch(), nullptr);
}

}  // namespace
