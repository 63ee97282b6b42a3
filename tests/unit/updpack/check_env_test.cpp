// updpack check: every mistake in the sample files is found on its line, and
// nothing is reported on a clean file; and the program itself on the sample
// files, as a game maker runs it.
#include "updpack/check/check_env.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "env/env_keys.h"
#include "env/sections.h"
#include "unit/updpack/updpack_test_util.h"
#include "updpack/check/check_codepage.h"
#include "updpack/fsys/fsys.h"

#ifndef UPD_SOURCE_DIR
#error "UPD_SOURCE_DIR must name the source tree"
#endif

namespace {

using testupd::ExpectRun;
using testupd::ReadBytes;
using testupd::RunResult;
using testupd::TempDir;
using C = CheckCode;
using Found = std::set<std::pair<CheckCode, int>>;  // what, on which line

std::string DataFile(const std::string& name) {
  return std::string(UPD_SOURCE_DIR) + "/tests/data/env/" + name;
}

EnvCheckResult CheckBytes(const std::string& bytes, bool fromUtf8 = false) {
  EnvCheckResult result;
  CheckEnvText(bytes, fromUtf8, &result);
  return result;
}

EnvCheckResult CheckFile(const std::string& path, bool fromUtf8 = false) {
  std::string bytes;
  EXPECT_TRUE(FsReadAll(path, &bytes)) << path;
  return CheckBytes(bytes, fromUtf8);
}

Found Findings(const EnvCheckResult& result) {
  Found found;
  for (const CheckFinding& f : result.findings) found.insert({f.code, f.line});
  return found;
}

const CheckFinding* FindingAt(const EnvCheckResult& result, CheckCode code, int line) {
  for (const CheckFinding& f : result.findings) {
    if (f.code == code && f.line == line) return &f;
  }
  return nullptr;
}

TEST(CheckEnv, CleanFilesReportNothingButTheExamplesIniFolder) {
  // The example's INI file has no folder, so it lands in the Windows folder.
  const std::pair<std::string, Found> files[] = {
      {DataFile("clean.env"), Found{}},
      {std::string(UPD_SOURCE_DIR) + "/examples/update/install.env",
       Found{{C::kIniFileInWindows, 29}}},
  };
  for (const auto& [path, expected] : files) {
    EnvCheckResult result = CheckFile(path);
    EXPECT_EQ(Findings(result), expected) << path;
    EXPECT_EQ(result.errors, 0);
    EXPECT_FALSE(result.utf8);
  }
}

TEST(CheckEnv, LeavesTheUpdatersViewLoaded) {
  EnvCheckResult result = CheckFile(DataFile("clean.env"));
  EXPECT_STREQ(EnvTitleBar(),
               "\x83\x65\x83\x58\x83\x67 \x83\x51\x81\x5b\x83\x80");  // テスト ゲーム
  EXPECT_EQ(EnvChkRegVer(), -3);
  ASSERT_NE(RegList.first, nullptr);
  EXPECT_STREQ(RegList.first->text, "\"Path\"=\"REP_INSTALL\"");
  EXPECT_EQ(result.keyPassEndLine, 21);
  // Line of each entry, in table order: TITLEBAR first, INSTREADME last.
  ASSERT_FALSE(result.entryLines.empty());
  EXPECT_EQ(result.entryLines.front(), 2);
  EXPECT_EQ(result.headerLines[kSectionReg], 14);
}

TEST(CheckEnv, KeyLineMistakes) {
  EnvCheckResult result = CheckFile(DataFile("keys.env"));
  EXPECT_EQ(Findings(result), (Found{{C::kValueCut, 2},
                                     {C::kUnknownKey, 3},
                                     {C::kDuplicateKey, 5},
                                     {C::kNoValue, 6},
                                     {C::kNotANumber, 7},
                                     {C::kValueTooLong, 8},
                                     {C::kNoValue, 9},
                                     {C::kUnknownKey, 10}}));
  EXPECT_EQ(result.errors, 0);
  const CheckFinding* cut = FindingAt(result, C::kValueCut, 2);
  ASSERT_NE(cut, nullptr);
  EXPECT_NE(cut->message.find("reads \"My\" and drops \"Game\""), std::string::npos)
      << cut->message;
  const CheckFinding* typo = FindingAt(result, C::kUnknownKey, 3);
  ASSERT_NE(typo, nullptr);
  EXPECT_NE(typo->message.find("did you mean EXENAME?"), std::string::npos) << typo->message;
  const CheckFinding* hash = FindingAt(result, C::kUnknownKey, 10);
  ASSERT_NE(hash, nullptr);
  EXPECT_EQ(hash->message.find("did you mean"), std::string::npos) << hash->message;
  const CheckFinding* duplicate = FindingAt(result, C::kDuplicateKey, 5);
  ASSERT_NE(duplicate, nullptr);
  EXPECT_NE(duplicate->message.find("line 4"), std::string::npos);
  const CheckFinding* longValue = FindingAt(result, C::kValueTooLong, 8);
  ASSERT_NE(longValue, nullptr);
  EXPECT_NE(longValue->message.find("double-byte"), std::string::npos);
}

TEST(CheckEnv, SectionMistakes) {
  EnvCheckResult result = CheckFile(DataFile("sections.env"));
  EXPECT_EQ(Findings(result), (Found{{C::kHeaderCase, 2},
                                     {C::kUnknownSection, 3},
                                     {C::kIndentedClose, 6},
                                     {C::kRepeatedSection, 9},
                                     {C::kSkippedIniLine, 13},
                                     {C::kSkippedIniLine, 14},
                                     {C::kKeyInSection, 14},
                                     {C::kIndentedHeader, 19},
                                     {C::kUnterminatedSection, 17}}));
  EXPECT_EQ(result.errors, 1);
  const CheckFinding* open = FindingAt(result, C::kUnterminatedSection, 17);
  ASSERT_NE(open, nullptr);
  EXPECT_NE(open->message.find("[設定.env]の[delfiles_afterinst]が終了していません"),
            std::string::npos);
  EXPECT_NE(open->message.find("\"[EOF]\" on line 20"), std::string::npos) << open->message;
}

TEST(CheckEnv, WhatTheUpdaterNeverReads) {
  EXPECT_EQ(Findings(CheckFile(DataFile("eof.env"))), (Found{{C::kNeverRead, 3}}));
  EXPECT_EQ(Findings(CheckFile(DataFile("passend.env"))), (Found{{C::kSectionsNeverRead, 5}}));
  EXPECT_EQ(Findings(CheckFile(DataFile("endbyte.env"))), (Found{{C::kEndByte, 2}}));

  EnvCheckResult eofLine = CheckFile(DataFile("eofline.env"));
  EXPECT_EQ(Findings(eofLine), (Found{{C::kUnterminatedSection, 2}}));
  EXPECT_NE(eofLine.findings[0].message.find("\"EOF\" on line 4"), std::string::npos);
}

TEST(CheckEnv, ZeroBytesInALineAreBlanks) {
  EnvCheckResult result = CheckFile(DataFile("zero-byte.env"));
  EXPECT_EQ(Findings(result), (Found{{C::kNulByte, 1}, {C::kValueCut, 2}}));
  EXPECT_STREQ(EnvInstTo(), "Game Dir");
  EXPECT_STREQ(EnvExeName(), "run.exe");
}

TEST(CheckEnv, LinesPastThe400thAndOverlongLines) {
  std::string text;
  for (int i = 0; i < 399; ++i) text += "// comment\r\n";
  text += "EXENAME game.exe\r\nINSTTO Late\r\n";   // lines 400 and 401
  text += "// " + std::string(600, 'x') + "\r\n";  // line 402
  EnvCheckResult result = CheckBytes(text);
  EXPECT_EQ(Findings(result), (Found{{C::kNeverRead, 401}, {C::kLongLine, 402}}));
  EXPECT_EQ(result.piecesRead, 400);
  EXPECT_STREQ(EnvExeName(), "game.exe");
  EXPECT_STREQ(EnvInstTo(), "ZORVEK_APP");
}

TEST(CheckEnv, Utf8FileIsAnErrorUnlessConverted) {
  EnvCheckResult refused = CheckFile(DataFile("utf8.env"));
  EXPECT_TRUE(refused.utf8);
  EXPECT_EQ(Findings(refused), (Found{{C::kUnconvertible, 3}, {C::kUtf8, 0}}));
  const CheckFinding* bad = FindingAt(refused, C::kUnconvertible, 3);
  ASSERT_NE(bad, nullptr);
  EXPECT_EQ(bad->column, 11);
  EXPECT_NE(bad->message.find("U+00E9"), std::string::npos);

  EnvCheckResult converted = CheckFile(DataFile("utf8.env"), true);
  EXPECT_EQ(Findings(converted), (Found{{C::kUnconvertible, 3}}));
  EXPECT_FALSE(converted.converted);

  // Convertible text: no finding, and the updater sees code page 932.
  EnvCheckResult clean =
      CheckBytes("\xEF\xBB\xBFTITLEBAR テスト|版\r\n[ini]\r\n名=値\r\n-\r\n", true);
  EXPECT_TRUE(clean.findings.empty());
  EXPECT_TRUE(clean.converted);
  EXPECT_EQ(clean.cp932,
            "TITLEBAR \x83\x65\x83\x58\x83\x67|\x94\xC5\r\n[ini]\r\n\x96\xBC=\x92\x6C\r\n-\r\n");
  EXPECT_STREQ(EnvTitleBar(), "\x83\x65\x83\x58\x83\x67 \x94\xC5");
}

TEST(CheckEnv, InvalidShiftJisIsReportedByLineAndColumn) {
  EnvCheckResult result = CheckFile(DataFile("badsjis.env"));
  EXPECT_FALSE(result.utf8);
  std::set<std::pair<int, int>> where;
  for (const CheckFinding& f : result.findings) {
    EXPECT_EQ(f.code, C::kInvalidShiftJis);
    where.insert({f.line, f.column});
  }
  EXPECT_EQ(where, (std::set<std::pair<int, int>>{{2, 11}, {3, 8}, {3, 9}, {4, 4}}));
  EXPECT_EQ(result.errors, 4);
}

TEST(CheckEnv, Utf16IsRefused) {
  EnvCheckResult result = CheckFile(DataFile("utf16.env"));
  EXPECT_EQ(Findings(result), (Found{{C::kUtf16, 0}}));
}

TEST(CheckEnv, CheckEnvFileCountsErrorsAndHandsBackTheBytes) {
  std::string bytes;
  EXPECT_EQ(CheckEnvFile(DataFile("clean.env").c_str(), true, false, &bytes), 0);
  std::string original;
  ASSERT_TRUE(FsReadAll(DataFile("clean.env"), &original));
  EXPECT_EQ(bytes, original);
  EXPECT_EQ(CheckEnvFile(DataFile("badsjis.env").c_str(), true), 4);
  EXPECT_EQ(CheckEnvFile(DataFile("utf8.env").c_str(), true, false), 2);
  EXPECT_EQ(CheckEnvFile(DataFile("utf8.env").c_str(), true, true, &bytes), 1);
  EXPECT_EQ(bytes.find("INSTTO Caf?|Game\n"), 31u) << bytes;  // after 8 + 23 bytes
  EXPECT_EQ(CheckEnvFile(DataFile("no-such-file.env").c_str(), true), 1);
}

TEST(CheckCodepage, Utf8DetectionAndConversion) {
  EXPECT_TRUE(
      LooksLikeUtf8("\xEF\xBB\xBF"
                    "ASCII only"));
  EXPECT_TRUE(LooksLikeUtf8("名前"));
  EXPECT_FALSE(LooksLikeUtf8("ASCII only"));
  EXPECT_FALSE(LooksLikeUtf8("\x96\xBC\x91\x4F"));  // 名前 in Shift-JIS
  EXPECT_FALSE(LooksLikeUtf8("\xC0\x80"));          // an overlong form
  EXPECT_FALSE(LooksLikeUtf8("\xED\xA0\x80"));      // a surrogate
  std::vector<CodepageProblem> problems;
  EXPECT_EQ(Utf8ToCp932("a\n한b😀\n\xFF", &problems), "a\n?b?\n?");
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_EQ(problems[0].line, 2);
  EXPECT_EQ(problems[0].column, 1);
  EXPECT_EQ(problems[0].codePoint, 0xD55Cu);
  EXPECT_EQ(problems[1].column, 3);
  EXPECT_EQ(problems[1].codePoint, 0x1F600u);
  EXPECT_EQ(problems[2].line, 3);
  EXPECT_EQ(problems[2].codePoint, 0u);  // not UTF-8 at all
}

TEST(CheckEnv, DiscoverySettingsThatRefuseEveryInstallation) {
  std::string x127(127, 'x');
  EnvCheckResult r = CheckBytes("CHKREG Version\nCHKREGVER 1000\nCHKREGVERHIGH 999\nINSTFOL " +
                                x127 + "\nINSTTO " + x127 + "\n");
  EXPECT_EQ(Findings(r), (Found{{C::kVersionWindowEmpty, 3}, {C::kSuggestionTooLong, 5}}));
  // A window of one version and a suggestion of exactly 259 bytes are sound.
  r = CheckBytes("CHKREG Version\nCHKREGVER 5\nCHKREGVERHIGH 5\nINSTFOL " + x127 + "\nINSTTO " +
                 std::string(114, 'y') + "\n");
  EXPECT_TRUE(r.findings.empty()) << r.findings[0].message;
  r = CheckBytes("CHKREG Version\n");  // CHKREGVERHIGH absent
  EXPECT_EQ(Findings(r), (Found{{C::kVersionWindowEmpty, 1}}));
}

// The program on the sample files: its exit code, and the findings as it
// prints them (regular expressions, see testupd::Finds).

TEST(CheckCommand, ExampleHasOneWarningForItsIniFile) {
  ExpectRun({"check", std::string(UPD_SOURCE_DIR) + "/examples/update/install.env"}, 0,
            {R"(install.env:29: warning: INI_FILE "KazamiNatsu.ini" has no folder)"},
            "0 errors, 1 warning");
}

TEST(CheckCommand, CleanFilePrintsNothingWhenQuiet) {
  RunResult r = ExpectRun({"-q", "check", DataFile("clean.env")}, 0);
  EXPECT_EQ(r.out + r.err, "") << "expected no output";
}

TEST(CheckCommand, KeyWarningsNameTheirLines) {
  ExpectRun({"check", DataFile("keys.env")}, 0,
            {R"(keys.env:3: warning: unknown key "EXENAM" is ignored; did you mean EXENAME\?)",
             "keys.env:5: warning: EXENAME is already set on line 4"});
}

TEST(CheckCommand, UnterminatedSectionIsAnError) {
  ExpectRun({"-q", "check", DataFile("sections.env")}, 1,
            {R"(sections.env:17: \[delfiles_afterinst\] is not closed)"});
}

TEST(CheckCommand, Utf8FileIsRefusedAndConversionSuggested) {
  ExpectRun({"check", DataFile("utf8.env")}, 1,
            {R"(utf8.env:3:11: character U\+00E9)", "--from-utf8"});
}

TEST(CheckCommand, DiscoveryShowsTheKeyAndTheSuggestedFolder) {
  ExpectRun({"check", DataFile("discovery.env")}, 0,
            {"discovery.env:7: warning: CHKREG is set but CHKREGVERHIGH is not"},
            R"(HKEY_CURRENT_USER.Software.Maker.Title.*"C:.Program Files.Maker.Title")");
}

TEST(CheckCommand, OutputWithoutConversionIsBadUsage) {
  TempDir t;
  ExpectRun({"check", DataFile("clean.env"), "-o", t / "never.env"}, 2);
}

// Converting the UTF-8 twin of clean.env gives clean.env byte for byte.
TEST(CheckCommand, ConvertingTheUtf8TwinGivesTheCleanFile) {
  TempDir t;
  ExpectRun({"-q", "check", DataFile("utf8-clean.env"), "--from-utf8", "--force", "-o",
             t / "converted.env"},
            0);
  EXPECT_EQ(ReadBytes(t / "converted.env"), ReadBytes(DataFile("clean.env")));
}

}  // namespace
