// The updater's own loading of install.env: through the resource file layer
// and the C run-time's text-mode streams, with the ANSI code page's rules.
#include "env/env_load.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "env/env_keys.h"
#include "env/env_table.h"
#include "env/sections.h"
#include "support/fflayer.h"

namespace {

class EnvLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FfsetDirectOpen(1);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    folder_ = std::string(temp) + "envload" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
    Reset();
  }
  void TearDown() override {
    Reset();
    for (const std::string& path : written_) DeleteFileA(path.c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  static void Reset() {
    EnvFree();
    EnvResetAccessors();
    for (int id = 0; id < kSectionCount; ++id) SectionListClear(SectionListOf(id));
  }
  // Writes the bytes unchanged and returns the file's full path.
  std::string Write(const char* name, const std::string& bytes) {
    std::string path = folder_ + name;
    FILE* f = fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
      fwrite(bytes.data(), 1, bytes.size(), f);
      fclose(f);
    }
    written_.push_back(path);
    return path;
  }
  std::string folder_;
  std::vector<std::string> written_;
};

std::string Value(const char* key) {
  const EnvEntry* e = EnvFind(key);
  return e ? e->value : "<absent>";
}

TEST_F(EnvLoadTest, CrLfFileUpToTheByte1A) {
  std::string path = Write("crlf.env",
                           "// settings\r\n"
                           "TITLEBAR\tMy|Game\t// title\r\n"
                           "EXENAME game.exe\r\n"
                           "\x1A"
                           "INSTTO hidden\r\n");
  EnvLoad(path.c_str());
  EXPECT_EQ(Value("TITLEBAR"), "My Game");
  EXPECT_EQ(Value("EXENAME"), "game.exe");
  EXPECT_EQ(Value("INSTTO"), "<absent>");
  EXPECT_STREQ(EnvInstTo(), "ZORVEK_APP");
}

TEST_F(EnvLoadTest, CrLfPairIsOneByteWhenPiecesAreCounted) {
  // In text mode a 510-byte line with CR LF is one piece, so the line after
  // 398 more comments is the 400th piece and still read.
  std::string text = std::string(510, 'x') + "\r\n";
  for (int i = 0; i < 398; ++i) text += "//\r\n";
  text += "LAST 400\r\nLATE 401\r\n";
  std::string path = Write("pieces.env", text);
  EnvLoad(path.c_str());
  EXPECT_EQ(Value("LAST"), "400");
  EXPECT_EQ(Value("LATE"), "<absent>");
}

TEST_F(EnvLoadTest, BarReplacementFollowsTheAnsiCodePage) {
  std::string path = Write("bars.env", "TITLEBAR \x83\x7C|\x83\x7C\r\n");
  EnvLoad(path.c_str());
  EXPECT_STREQ(EnvTitleBar(), "ポ ポ");
}

TEST_F(EnvLoadTest, SecondLoadAppendsAndTheFirstFileWins) {
  std::string first = Write("first.env", "EXENAME one.exe\r\n");
  std::string second = Write("second.env", "EXENAME two.exe\r\nINSTTO Two\r\n");
  EnvLoad(first.c_str());
  EnvLoad(second.c_str());
  EXPECT_STREQ(EnvExeName(), "one.exe");
  EXPECT_STREQ(EnvInstTo(), "Two");
}

TEST_F(EnvLoadTest, DefaultTitleAndUpdaterTitleInTheCodePage) {
  std::string path = Write("empty.env", "// nothing\r\n");
  EnvLoad(path.c_str());
  EXPECT_STREQ(EnvTitleBar(), "ＺＯＲＶＥＫ アプリケーション");
  EXPECT_STREQ(EnvUpdaterTitle(), "ＺＯＲＶＥＫ アプリケーション アップデータ");
}

TEST_F(EnvLoadTest, AccessorsKeepTheirCachingAcrossLoads) {
  std::string first = Write("a.env",
                            "REG_GLOBAL Maker\r\nTITLEBAR 旧題\r\nCHKREGVER 3\r\n"
                            "CHKREGVERHIGH -1\r\n");
  std::string second = Write("b.env",
                             "REG_GLOBAL Other\r\nTITLEBAR 新題\r\nCHKREGVER 4\r\n"
                             "CHKREGVERHIGH 8\r\n");
  EnvLoad(first.c_str());
  EXPECT_STREQ(EnvRegGlobal(), "Maker");
  EXPECT_STREQ(EnvUpdaterTitle(), "旧題 アップデータ");
  EXPECT_EQ(EnvChkRegVer(), 3);
  EXPECT_EQ(EnvChkRegVerHigh(), -1);
  EnvFree();
  EnvLoad(second.c_str());
  EXPECT_STREQ(EnvRegGlobal(), "Maker");
  EXPECT_STREQ(EnvUpdaterTitle(), "新題 アップデータ");
  EXPECT_EQ(EnvChkRegVer(), 3);
  EXPECT_EQ(EnvChkRegVerHigh(), 8);
}

TEST_F(EnvLoadTest, SectionListsStopAtTheByte1A) {
  // After 0x1A an unterminated section would end the program; text mode
  // never shows it to the pass.
  std::string path = Write("sections.env",
                           "[reg]\r\n"
                           "Ver=1   \r\n"
                           "-\r\n"
                           "[delfiles_afterinst]\r\n"
                           "古い.dat\r\n"
                           "-\r\n"
                           "\x1A"
                           "[ini]\r\n");
  SectionListsLoad(path.c_str());
  ASSERT_NE(RegList.first, nullptr);
  EXPECT_STREQ(RegList.first->text, "Ver=1");
  EXPECT_EQ(RegList.first->next, nullptr);
  ASSERT_NE(DelfilesAfterinstList.first, nullptr);
  EXPECT_STREQ(DelfilesAfterinstList.first->text, "古い.dat");
  EXPECT_EQ(IniList.first, nullptr);
}

}  // namespace
