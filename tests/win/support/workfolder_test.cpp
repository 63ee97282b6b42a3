#include "startup/workfolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "win/common/temp_folder.h"

namespace {

std::string TempPath() {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  return temp;  // ends with a backslash
}

// One test: the work folder's module state lives for the whole program.
TEST(WorkFolder, IsCreatedUnderTempEnteredAndRemovedAgain) {
  TempFolder start;
  ASSERT_TRUE(SetCurrentDirectoryA(start.path.c_str()));

  CreateWorkFolder();
  std::string work = WorkFolderPath();
  std::string prefix = TempPath() + "TempGPInstallFolder_";
  ASSERT_EQ(work.compare(0, prefix.size(), prefix), 0) << work;
  EXPECT_EQ(work.size(), prefix.size() + 9);  // the timer count, nine characters
  EXPECT_TRUE(FolderExists(work));
  EXPECT_EQ(CurrentFolder(), work);
  EXPECT_EQ(std::string(StartFolderPath()), start.path);

  ASSERT_TRUE(WriteFileBytes("install.env", "TITLEBAR x\n"));
  ASSERT_TRUE(WriteFileBytes("hidden.txt", "h"));
  SetFileAttributesA("hidden.txt", FILE_ATTRIBUTE_HIDDEN);

  RemoveWorkFolder();
  EXPECT_FALSE(FolderExists(work));
  EXPECT_EQ(CurrentFolder(), start.path);

  RemoveWorkFolder();  // a second call finds nothing to do
  EXPECT_EQ(CurrentFolder(), start.path);

  // A work folder holding a sub-folder survives; its files are gone.
  CreateWorkFolder();
  work = WorkFolderPath();
  ASSERT_TRUE(WriteFileBytes("readme.txt", "r"));
  ASSERT_TRUE(CreateDirectoryA("DirectX", nullptr));
  RemoveWorkFolder();
  EXPECT_TRUE(FolderExists(work));
  EXPECT_FALSE(FileExists(work + "\\readme.txt"));
  EXPECT_TRUE(FolderExists(work + "\\DirectX"));
  EXPECT_EQ(CurrentFolder(), start.path);
  RemoveTree(work);

  // Folders left by killed runs: only those marked by the same update go;
  // this run's own, another update's and an unmarked one stay.
  CreateWorkFolder();
  work = WorkFolderPath();
  MarkWorkFolder("Title");
  EXPECT_EQ(ReadFileBytes(work + "\\~updwork.own"), "Title");
  std::string temp = TempPath();
  const std::string left = temp + "TempGPInstallFolder_000000001";
  const std::string other = temp + "TempGPInstallFolder_000000002";
  const std::string unmarked = temp + "TempGPInstallFolder_000000003";
  const std::string longer = temp + "TempGPInstallFolder_000000004";
  for (const std::string& f : {left, other, unmarked, longer}) {
    ASSERT_TRUE(CreateDirectoryA(f.c_str(), nullptr)) << f;
    ASSERT_TRUE(WriteFileBytes(f + "\\install.env", "x"));
  }
  WriteFileBytes(left + "\\~updwork.own", "Title");
  WriteFileBytes(other + "\\~updwork.own", "Other");
  WriteFileBytes(longer + "\\~updwork.own", "Title2");  // not the same owner
  RemoveStaleWorkFolders("Title");
  EXPECT_FALSE(FolderExists(left));
  EXPECT_TRUE(FolderExists(other));
  EXPECT_TRUE(FolderExists(unmarked));
  EXPECT_TRUE(FolderExists(longer));
  EXPECT_TRUE(FileExists(work + "\\~updwork.own")) << "its own folder stays";
  for (const std::string& f : {other, unmarked, longer}) RemoveTree(f);
  RemoveWorkFolder();
  EXPECT_FALSE(FolderExists(work));
}

}  // namespace
