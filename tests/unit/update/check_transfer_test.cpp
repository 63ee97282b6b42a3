// updpack check on what the update writes and deletes: every line that will
// not do what it seems is reported on its line.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "updpack/check/check_env.h"

namespace {

using C = CheckCode;

TEST(CheckTransfer, LinesThatWillNotDoWhatTheySeem) {
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(UPD_TEST_DATA "/../env/transfer.env", &bytes));
  EnvCheckResult result;
  CheckEnvText(bytes, false, &result);
  std::set<std::pair<CheckCode, int>> found;
  std::string discMessage;
  for (const CheckFinding& f : result.findings) {
    found.insert({f.code, f.line});
    if (f.line == 18) discMessage = f.message;
  }
  EXPECT_EQ(found, (std::set<std::pair<CheckCode, int>>{
                       {C::kPlaceholder, 4},        // REP_INSTALL in INI_FILE stays
                       {C::kPlaceholder, 10},       // REP_CDROM in [ini]
                       {C::kPlaceholder, 11},       // a second REP_INSTALL
                       {C::kTransferTooLong, 12},   // 496 bytes leave 26 for the folder
                       {C::kSkippedRegLine, 15},    // key line
                       {C::kSkippedRegLine, 16},    // default value
                       {C::kSkippedRegLine, 17},    // dword:
                       {C::kPlaceholder, 18},       // REP_CDROMDRIVE in [reg]
                       {C::kSkippedRegLine, 20},    // no "=" in quotes
                       {C::kDeletesOwnFile, 23},    // *.* takes Readme.txt
                       {C::kDeletesOwnFile, 24},    // bin\*.exe takes bin\Game.exe
                       {C::kDeletesOwnFile, 25},    // readme.TXT in any case
                       {C::kDeletesOwnFile, 28},    // stars and "?" between letters
                       {C::kDeletesOwnFile, 29},    // in a folder too
                       // 27: sixty stars before "kk" take nothing, at once
                   }));
  EXPECT_NE(discMessage.find("\"DRIVE\""), std::string::npos) << discMessage;
  EXPECT_EQ(result.errors, 0);
}

}  // namespace
