#include "env/sections.h"

#include <string>
#include <vector>

#include "unit/env/env_test_util.h"

namespace {

using Sections = EnvTest;

std::vector<std::string> Entries(const SectionList& list) {
  std::vector<std::string> texts;
  for (const SectionEntry* e = list.first; e; e = e->next) texts.push_back(e->text);
  return texts;
}

using Lines = std::vector<std::string>;

TEST_F(Sections, ClosedSectionsLoadAndLinesBetweenThemAreIgnored) {
  int open = LoadSectionText(
      "// comment\r\n"
      "REG_GLOBAL Maker\r\n"
      "[delfiles]\r\n"
      "game.arc\r\n"
      "-\r\n"
      "stray line outside\r\n"
      "[delfiles_user]\r\n"
      "savedata\\*.*\r\n"
      "-\r\n"
      "[ini]\r\n"
      "-\r\n"
      "[reg]\r\n"
      "Version=REP_INSTALL\r\n"
      "- // end of [reg]\r\n"
      "[delfiles_afterinst]\r\n"
      "old.dat\r\n"
      "-\r\n"
      "[EOF]\r\n");
  EXPECT_EQ(open, kSectionNone);
  EXPECT_EQ(Entries(DelfilesList), Lines{"game.arc"});
  EXPECT_EQ(Entries(DelfilesUserList), Lines{"savedata\\*.*"});
  EXPECT_TRUE(Entries(IniList).empty());
  EXPECT_EQ(Entries(RegList), Lines{"Version=REP_INSTALL"});
  EXPECT_EQ(Entries(DelfilesAfterinstList), Lines{"old.dat"});
}

TEST_F(Sections, EntryTextIsTheLineLessItsTrailingBlanks) {
  int open = LoadSectionText(
      "[ini]\n"
      "key=value  \t \n"
      "  indented=kept ; trailing comment kept\n"
      "a|b c\n"
      "; comment\n"
      "// comment\n"
      "\n"
      "   \t\n"
      "-\n");
  EXPECT_EQ(open, kSectionNone);
  EXPECT_EQ(Entries(IniList),
            (Lines{"key=value", "  indented=kept ; trailing comment kept", "a|b c"}));
}

TEST_F(Sections, IndentedDashIsAnEntryAndDoesNotClose) {
  int open = LoadSectionText("[delfiles_afterinst]\na.txt\n  -\n");
  EXPECT_EQ(open, kSectionDelfilesAfterinst);
  EXPECT_EQ(Entries(DelfilesAfterinstList), (Lines{"a.txt", "  -"}));
}

TEST_F(Sections, SecondHeaderEmptiesItsList) {
  int open = LoadSectionText("[reg]\nA=1\nB=2\n-\n[reg]\nC=3\n-\n");
  EXPECT_EQ(open, kSectionNone);
  EXPECT_EQ(Entries(RegList), Lines{"C=3"});
}

TEST_F(Sections, HeaderOpensItsSectionWhileAnotherIsOpen) {
  int open = LoadSectionText("[ini]\nA=1\n[reg] trailing text\nB=2\n-\n");
  EXPECT_EQ(open, kSectionNone);
  EXPECT_EQ(Entries(IniList), Lines{"A=1"});
  EXPECT_EQ(Entries(RegList), Lines{"B=2"});
}

TEST_F(Sections, HeadersAreCaseSensitiveAndExact) {
  int open = LoadSectionText(
      "[INI]\n"                 // ignored outside a section
      "[delfiles]\n"
      "[INI]\n"                 // an entry inside one
      "[delfiles_]\n"
      "-\n"
      "[delfiles_user]x\n"      // a header with text behind it
      "u\n"
      "-\n");
  EXPECT_EQ(open, kSectionNone);
  EXPECT_EQ(Entries(DelfilesList), (Lines{"[INI]", "[delfiles_]"}));
  EXPECT_EQ(Entries(DelfilesUserList), Lines{"u"});
  EXPECT_TRUE(Entries(IniList).empty());
}

TEST_F(Sections, UnterminatedLastSectionTakesTheEofLineAsAnEntry) {
  int open = LoadSectionText("[ini]\n-\n[delfiles_user]\nsave\\*.*\n[EOF]\n");
  EXPECT_EQ(open, kSectionDelfilesUser);
  EXPECT_STREQ(SectionName(open), "delfiles_user");
  EXPECT_EQ(Entries(DelfilesUserList), (Lines{"save\\*.*", "[EOF]"}));
}

TEST_F(Sections, EofLineEndsThePass) {
  // Inside a section: the pass ends with the section still open.
  EXPECT_EQ(LoadSectionText("[reg]\nA=1\nEOF\n-\n[ini]\nB\n-\n"), kSectionReg);
  EXPECT_EQ(Entries(RegList), Lines{"A=1"});
  EXPECT_TRUE(Entries(IniList).empty());
  // Outside: whatever follows, even an open section, is never seen.
  EXPECT_EQ(LoadSectionText("EOFX\n[delfiles]\nx\n"), kSectionNone);
  EXPECT_TRUE(Entries(DelfilesList).empty());
}

TEST_F(Sections, NamesInTheMessage) {
  EXPECT_STREQ(SectionName(kSectionDelfiles), "delfiles");
  EXPECT_STREQ(SectionName(kSectionDelfilesUser), "delfiles_user");
  EXPECT_STREQ(SectionName(kSectionIni), "ini");
  EXPECT_STREQ(SectionName(kSectionReg), "reg");
  EXPECT_STREQ(SectionName(kSectionDelfilesAfterinst), "delfiles_afterinst");
  EXPECT_EQ(LoadSectionText("[delfiles]\na\n"), kSectionDelfiles);
  EXPECT_EQ(LoadSectionText("-\n[ini]\n"), kSectionIni);
  EXPECT_EQ(LoadSectionText("[delfiles_afterinst]\n"), kSectionDelfilesAfterinst);
}

TEST_F(Sections, LongLineBecomesTwoEntries) {
  std::string line(600, 'p');
  EXPECT_EQ(LoadSectionText("[delfiles]\n" + line + "   \n-\n"), kSectionNone);
  EXPECT_EQ(Entries(DelfilesList), (Lines{std::string(511, 'p'), std::string(89, 'p')}));
}

struct Seen {
  int piece;
  std::string text;
  SectionLineKind kind;
  int header;
  int open;
  bool operator==(const Seen& o) const {
    return piece == o.piece && text == o.text && kind == o.kind && header == o.header &&
           open == o.open;
  }
};

void Record(void* context, const SectionLineSeen& line) {
  static_cast<std::vector<Seen>*>(context)->push_back(
      {line.piece, line.text, line.kind, line.header, line.open});
}

TEST_F(Sections, ObserverSeesEachLineWithTheSectionOpenBeforeItActs) {
  std::vector<Seen> seen;
  SectionObserver observer{Record, &seen};
  std::string text = "[ini]\na=1\n[reg]\n" + std::string(515, 'r') + "\n;c\n-\nEOF\n[ini]\n";
  EnvTextInput input;
  EnvTextInputInit(&input, text.data(), text.size());
  EXPECT_EQ(SectionListsRead(EnvTextSource(&input), &observer), kSectionNone);
  const int none = kSectionNone;
  EXPECT_EQ(seen, (std::vector<Seen>{
                      {0, "[ini]", kSectionLineHeader, kSectionIni, none},
                      {1, "a=1", kSectionLineText, none, kSectionIni},
                      {2, "[reg]", kSectionLineHeader, kSectionReg, kSectionIni},
                      {3, std::string(511, 'r'), kSectionLineText, none, kSectionReg},
                      {4, "rrrr", kSectionLineText, none, kSectionReg},
                      {5, ";c", kSectionLineIgnored, none, kSectionReg},
                      {6, "-", kSectionLineClose, none, kSectionReg},
                      {7, "EOF", kSectionLineEnd, none, none},  // and nothing after it
                  }));
  EXPECT_EQ(Entries(RegList), (Lines{std::string(511, 'r'), "rrrr"}));
}

TEST_F(Sections, ReadTrimmedLineCutsOnlyTrailingBlanks) {
  std::string text = " \tx y \t\r\n\x01\x02\n";
  EnvTextInput input;
  EnvTextInputInit(&input, text.data(), text.size());
  char buffer[kEnvLineSize];
  ASSERT_NE(ReadTrimmedLine(buffer, EnvTextSource(&input)), nullptr);
  EXPECT_STREQ(buffer, " \tx y");
  ASSERT_NE(ReadTrimmedLine(buffer, EnvTextSource(&input)), nullptr);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(ReadTrimmedLine(buffer, EnvTextSource(&input)), nullptr);
}

}  // namespace
