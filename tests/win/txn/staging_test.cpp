#include "txn/staging.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "txn/txn_plan.h"
#include "win/common/temp_folder.h"

namespace {

constexpr unsigned long long kStamp = 0x01D2000012345678ull;

// The staging folder of a committed update is cleared by a thread of its own.
bool StagingGoneSoon(const std::string& game) {
  for (int i = 0; i < 500; ++i) {
    if (!FolderExists(game + "\\~updtxn")) return true;
    Sleep(10);
  }
  return false;
}

// One file of the update, written as the extraction writes it.
bool Stage(const std::string& game, const std::string& name, const std::string& bytes) {
  std::string path = game + "\\" + name;
  HANDLE file = StagingCreateFile(path.c_str(), name.c_str());
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size();
  return StagingCloseFile(file, kStamp, ok) == 0 && ok;
}

// The thread that works ahead, given time enough to get through a few
// dozen files.
void WorkAheadAWhile() {
  StagingWorkAhead();
  Sleep(500);
}

std::string Name(int i) { return "f" + std::to_string(100 + i) + ".dat"; }

// The work ahead of the writer comes late for the first files and early for
// the rest: a file the writer has already written is never made anew (which
// would empty it), files made ahead are the ones written, and the replaced
// and the added files all reach their places, more of them than one
// sub-folder of the staging folder holds. A file read while the files are
// staged (a delta's base) is left alone until the commit: the reading
// thread opens it for itself alone.
TEST(Staging, FilesMadeAheadOrNotAllReachTheGameWhole) {
  TempFolder t;
  std::string game = t / "game";
  ASSERT_TRUE(CreateDirectoryA(game.c_str(), nullptr));
  constexpr int kFiles = 40;
  for (int i = 0; i < kFiles; i += 2) ASSERT_TRUE(WriteFileBytes(game + "\\" + Name(i), "old"));
  for (int i = 0; i < kFiles; ++i) StagingForeseeFile(Name(i).c_str(), i == 2);
  ASSERT_EQ(StagingBegin(game.c_str()), 0);

  ASSERT_TRUE(Stage(game, Name(0), "new 0"));
  ASSERT_TRUE(Stage(game, Name(1), "new 1"));
  WorkAheadAWhile();
  EXPECT_TRUE(FileExists(game + "\\~updtxn\\0\\o04")) << "a replaced file's second name";
  EXPECT_FALSE(FileExists(game + "\\~updtxn\\0\\o02")) << "the base is not touched";
  for (int i = 2; i < kFiles; ++i) ASSERT_TRUE(Stage(game, Name(i), "new " + std::to_string(i)));
  ASSERT_EQ(StagingCommit(), 0);

  for (int i = 0; i < kFiles; ++i) {
    std::string path = game + "\\" + Name(i);
    EXPECT_EQ(ReadFileBytes(path), "new " + std::to_string(i)) << path;
    EXPECT_EQ(LastWriteTime(path), kStamp) << path;
  }
  // The old files go once the player has something to read.
  Sleep(100);
  EXPECT_TRUE(FolderExists(game + "\\~updtxn"));
  StagingClearBehind();
  EXPECT_TRUE(StagingGoneSoon(game));
}

// An update that stops before the writer took the files made ahead of it:
// they are closed, so that the staging folder goes, and the game keeps its
// files.
TEST(Staging, AnUpdateThatStopsLeavesNoFileMadeAhead) {
  TempFolder t;
  std::string game = t / "game";
  ASSERT_TRUE(CreateDirectoryA(game.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(game + "\\" + Name(1), "old"));
  for (int i = 0; i < 8; ++i) StagingForeseeFile(Name(i).c_str(), false);
  ASSERT_EQ(StagingBegin(game.c_str()), 0);
  WorkAheadAWhile();
  ASSERT_TRUE(Stage(game, Name(0), "new 0"));
  StagingAbandon();

  EXPECT_FALSE(FolderExists(game + "\\~updtxn"));
  EXPECT_EQ(ReadFileBytes(game + "\\" + Name(1)), "old");
  EXPECT_FALSE(FileExists(game + "\\" + Name(0)));
}

// An update committed but not yet cleared when the next one begins in the
// same process (another game folder) is cleared then, not lost: the
// clearing goes by the folder name that the next update replaces.
TEST(Staging, AnUpdateBegunAfterAnotherClearsTheFirstOnesStagingFolder) {
  TempFolder t;
  std::string first = t / "first";
  std::string second = t / "second";
  ASSERT_TRUE(CreateDirectoryA(first.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(second.c_str(), nullptr));
  ASSERT_EQ(StagingBegin(first.c_str()), 0);
  ASSERT_TRUE(Stage(first, Name(0), "new 0"));
  ASSERT_EQ(StagingCommit(), 0);
  ASSERT_TRUE(FolderExists(first + "\\~updtxn"));
  ASSERT_EQ(StagingBegin(second.c_str()), 0);
  EXPECT_FALSE(FolderExists(first + "\\~updtxn"));
  EXPECT_EQ(ReadFileBytes(first + "\\" + Name(0)), "new 0");
  StagingAbandon();
  EXPECT_FALSE(FolderExists(second + "\\~updtxn"));
}

// The work ahead keeps at most 512 files made and open ahead of the writer:
// the 512th is made, the 513th waits until the writer begins one.
TEST(Staging, TheWorkAheadStopsFiveHundredTwelveFilesAheadOfTheWriter) {
  TempFolder t;
  std::string game = t / "game";
  ASSERT_TRUE(CreateDirectoryA(game.c_str(), nullptr));
  for (int i = 0; i < 600; ++i) StagingForeseeFile(Name(i).c_str(), false);
  ASSERT_EQ(StagingBegin(game.c_str()), 0);
  char last[MAX_PATH];
  char beyond[MAX_PATH];
  ASSERT_EQ(TxnStagedPath(last, sizeof last, game.c_str(), 'n', 511), 0);
  ASSERT_EQ(TxnStagedPath(beyond, sizeof beyond, game.c_str(), 'n', 512), 0);
  StagingWorkAhead();
  for (int i = 0; i < 1000 && !FileExists(last); ++i) Sleep(10);
  EXPECT_TRUE(FileExists(last));
  Sleep(200);
  EXPECT_FALSE(FileExists(beyond));
  ASSERT_TRUE(Stage(game, Name(0), "new 0"));
  for (int i = 0; i < 500 && !FileExists(beyond); ++i) Sleep(10);
  EXPECT_TRUE(FileExists(beyond));
  StagingAbandon();
  EXPECT_FALSE(FolderExists(game + "\\~updtxn"));
}

}  // namespace
