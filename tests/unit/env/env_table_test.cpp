#include "env/env_table.h"

#include <climits>
#include <string>

#include "unit/env/env_test_util.h"

namespace {

using EnvTable = EnvTest;

TEST_F(EnvTable, BlanksSeparateAndTextAfterTheValueIsDropped) {
  LoadEnvText(
      "TITLEBAR  My|Game  1.07\n"
      "TABS\t\tvalue\n"
      "ONE value\n"
      "VT\x0bvalue\x01tail\n"
      "CR\rvalue\n");
  EXPECT_EQ(EnvValue("TITLEBAR"), "My Game");
  EXPECT_EQ(EnvValue("TABS"), "value");
  EXPECT_EQ(EnvValue("ONE"), "value");
  EXPECT_EQ(EnvValue("VT"), "value");  // every byte up to 0x20 separates
  EXPECT_EQ(EnvValue("CR"), "value");
  EXPECT_EQ(EnvCount(), 5);
}

TEST_F(EnvTable, FullWidthSpaceIsOrdinaryText) {
  LoadEnvText("KEY \x81\x40x\x81\x40y\nK\x81\x40" "EY v\n");
  EXPECT_EQ(EnvValue("KEY"), "\x81\x40x\x81\x40y");
  EXPECT_EQ(EnvValue("K\x81\x40" "EY"), "v");
}

TEST_F(EnvTable, ValueMustStartWithin99SeparatorsOfTheKey) {
  LoadEnvText("NEAR" + std::string(99, ' ') + "yes\n" + "FAR" + std::string(100, '\t') +
              "no\n" + "ALONE\n" + "ALONE2   \n");
  EXPECT_EQ(EnvValue("NEAR"), "yes");
  EXPECT_EQ(EnvValue("FAR"), "<absent>");
  EXPECT_EQ(EnvValue("ALONE"), "<absent>");
  EXPECT_EQ(EnvCount(), 1);
}

TEST_F(EnvTable, ParseLineReportsAValueBeyondTheWindow) {
  char line[kEnvLineSize] = {};
  std::string text = "KEY" + std::string(150, ' ') + "v\n";
  memcpy(line, text.data(), text.size());
  EnvKeyLine parsed;
  EXPECT_EQ(EnvParseLine(line, &parsed), kEnvLineNoValue);
  EXPECT_TRUE(parsed.valueTooFar);
  char plain[kEnvLineSize] = "KEY\n";
  EXPECT_EQ(EnvParseLine(plain, &parsed), kEnvLineNoValue);
  EXPECT_FALSE(parsed.valueTooFar);
}

TEST_F(EnvTable, ValueBehindAZeroByteOfThePieceIsFound) {
  // The separator rule covers the whole buffer, including bytes behind a
  // zero byte that the piece carried.
  LoadEnvText(std::string("KEY\0value\n", 10));
  EXPECT_EQ(EnvValue("KEY"), "value");
}

TEST_F(EnvTable, CommentAndIndentedLinesAreNotKeyLines) {
  LoadEnvText(
      "  INDENTED 1\n"
      "\tTABBED 1\n"
      "//SLASHES 1\n"
      "/SLASH 1\n"
      "; semicolon words\n"
      "\x82\xa0KEY 2\n");
  EXPECT_EQ(EnvValue("INDENTED"), "<absent>");
  EXPECT_EQ(EnvValue("TABBED"), "<absent>");
  EXPECT_EQ(EnvValue("//SLASHES"), "<absent>");
  EXPECT_EQ(EnvValue("/SLASH"), "<absent>");
  EXPECT_EQ(EnvValue(";"), "semicolon");  // ";" means nothing to this pass
  EXPECT_EQ(EnvValue("\x82\xa0KEY"), "2");  // a double-byte first byte is content
  EXPECT_EQ(EnvCount(), 2);
}

TEST_F(EnvTable, EofLineEndsReading) {
  LoadEnvText("A 1\n[EOF] trailing\nB 2\n");
  EXPECT_EQ(EnvValue("A"), "1");
  EXPECT_EQ(EnvValue("B"), "<absent>");
  EnvFree();
  // Not at the very start, or in another case: no end.
  LoadEnvText(" [EOF]\n[eof]\nC 3\n[EOF\nD 4\n");
  EXPECT_EQ(EnvValue("C"), "3");
  EXPECT_EQ(EnvValue("D"), "4");
}

TEST_F(EnvTable, OnlyTheFirst400PiecesAreRead) {
  std::string text;
  for (int i = 0; i < 399; ++i) text += "// comment\n";
  text += "LAST 400\nLATE 401\n";
  LoadEnvText(text);
  EXPECT_EQ(EnvValue("LAST"), "400");
  EXPECT_EQ(EnvValue("LATE"), "<absent>");
}

TEST_F(EnvTable, LongLineCountsAsTwoPiecesAndItsRestIsALineOfItsOwn) {
  // 600 bytes: a 511-byte comment piece, then 89 bytes parsed as a key line.
  std::string longLine = "//" + std::string(509, 'c') + "REST" + std::string(81, ' ') + "tail";
  ASSERT_EQ(longLine.size(), 600u);
  std::string text;
  for (int i = 0; i < 199; ++i) text += longLine + "\n";  // 398 pieces
  text += "K399 a\nK400 b\nK401 c\n";
  LoadEnvText(text);
  EXPECT_EQ(EnvValue("REST"), "tail");
  EXPECT_EQ(EnvValue("K400"), "b");
  EXPECT_EQ(EnvValue("K401"), "<absent>");
}

TEST_F(EnvTable, FirstEntryWinsAndKeysAreCaseSensitive) {
  LoadEnvText("EXENAME first.exe\nexename lower.exe\nEXENAME second.exe\n");
  EXPECT_EQ(EnvValue("EXENAME"), "first.exe");
  EXPECT_EQ(EnvValue("exename"), "lower.exe");
  EXPECT_EQ(EnvValue("EXENAM"), "<absent>");
  EXPECT_EQ(EnvCount(), 3);  // duplicates stay in the table
  // A second load appends: the earlier file still wins.
  LoadEnvText("EXENAME third.exe\nNEW 1\n");
  EXPECT_EQ(EnvValue("EXENAME"), "first.exe");
  EXPECT_EQ(EnvValue("NEW"), "1");
}

TEST_F(EnvTable, BarBecomesABlankButNotAsATrailByte) {
  // 0x83 0x7C is a katakana whose second byte is "|".
  LoadEnvText("K1 |a\x83\x7C|b||\nK2 \x83\x7C\x83\x7C\nK| x|y\n");
  EXPECT_EQ(EnvValue("K1"), " a\x83\x7C b  ");
  EXPECT_EQ(EnvValue("K2"), "\x83\x7C\x83\x7C");
  EXPECT_EQ(EnvValue("K|"), "x y");  // keys are stored unchanged
}

TEST_F(EnvTable, GetStringCutsByteWiseAndZeroFills) {
  LoadEnvText("SIX abcdef\nJP \x83\x41\x83\x42\n");
  char buffer[8];
  memset(buffer, 'X', sizeof buffer);
  EXPECT_STREQ(EnvGetString("SIX", buffer, 4, "d"), "abc");
  EXPECT_EQ(buffer[4], 'X');  // nothing past size is touched
  memset(buffer, 'X', sizeof buffer);
  EXPECT_STREQ(EnvGetString("SIX", buffer, 8, "d"), "abcdef");
  EXPECT_EQ(std::string(buffer, 8), std::string("abcdef\0\0", 8));
  EXPECT_STREQ(EnvGetString("JP", buffer, 4, ""), "\x83\x41\x83");  // even inside a character
  EXPECT_STREQ(EnvGetString("NONE", buffer, 8, "default"), "default");
  EXPECT_STREQ(EnvGetString("NONE", buffer, 4, "default"), "def");
  char one[1] = {'X'};
  EXPECT_STREQ(EnvGetString("SIX", one, 1, ""), "");
  char none[1] = {'X'};
  EnvGetString("SIX", none, 0, "");
  EXPECT_EQ(none[0], 'X');
}

TEST_F(EnvTable, GetIntReadsLeadingDigits) {
  LoadEnvText(
      "A 1000\nB -5\nC 12abc\nD abc\nE +7\nF 99999999999\nG -99999999999\nH 0x10\n");
  EXPECT_EQ(EnvGetInt("A", 3), 1000);
  EXPECT_EQ(EnvGetInt("B", 3), -5);
  EXPECT_EQ(EnvGetInt("C", 3), 12);
  EXPECT_EQ(EnvGetInt("D", 3), 0);
  EXPECT_EQ(EnvGetInt("E", 3), 7);
  EXPECT_EQ(EnvGetInt("F", 3), INT_MAX);
  EXPECT_EQ(EnvGetInt("G", 3), INT_MIN);
  EXPECT_EQ(EnvGetInt("H", 3), 0);
  EXPECT_EQ(EnvGetInt("ABSENT", 3), 3);
}

}  // namespace
