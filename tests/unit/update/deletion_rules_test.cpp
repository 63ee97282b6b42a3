// Which deletion lines stay inside the game's folder: the limits of each
// rule, both separators, and double-byte names whose second byte is 0x5C.
#include "update/deletion_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool Inside(const std::string& line) { return DeletionLineStaysInside(line.c_str(), IsLeadByte); }

// No lead bytes at all: every 0x5C is a separator.
bool NoLead(unsigned char) { return false; }

TEST(DeletionRules, LinesBelowTheFolderStayInside) {
  for (const char* line : {"", "readme.txt", "*.*", "save\\*.*", "a\\b\\*.txt", "a/b/c.dat", ".\\x",
                           "x.", "a..b", "..a\\x", "a\\b..", ". \\x", "sub\\.\\*.*"}) {
    EXPECT_TRUE(Inside(line)) << line;
  }
}

TEST(DeletionRules, ClimbingComponentsAnywhereWithEitherSeparator) {
  for (const char* line :
       {"..", "..\\*.*", "../*.*", "a\\..\\..\\x", "a/../../x", "save\\..", "save/..", "a\\..\\b",
        "... \\x", ".. \\x", ". .\\x", "a\\...", "a/..\\b"}) {
    EXPECT_FALSE(Inside(line)) << line;
  }
}

TEST(DeletionRules, DrivesRootsAndStreams) {
  for (const char* line : {"C:\\windows\\*.*", "c:x.txt", "a\\C:\\x", "file.txt:stream", "\\*.*",
                           "/*.*", "\\\\server\\share\\x", "  \\*.*", "\t/x"}) {
    EXPECT_FALSE(Inside(line)) << line;
  }
}

TEST(DeletionRules, DoubleByteSecondByteIsNoSeparator) {
  // ソ is 0x83 0x5C: read as a separator, "ソ..\x" would have a ".." part
  // and "ソ" alone at the start a leading backslash.
  const std::string so = "\x83\x5C";
  EXPECT_TRUE(Inside(so + "..\\x.txt"));
  EXPECT_TRUE(Inside(so + "\\*.*"));
  EXPECT_FALSE(DeletionLineStaysInside((so + "..\\x.txt").c_str(), NoLead));
  // A lead byte never hides the byte after the end of the text, nor a
  // separator that follows its pair.
  EXPECT_TRUE(Inside("x\x83"));
  EXPECT_FALSE(Inside(so + "\\..\\x"));
  EXPECT_FALSE(
      Inside("\x83\x40"
             ":x"));
}

}  // namespace
