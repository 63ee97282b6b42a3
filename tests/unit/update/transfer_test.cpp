// [ini] and [reg] lines as the update turns them into what it writes, with
// the target folder D:\Games\Title and Q:\ as the first CD-ROM drive.
#include "update/transfer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

int g_driveProbes = 0;
const char* DriveQ() {
  ++g_driveProbes;
  return "Q:\\";
}

struct Transfer : ::testing::Test {
  char key[kTransferTextSize];
  char value[kTransferTextSize];
  void SetUp() override {
    g_driveProbes = 0;
    SetTransferPlatform(DriveQ, IsLeadByte);
    SetTransferTargetFolder("D:\\Games\\Title");
  }
  void TearDown() override {
    SetTransferTargetFolder(nullptr);
    SetTransferPlatform(nullptr, nullptr);
  }
  // "key|value", or "skipped" with the outputs left untouched.
  std::string Ini(const std::string& line) {
    strcpy(key, "untouched");
    if (ParseIniLine(line.c_str(), key, value) != 0) {
      EXPECT_STREQ(key, "untouched");
      return "skipped";
    }
    return std::string(key) + "|" + value;
  }
  std::string Reg(const std::string& line) {
    if (ParseRegLine(line.c_str(), key, value) != 0) return "skipped";
    return std::string(key) + "|" + value;
  }
};

TEST_F(Transfer, IniLines) {
  EXPECT_EQ(Ini("Path=REP_INSTALL"), "Path|D:\\Games\\Title");
  EXPECT_EQ(g_driveProbes, 0);  // no drive placeholder, no probe
  EXPECT_EQ(Ini("Disc=REP_CDROMDRIVE"), "Disc|Q:\\");
  EXPECT_EQ(Ini("Disc=REP_CDROMDRIVE"), "Disc|Q:\\");
  EXPECT_EQ(g_driveProbes, 2);  // probed again for every line that needs it
  EXPECT_EQ(Ini("Empty="), "Empty|");
  EXPECT_EQ(Ini("Sum=a=b\\c"), "Sum|a=b\\c");  // no unescaping in [ini]
  EXPECT_EQ(Ini("Two=REP_INSTALL;REP_INSTALL"), "Two|D:\\Games\\Title;REP_INSTALL");
  EXPECT_EQ(Ini("Both=REP_CDROMDRIVE|REP_INSTALL"), "Both|Q:\\|D:\\Games\\Title");
  // [ini] knows only the long drive placeholder.
  EXPECT_EQ(Ini("Short=REP_CDROM"), "Short|REP_CDROM");
  EXPECT_EQ(Ini("no assignment here"), "skipped");
  // "コ" is 0x83 0x52: its second byte is an "R" that must not start a match.
  EXPECT_EQ(Ini("K=\x83REP_INSTALL"), "K|\x83REP_INSTALL");
  // 0x81 0x3D: the "=" is the second byte of a character, so no assignment.
  EXPECT_EQ(Ini("K\x81=x"), "skipped");

  SetTransferPlatform(nullptr, IsLeadByte);  // no CD-ROM drive at all
  EXPECT_EQ(Ini("Disc=REP_CDROMDRIVE"), "Disc|E:\\");
}

TEST_F(Transfer, TargetFolderWithEqualsSignStaysInTheValue) {
  SetTransferTargetFolder("D:\\A=B");
  EXPECT_EQ(Ini("Path=REP_INSTALL\\save"), "Path|D:\\A=B\\save");
}

TEST_F(Transfer, RegLines) {
  EXPECT_EQ(Reg("\"Path\"=\"REP_INSTALL\\\\save\""), "Path|D:\\Games\\Title\\save");
  EXPECT_EQ(Reg("\"Disc\"=\"REP_CDROM\""), "Disc|Q:\\");
  EXPECT_EQ(Reg("\"Disc\"=\"REP_CDROMDRIVE\""), "Disc|Q:\\DRIVE");
  EXPECT_EQ(Reg("\"Say\"=\"a \\\"b\\\" c\""), "Say|a \"b\" c");
  EXPECT_EQ(Reg("\"Two\"=\"REP_INSTALL REP_INSTALL\""), "Two|D:\\Games\\Title REP_INSTALL");
  EXPECT_EQ(Reg("\"Empty\"=\"\""), "Empty|");
  EXPECT_EQ(Reg("\"Bare\"=\""), "Bare|");
  EXPECT_EQ(Reg("\"Eq\"=\"a\\\"=\\\"b\""), "Eq|a\"=\"b");  // the first separator splits
  for (const char* skipped :
       {"[HKEY_CURRENT_USER\\Software\\Maker\\Title]", "Windows Registry Editor Version 5.00",
        "@=\"default\"", "\"Count\"=dword:00000010", "\"Raw\"=hex:01,02,03", ""}) {
    EXPECT_EQ(Reg(skipped), "skipped") << skipped;
  }
  EXPECT_EQ(g_driveProbes, 2);
}

TEST_F(Transfer, UnescapeRules) {
  EXPECT_STREQ(UnescapeRegText("a\\\\b"), "a\\b");
  EXPECT_STREQ(UnescapeRegText("\\\"q\\\""), "\"q\"");
  EXPECT_STREQ(UnescapeRegText("\\x\\y"), "xy");
  EXPECT_STREQ(UnescapeRegText("\\\\\\"), "\\");  // a final lone backslash goes
  // 表 is 0x95 0x5C: its second byte is no backslash, escaped or not.
  EXPECT_STREQ(UnescapeRegText("\x95\\\\A"), "\x95\\A");
  EXPECT_STREQ(UnescapeRegText("\\\x95\\A"), "\x95\\A");
}

TEST_F(Transfer, LinesThatWouldOutgrowTheirTextAreSkipped) {
  // 500 bytes + 14 for the folder less 11 for the placeholder = 503: fits.
  std::string fits = "K=REP_INSTALL" + std::string(487, 'x');
  ASSERT_EQ(fits.size(), 500u);
  EXPECT_EQ(Ini(fits).size(), std::string("K|D:\\Games\\Title").size() + 487);
  // 509 bytes become 512: one too many, so nothing is written.
  std::string tooLong = fits + std::string(9, 'x');
  EXPECT_EQ(Ini(tooLong), "skipped");
  EXPECT_EQ(ReplaceIniPlaceholders(tooLong.c_str()), nullptr);
  std::string regLine = "\"K\"=\"REP_INSTALL" + std::string(493, 'y') + "\"";
  EXPECT_EQ(Reg(regLine), "skipped");
  // Exactly 511 bytes is the last that is kept, as a line and as a result.
  EXPECT_EQ(Ini("K=" + std::string(509, 'v')), "K|" + std::string(509, 'v'));
  std::string full = "K=REP_INSTALL" + std::string(495, 'x');  // 508 bytes become 511
  EXPECT_EQ(Ini(full), "K|D:\\Games\\Title" + std::string(495, 'x'));
  std::string regFull = "\"K\"=\"REP_INSTALL" + std::string(491, 'y') + "\"";
  ASSERT_NE(ReplaceRegPlaceholders(regFull.c_str()), nullptr);
  EXPECT_EQ(strlen(ReplaceRegPlaceholders(regFull.c_str())), 511u);
  // A line over 511 bytes is never cut into something shorter.
  EXPECT_EQ(UnescapeRegText(std::string(512, 'z').c_str()), nullptr);
  EXPECT_EQ(Ini("K=" + std::string(600, 'v')), "skipped");
}

TEST_F(Transfer, TheDrivePlaceholderGoesInBeforeTheFolder) {
  // 511 bytes: the drive shrinks the line by 11, the folder grows it by 3.
  // Drive first it fits all along; folder first it would not (514 bytes).
  std::string both = "K=REP_CDROMDRIVE;REP_INSTALL;";
  both += std::string(511 - both.size(), 'x');
  EXPECT_EQ(Ini(both), "K|Q:\\;D:\\Games\\Title;" + std::string(511 - 29, 'x'));
  std::string regBoth = "\"K\"=\"REP_CDROM;REP_INSTALL;";
  regBoth += std::string(510 - regBoth.size(), 'y') + "\"";
  EXPECT_EQ(Reg(regBoth), "K|Q:\\;D:\\Games\\Title;" + std::string(510 - 27, 'y'));

  // The folder's own text is never searched for the drive placeholder.
  g_driveProbes = 0;
  SetTransferTargetFolder("D:\\REP_CDROMDRIVE\\Game");
  EXPECT_EQ(Ini("Path=REP_INSTALL"), "Path|D:\\REP_CDROMDRIVE\\Game");
  SetTransferTargetFolder("D:\\REP_CDROM");
  EXPECT_EQ(Reg("\"Path\"=\"REP_INSTALL\""), "Path|D:\\REP_CDROM");
  EXPECT_EQ(g_driveProbes, 0);
}

}  // namespace
