#include "env/env_keys.h"

#include <cstring>
#include <string>

#include "unit/env/env_test_util.h"

namespace {

using EnvKeys = EnvTest;

// Swaps the whole table for another file's, keeping what accessors remember.
void ReplaceTable(const std::string& text) {
  EnvFree();
  LoadEnvText(text);
}

TEST_F(EnvKeys, EveryDefaultWithoutTheKeys) {
  LoadEnvText("// nothing but a comment\n");
  EXPECT_STREQ(EnvRegGlobal(), "-");
  EXPECT_STREQ(EnvRegLocal(), "-");
  EXPECT_STREQ(EnvIniFile(), "-");
  EXPECT_STREQ(EnvIniSection(), "-");
  // "ＺＯＲＶＥＫ アプリケーション" in code page 932.
  EXPECT_STREQ(EnvTitleBar(),
               "\x82\x79\x82\x6e\x82\x71\x82\x75\x82\x64\x82\x6a\x20\x83\x41\x83\x76\x83\x8a"
               "\x83\x50\x81\x5b\x83\x56\x83\x87\x83\x93");
  EXPECT_EQ(std::string(EnvUpdaterTitle()),
            std::string(EnvTitleBar()) + " \x83\x41\x83\x62\x83\x76\x83\x66\x81\x5b\x83\x5e");
  EXPECT_STREQ(EnvInstTo(), "ZORVEK_APP");
  EXPECT_STREQ(EnvExeName(), "zorvek.exe");
  EXPECT_EQ(EnvInstFol(), nullptr);
  EXPECT_EQ(EnvKeyFile(), nullptr);
  EXPECT_EQ(EnvChkReg(), nullptr);
  EXPECT_EQ(EnvInstMakeFol(), 0);
  EXPECT_EQ(EnvChkRegVer(), 0);
  EXPECT_EQ(EnvChkRegVerHigh(), 0);
}

TEST_F(EnvKeys, ValuesFromTheFile) {
  LoadEnvText(
      "REG_GLOBAL Maker\nREG_LOCAL Game\nINI_FILE game.ini\nINI_SECTION Main\n"
      "TITLEBAR My|Game\nINSTTO GameDir\nINSTFOL MakerDir\nEXENAME game.exe\n"
      "INSTMAKEFOL 1\nKEYFILE -\nCHKREG Version\nCHKREGVER 100\nCHKREGVERHIGH 104\n");
  EXPECT_STREQ(EnvRegGlobal(), "Maker");
  EXPECT_STREQ(EnvRegLocal(), "Game");
  EXPECT_STREQ(EnvIniFile(), "game.ini");
  EXPECT_STREQ(EnvIniSection(), "Main");
  EXPECT_STREQ(EnvTitleBar(), "My Game");
  EXPECT_EQ(std::string(EnvUpdaterTitle()), std::string("My Game") + kEnvUpdaterTitleSuffix);
  EXPECT_STREQ(EnvInstTo(), "GameDir");
  EXPECT_STREQ(EnvInstFol(), "MakerDir");
  EXPECT_STREQ(EnvExeName(), "game.exe");
  EXPECT_EQ(EnvInstMakeFol(), 1);
  ASSERT_NE(EnvKeyFile(), nullptr);
  EXPECT_STREQ(EnvKeyFile(), "-");  // "-" is a file name here, not "none"
  EXPECT_STREQ(EnvChkReg(), "Version");
  EXPECT_EQ(EnvChkRegVer(), 100);
  EXPECT_EQ(EnvChkRegVerHigh(), 104);
}

TEST_F(EnvKeys, LongTitleIsCutTo127BytesBeforeTheSuffix) {
  LoadEnvText("TITLEBAR " + std::string(200, 'T') + "\nINSTTO " + std::string(130, 'i') + "\n");
  EXPECT_EQ(std::string(EnvTitleBar()), std::string(127, 'T'));
  EXPECT_EQ(std::string(EnvUpdaterTitle()), std::string(127, 'T') + kEnvUpdaterTitleSuffix);
  EXPECT_EQ(strlen(EnvUpdaterTitle()), 140u);
  EXPECT_EQ(strlen(EnvInstTo()), 127u);
}

TEST_F(EnvKeys, RegistryAndIniNamesAreLookedUpOnce) {
  LoadEnvText("REG_GLOBAL Old\nREG_LOCAL OldL\nINI_FILE old.ini\nTITLEBAR OldTitle\n");
  EXPECT_STREQ(EnvRegGlobal(), "Old");
  EXPECT_STREQ(EnvRegLocal(), "OldL");
  EXPECT_STREQ(EnvIniFile(), "old.ini");
  EXPECT_STREQ(EnvIniSection(), "-");  // the default is remembered as well
  ReplaceTable("REG_GLOBAL New\nREG_LOCAL NewL\nINI_FILE new.ini\nINI_SECTION S\n"
               "TITLEBAR NewTitle\n");
  EXPECT_STREQ(EnvRegGlobal(), "Old");
  EXPECT_STREQ(EnvRegLocal(), "OldL");
  EXPECT_STREQ(EnvIniFile(), "old.ini");
  EXPECT_STREQ(EnvIniSection(), "-");
  EXPECT_STREQ(EnvTitleBar(), "NewTitle");  // looked up on every call
}

TEST_F(EnvKeys, TextsAreLookedUpOnEveryCall) {
  LoadEnvText("TITLEBAR A\nINSTTO B\nEXENAME c.exe\nINSTFOL D\nKEYFILE e\nCHKREG F\n");
  const char* title = EnvTitleBar();
  EXPECT_STREQ(EnvUpdaterTitle(), (std::string("A") + kEnvUpdaterTitleSuffix).c_str());
  EXPECT_STREQ(EnvInstFol(), "D");
  ReplaceTable("TITLEBAR Z\nINSTTO Y\nEXENAME x.exe\n");
  EXPECT_STREQ(EnvTitleBar(), "Z");
  EXPECT_EQ(EnvTitleBar(), title);  // the same buffer, rewritten
  EXPECT_STREQ(EnvUpdaterTitle(), (std::string("Z") + kEnvUpdaterTitleSuffix).c_str());
  EXPECT_STREQ(EnvInstTo(), "Y");
  EXPECT_STREQ(EnvExeName(), "x.exe");
  EXPECT_EQ(EnvInstFol(), nullptr);
  EXPECT_EQ(EnvKeyFile(), nullptr);
  EXPECT_EQ(EnvChkReg(), nullptr);
}

TEST_F(EnvKeys, IntegersAreRememberedWithMinusOneAsNotYet) {
  LoadEnvText("INSTMAKEFOL 1\nCHKREGVER 3\nCHKREGVERHIGH -1\n");
  EXPECT_EQ(EnvInstMakeFol(), 1);
  EXPECT_EQ(EnvChkRegVer(), 3);
  EXPECT_EQ(EnvChkRegVerHigh(), -1);
  ReplaceTable("INSTMAKEFOL 0\nCHKREGVER 5\nCHKREGVERHIGH 7\n");
  EXPECT_EQ(EnvInstMakeFol(), 1);
  EXPECT_EQ(EnvChkRegVer(), 3);
  EXPECT_EQ(EnvChkRegVerHigh(), 7);  // -1 was never remembered
  ReplaceTable("CHKREGVERHIGH 9\n");
  EXPECT_EQ(EnvChkRegVerHigh(), 7);
}

TEST_F(EnvKeys, AbsentIntegerIsRememberedAsZero) {
  LoadEnvText("");
  EXPECT_EQ(EnvChkRegVer(), 0);
  ReplaceTable("CHKREGVER 5\n");
  EXPECT_EQ(EnvChkRegVer(), 0);
}

}  // namespace
