// updpack check on Windows: the Win32 code page functions give the same
// answers as the native iconv table on the sample files.
#include "updpack/check/check_codepage.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "env/env_keys.h"
#include "updpack/check/check_env.h"
#include "updpack/fsys/fsys.h"

namespace {

std::string DataFile(const std::string& name) {
  return std::string(UPD_SOURCE_DIR) + "/tests/data/env/" + name;
}

EnvCheckResult CheckFile(const std::string& name, bool fromUtf8 = false) {
  std::string bytes;
  EXPECT_TRUE(FsReadAll(DataFile(name), &bytes)) << name;
  EnvCheckResult result;
  CheckEnvText(bytes, fromUtf8, &result);
  return result;
}

TEST(WinCodepage, Utf8ToCp932ReportsWhatHasNoForm) {
  // Outside the assertion: its text is also kept as a code page 932 string.
  const char* input = u8"名前=Café\n한😀ｱ\n";
  std::vector<CodepageProblem> problems;
  EXPECT_EQ(Utf8ToCp932(input, &problems),
            "\x96\xBC\x91\x4F=Caf?\n??\xB1\n");
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_EQ(problems[0].codePoint, 0xE9u);
  EXPECT_EQ(problems[0].column, 7);
  EXPECT_EQ(problems[1].line, 2);
  EXPECT_EQ(problems[1].codePoint, 0xD55Cu);
  EXPECT_EQ(problems[2].codePoint, 0x1F600u);
  EXPECT_EQ(problems[2].column, 2);
}

TEST(WinCodepage, UndefinedShiftJisIsFound) {
  std::vector<CodepageProblem> problems = FindInvalidCp932("OK\x83\x41\n\x85\x40\xFF");
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0].line, 2);
  EXPECT_EQ(problems[0].column, 1);
  EXPECT_EQ(problems[1].column, 2);
  EXPECT_EQ(DisplayText("\x83\x41"), "\x83\x41");  // the console shows code page 932
}

TEST(WinCodepage, SampleFilesGiveTheSameFindings) {
  EXPECT_TRUE(CheckFile("clean.env").findings.empty());
  EnvCheckResult converted = CheckFile("utf8-clean.env", true);
  EXPECT_TRUE(converted.findings.empty());
  std::string clean;
  ASSERT_TRUE(FsReadAll(DataFile("clean.env"), &clean));
  EXPECT_EQ(converted.cp932, clean);
  EXPECT_STREQ(EnvTitleBar(), "テスト ゲーム");

  std::set<std::pair<int, int>> where;
  for (const CheckFinding& f : CheckFile("badsjis.env").findings) where.insert({f.line, f.column});
  EXPECT_EQ(where, (std::set<std::pair<int, int>>{{2, 11}, {3, 8}, {3, 9}, {4, 4}}));

  EnvCheckResult utf8 = CheckFile("utf8.env", true);
  ASSERT_EQ(utf8.findings.size(), 1u);
  EXPECT_EQ(utf8.findings[0].code, CheckCode::kUnconvertible);
  EXPECT_EQ(utf8.findings[0].line, 3);
  EXPECT_EQ(utf8.findings[0].column, 11);
}

}  // namespace
