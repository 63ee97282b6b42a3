#include "support/fflayer.h"

#include <gtest/gtest.h>

#include <string>

#include "win/common/temp_folder.h"

namespace {

// The layer's state is module-level: each test starts from this program's
// usual configuration (no prefix, direct opening on, no sources) in a folder
// of its own.
class FflayerTest : public testing::Test {
 protected:
  void SetUp() override {
    startFolder_ = CurrentFolder();
    ASSERT_TRUE(SetCurrentDirectoryA(dir_.path.c_str()));
    FfsetPrefix("");
    FfsetDirectOpen(1);
    FfclearSources();
  }
  void TearDown() override {
    FfsetPrefix("");
    FfsetDirectOpen(1);
    FfclearSources();
    SetCurrentDirectoryA(startFolder_.c_str());
  }

  static std::string ReadAll(FILE* f) {
    std::string bytes;
    char buffer[256];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    fclose(f);
    return bytes;
  }

  TempFolder dir_;
  std::string startFolder_;
};

TEST_F(FflayerTest, DirectModeFindsNamesInTheCurrentFolder) {
  EXPECT_EQ(Ffexists("install.env"), 0);
  ASSERT_TRUE(WriteFileBytes("install.env", "TITLEBAR game\n"));
  ASSERT_TRUE(WriteFileBytes("insttscr.rct", "picture"));
  EXPECT_EQ(Ffexists("install.env"), 1);
  FILE* f = Ffopen("insttscr.rct", "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(ReadAll(f), "picture");
  char path[kFfpathSize];
  ASSERT_NE(FfresolvePath("install.env", path), nullptr);
  EXPECT_STREQ(path, "install.env");
  // Full paths are opened unchanged too.
  EXPECT_EQ(Ffexists((dir_ / "install.env").c_str()), 1);
}

TEST_F(FflayerTest, WithoutTheDirectSwitchNothingIsFound) {
  ASSERT_TRUE(WriteFileBytes("install.env", "x"));
  FfsetDirectOpen(0);
  EXPECT_EQ(Ffexists("install.env"), 0);
  EXPECT_EQ(FfopenOnce("install.env", "rb"), nullptr);
  char path[kFfpathSize] = "stale";
  EXPECT_EQ(FfresolvePath("install.env", path), nullptr);
  EXPECT_STREQ(path, "");
}

TEST_F(FflayerTest, PrefixIsTriedInsteadOfTheBareName) {
  ASSERT_TRUE(WriteFileBytes("install.env", "bare"));
  ASSERT_TRUE(CreateDirectoryA("base", nullptr));
  ASSERT_EQ(FfsetPrefix("base\\"), 0);
  EXPECT_EQ(Ffexists("install.env"), 0);  // the bare name is not tried
  ASSERT_TRUE(WriteFileBytes("base\\install.env", "prefixed"));
  char path[kFfpathSize];
  ASSERT_NE(FfresolvePath("install.env", path), nullptr);
  EXPECT_STREQ(path, "base\\install.env");
  FILE* f = FfopenOnce("install.env", "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(ReadAll(f), "prefixed");
  EXPECT_EQ(FfsetPrefix(std::string(300, 'p').c_str()), -1);  // refused, unchanged
  EXPECT_EQ(Ffexists("install.env"), 1);
}

TEST_F(FflayerTest, SoundNamesAreTriedDirectlyOnlyWithoutAFolderPart) {
  ASSERT_TRUE(WriteFileBytes("bgm01.OGG", "ogg"));
  EXPECT_EQ(Ffexists("bgm01.OGG"), 1);  // sources first (none), then directly
  ASSERT_TRUE(CreateDirectoryA("se", nullptr));
  ASSERT_TRUE(WriteFileBytes("se\\hit.wav", "wav"));
  ASSERT_TRUE(WriteFileBytes("se\\hit.txt", "txt"));
  EXPECT_EQ(Ffexists("se\\hit.wav"), 0);
  EXPECT_EQ(Ffexists("se\\hit.txt"), 1);
}

TEST_F(FflayerTest, FolderListSourcesTakeTheFirstFolderThatHoldsTheName) {
  ASSERT_TRUE(CreateDirectoryA("one", nullptr));
  ASSERT_TRUE(CreateDirectoryA("two", nullptr));
  ASSERT_TRUE(WriteFileBytes("two\\voice.ogg", "second"));
  uint32_t hash = FfnameHash("voice.ogg");
  FolderIndexEntry entries[] = {{hash, "one"}, {hash, "two"}, {FfnameHash("other.ogg"), "one"}};
  FileSource source = {nullptr, 0, nullptr, entries, 3, kFolderListSource, nullptr};
  FfaddSource(&source);

  FILE* f = FfopenOnce("VOICE.ogg", "rb");  // the hash ignores letter case
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(ReadAll(f), "second");
  char path[kFfpathSize];
  ASSERT_NE(FfresolvePath("voice.ogg", path), nullptr);
  EXPECT_STREQ(path, "one\\voice.ogg");  // the first matching folder decides, unopened
  // A name with a folder part never consults the sources.
  EXPECT_EQ(Ffexists("x\\voice.ogg"), 0);
}

TEST_F(FflayerTest, ArchiveSourcesReturnTheArchivePositionedAtTheMember) {
  ASSERT_TRUE(WriteFileBytes("data.arc", "HEADERfirst-memberSECOND"));
  ArchiveIndexEntry index[] = {{FfnameHash("a.dat"), 6}, {FfnameHash("b.dat"), 18}};
  if (index[0].nameHash > index[1].nameHash) std::swap(index[0], index[1]);
  FileSource missing = {"missing.arc", 2, index, nullptr, 0, kArchiveSource, nullptr};
  FileSource archive = {"data.arc", 2, index, nullptr, 0, kArchiveSource, nullptr};
  FfaddSource(&missing);  // cannot be opened: passed over
  FfaddSource(&archive);

  FILE* f = FfopenOnce("b.dat", "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(ftell(f), 18);
  EXPECT_EQ(ReadAll(f), "SECOND");
  char path[kFfpathSize];
  ASSERT_NE(FfresolvePath("a.dat", path), nullptr);
  EXPECT_STREQ(path, "missing.arc");  // resolving does not open the archive
  EXPECT_EQ(FfopenOnce("c.dat", "rb"), nullptr);
}

TEST_F(FflayerTest, UnknownSourceKindsAndArchivesWithoutIndexAreSkipped) {
  ASSERT_TRUE(WriteFileBytes("data.arc", "xyz"));
  ArchiveIndexEntry index[] = {{FfnameHash("a.dat"), 1}};
  FileSource odd = {"data.arc", 1, index, nullptr, 0, 7, nullptr};
  FileSource noIndex = {"data.arc", 1, nullptr, nullptr, 0, kArchiveSource, nullptr};
  FfaddSource(&odd);
  FfaddSource(&noIndex);
  EXPECT_EQ(Ffexists("a.dat"), 0);
  // A folder-list kind without a folder table is searched as an archive.
  FileSource asArchive = {"data.arc", 1, index, nullptr, 0, kFolderListSource, nullptr};
  FfaddSource(&asArchive);
  FILE* f = FfopenOnce("a.dat", "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(ReadAll(f), "yz");
}

TEST_F(FflayerTest, PathsOverTheLimitAreRefusedNotCut) {
  std::string longName(300, 'n');
  EXPECT_EQ(Ffexists(longName.c_str()), 0);
  std::string folder(250, 'f');
  FolderIndexEntry entries[] = {{FfnameHash("voice.ogg"), folder.c_str()}};
  FileSource source = {nullptr, 0, nullptr, entries, 1, kFolderListSource, nullptr};
  FfaddSource(&source);
  char path[kFfpathSize];
  EXPECT_EQ(FfresolvePath("voice.ogg", path), nullptr);
}

}  // namespace
