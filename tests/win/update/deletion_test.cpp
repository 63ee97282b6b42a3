#include "update/deletion.h"

#include <gtest/gtest.h>

#include <string>

#include "win/common/temp_folder.h"

namespace {

// A game folder inside a folder of its own, so that what a line reaches
// beside the game can be seen.
struct Game {
  TempFolder around;
  std::string game = around / "game";
  Game() { CreateDirectoryA(game.c_str(), nullptr); }
};

// The first-level folder of a line is the one removal tried: a\c\*.* empties
// a\c and then tries a (which stays, as a\c is in it), never a\c itself.
TEST(DeleteListEntry, TriesToRemoveOnlyTheFirstLevelFolder) {
  Game g;
  ASSERT_TRUE(CreateDirectoryA((g.game + "\\a").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((g.game + "\\a\\c").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(g.game + "\\a\\c\\x.txt", "x"));
  EXPECT_EQ(DeleteListEntry(g.game.c_str(), "a\\c\\*.*"), 1);  // a could not go
  EXPECT_FALSE(FileExists(g.game + "\\a\\c\\x.txt"));
  EXPECT_TRUE(FolderExists(g.game + "\\a\\c"));
  // Once a holds nothing, the same line removes it.
  ASSERT_TRUE(RemoveDirectoryA((g.game + "\\a\\c").c_str()));
  EXPECT_EQ(DeleteListEntry(g.game.c_str(), "a\\c\\*.*"), 0);
  EXPECT_FALSE(FolderExists(g.game + "\\a"));
}

// Lines that reach above the game's folder delete nothing anywhere; the
// same names below it still work.
TEST(DeleteListEntry, LinesThatLeaveTheFolderDeleteNothing) {
  Game g;
  ASSERT_TRUE(WriteFileBytes(g.around / "beside.txt", "b"));
  ASSERT_TRUE(WriteFileBytes(g.game + "\\in.txt", "i"));
  std::string noDrive = g.around.path.substr(2);
  for (std::string line : {std::string("..\\*.*"), std::string("../*.*"), std::string(".. \\*.*"),
                           noDrive + "\\*.*", "/" + noDrive.substr(1) + "\\*.*",
                           g.around.path + "\\*.*", std::string("sub\\..\\..\\*.*")}) {
    EXPECT_EQ(DeleteListEntry(g.game.c_str(), line.c_str()), 0) << line;
    EXPECT_TRUE(FileExists(g.around / "beside.txt")) << line;
    EXPECT_TRUE(FileExists(g.game + "\\in.txt")) << line;
  }
  EXPECT_EQ(DeleteListEntry(g.game.c_str(), "*.txt"), 0);
  EXPECT_FALSE(FileExists(g.game + "\\in.txt"));
  EXPECT_TRUE(FileExists(g.around / "beside.txt"));
}

}  // namespace
