// updpack check on what the update writes and deletes: every line that will
// not do what it seems is reported on its line.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "unit/updpack/updpack_test_util.h"
#include "updpack/check/check_env.h"
#include "updpack/fsys/fsys.h"

namespace {

using C = CheckCode;
using Findings = std::set<std::pair<CheckCode, int>>;

EnvCheckResult CheckText(const std::string& bytes) {
  EnvCheckResult result;
  CheckEnvText(bytes, false, &result);
  return result;
}

Findings Found(const EnvCheckResult& result) {
  Findings found;
  for (const CheckFinding& f : result.findings) found.insert({f.code, f.line});
  return found;
}

TEST(CheckTransfer, LinesThatWillNotDoWhatTheySeem) {
  std::string bytes;
  ASSERT_TRUE(FsReadAll(UPD_SOURCE_DIR "/tests/data/env/transfer.env", &bytes));
  EnvCheckResult result;
  CheckEnvText(bytes, false, &result);
  std::set<std::pair<CheckCode, int>> found;
  std::string discMessage;
  std::string longMessage;
  for (const CheckFinding& f : result.findings) {
    found.insert({f.code, f.line});
    if (f.line == 18) discMessage = f.message;
    if (f.line == 12) longMessage = f.message;
  }
  EXPECT_EQ(found, (std::set<std::pair<CheckCode, int>>{
                       {C::kPlaceholder, 4},       // REP_INSTALL in INI_FILE stays
                       {C::kPlaceholder, 10},      // REP_CDROM in [ini]
                       {C::kPlaceholder, 11},      // a second REP_INSTALL
                       {C::kTransferTooLong, 12},  // 496 bytes leave 26 for the folder
                       {C::kSkippedRegLine, 15},   // key line
                       {C::kSkippedRegLine, 16},   // default value
                       {C::kSkippedRegLine, 17},   // dword:
                       {C::kPlaceholder, 18},      // REP_CDROMDRIVE in [reg]
                       {C::kSkippedRegLine, 20},   // no "=" in quotes
                       {C::kDeletesOwnFile, 23},   // *.* takes Readme.txt
                       {C::kDeletesOwnFile, 24},   // BIN\*.exe takes bin\Game.exe
                       {C::kDeletesOwnFile, 25},   // readme.TXT in any case
                       {C::kDeletesOwnFile, 28},   // stars and "?" between letters
                       {C::kDeletesOwnFile, 29},   // in a folder too
                       // 27: sixty stars before "kk" take nothing, at once
                   }));
  EXPECT_NE(discMessage.find("\"DRIVE\""), std::string::npos) << discMessage;
  // 485 bytes besides the placeholder: a folder of 26 still fits 511.
  EXPECT_NE(longMessage.find("longer than 26 bytes"), std::string::npos) << longMessage;
  EXPECT_EQ(result.errors, 0);
}

TEST(CheckTransfer, StarDotStarTakesAReadmeWithoutADot) {
  EnvCheckResult result =
      CheckText("EXENAME bin\\Game.exe\nINSTREADMEFL README\n[delfiles_afterinst]\n*.*\n-\n");
  ASSERT_EQ(Found(result), (Findings{{C::kDeletesOwnFile, 4}}));
  EXPECT_NE(result.findings[0].message.find("readme \"README\""), std::string::npos);
}

TEST(CheckTransfer, NothingOutsideTheGameFolder) {
  EnvCheckResult result = CheckText(
      "EXENAME ..\\Game.exe\n"            // 1
      "INI_FILE C:\\Windows\\game.ini\n"  // 2
      "[delfiles]\n..\\*.*\n-\n"          // 3-5
      "[delfiles_user]\n/save/*.*\n-\n"   // 6-8
      "[ini]\nPath=..\\REP_INSTALL\n-\n"  // 9-11: not a deletion
      "[delfiles_afterinst]\n"            // 12
      "C:\\windows\\*.*\n"                // 13
      "\x83\x5C..\\x.txt\n"               // 14: ソ.. is a name
      "save\\..\\..\\*.*\n" +             // 15
      std::string(511, 'a') +
      "\n" +                              // 16: whole
      std::string(511, 'b') + "   \n" +   // 17: only blanks behind
      std::string(512, 'c') + "\n" +      // 18: one byte cut off
      std::string(1023, 'd') + "\n-\n");  // 19
  Findings found = Found(result);
  // The key pass notes every long line on its own.
  for (int line = 16; line <= 19; ++line) found.erase({C::kLongLine, line});
  EXPECT_EQ(found, (Findings{{C::kOutsideGameFolder, 1},
                             {C::kOutsideGameFolder, 2},
                             {C::kDeletesOutside, 4},
                             {C::kDeletesOutside, 7},
                             {C::kDeletesOutside, 13},
                             {C::kDeletesOutside, 15},
                             {C::kDeletionTooLong, 18},
                             {C::kDeletionTooLong, 19}}));
  EXPECT_EQ(result.errors, 6);
  std::string cut, longer;
  for (const CheckFinding& f : result.findings) {
    if (f.code == C::kDeletionTooLong) (f.line == 18 ? cut : longer) = f.message;
  }
  EXPECT_NE(cut.find("512 bytes long"), std::string::npos) << cut;
  EXPECT_NE(cut.find("the other 1 as a line of its own"), std::string::npos) << cut;
  EXPECT_NE(longer.find("1023 bytes long"), std::string::npos) << longer;
  EXPECT_NE(longer.find("the other 512 as lines of their own"), std::string::npos) << longer;
}

TEST(CheckTransfer, QuotesInTheFilesTheUpdateUses) {
  EnvCheckResult result = CheckText("EXENAME \"Game.exe\"\nINI_FILE sub\\game.ini\n");
  EXPECT_EQ(Found(result), (Findings{{C::kOutsideGameFolder, 1}}));
}

// What the program shows of the transfer, as a game maker sees it (regular
// expressions, see testupd::Finds).
TEST(CheckCommand, TransferShowsWhatEachLineWrites) {
  testupd::ExpectRun(
      {"check", UPD_SOURCE_DIR "/tests/data/env/transfer.env"}, 0,
      {"transfer.env:25: warning: this deletes the readme"},
      R"(key "Path" = "REP_INSTALL".*value "Disc" = "REP_CDROMDRIVE".*line 20: skipped)");
}

}  // namespace
