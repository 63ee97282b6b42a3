// The manual route's text rules, with the Shift-JIS lead-byte table.
#include "target/folder_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Shift-JIS characters whose second byte is 0x5C, and one whose second byte
// lies in the lead-byte range.
#define HYOU "\x95\x5c"  // 表
#define SO "\x83\x5c"    // ソ
#define A "\x88\x9f"     // 亜

const TargetFolderRules kPlain = {"C:\\WINDOWS", 0, nullptr, "Title"};
const TargetFolderRules kMakeFol = {"C:\\WINDOWS", 1, "Maker", "Title"};

struct Normalised {
  TargetFolderCheck check;
  std::string folder;
};

Normalised Normalise(const std::string& entry, const TargetFolderRules& rules = kPlain) {
  char folder[kTargetFolderSize];
  snprintf(folder, sizeof folder, "%s", entry.c_str());
  TargetFolderCheck check = TargetNormalise(folder, rules, IsLeadByte);
  return {check, folder};
}

void ExpectAccepted(const std::string& entry, const std::string& result,
                    const TargetFolderRules& rules = kPlain) {
  Normalised n = Normalise(entry, rules);
  EXPECT_EQ(n.check, kTargetFolderOk) << entry;
  EXPECT_EQ(n.folder, result) << entry;
}

void ExpectRefused(const std::string& entry, TargetFolderCheck why,
                   const TargetFolderRules& rules = kPlain) {
  Normalised n = Normalise(entry, rules);
  EXPECT_EQ(n.check, why) << entry;
  EXPECT_EQ(n.folder, entry) << "a refused entry is left as it was";
}

TEST(TargetNormalise, SlashesTrailingBackslashAndDrive) {
  ExpectAccepted("D:/Games/Title", "D:\\Games\\Title");
  ExpectAccepted("D:\\Games\\Title\\", "D:\\Games\\Title");
  ExpectAccepted("D:Games", "D:\\Games");
  ExpectAccepted("Games\\Title", "C:\\Games\\Title");
  ExpectAccepted("\\Games\\Title", "C:\\Games\\Title");
  // A Windows folder without a drive adds nothing.
  ExpectAccepted("Games", "Games", {"\\WINDOWS", 0, nullptr, "Title"});
}

TEST(TargetNormalise, RefusesNetworkPathsAndRoots) {
  for (const char* entry : {"\\\\server\\share\\game", "//server/share/game", "D:\\Games\\\\Title",
                            "D:\\" A "\\\\Title"}) {
    Normalised n = Normalise(entry);
    EXPECT_EQ(n.check, kTargetFolderNetwork) << entry;
  }
  ExpectRefused("D:\\", kTargetFolderRoot);
  ExpectRefused("D:", kTargetFolderRoot);
  ExpectRefused("", kTargetFolderRoot);  // the Windows drive's root
  ExpectRefused("/", kTargetFolderRoot);
}

TEST(TargetNormalise, A0x5CSecondByteIsNoBackslash) {
  ExpectAccepted("D:\\" HYOU "\\Game", "D:\\" HYOU "\\Game");
  ExpectAccepted("D:\\" HYOU, "D:\\" HYOU);
  ExpectAccepted("D:\\" SO, "D:\\" SO);
  ExpectAccepted("D:\\" SO "\\", "D:\\" SO);
  ExpectAccepted(HYOU, "C:\\" HYOU);
  // A trail byte in the lead-byte range does not hide the backslash after it.
  ExpectAccepted("D:\\" A "\\", "D:\\" A);
}

TEST(TargetNormalise, MakeFolCompletesTheEntryUnlessItNamesTheTitle) {
  ExpectAccepted("D:\\Games", "D:\\Games\\Maker\\Title", kMakeFol);
  // Any non-zero INSTMAKEFOL completes, not only 1.
  ExpectAccepted("D:\\Games", "D:\\Games\\Maker\\Title", {"C:\\WINDOWS", 2, "Maker", "Title"});
  ExpectAccepted("D:\\Games\\Title", "D:\\Games\\Title", kMakeFol);
  ExpectAccepted("D:\\", "D:\\Maker\\Title", kMakeFol);
  ExpectAccepted("", "C:\\Maker\\Title", kMakeFol);
  ExpectAccepted("D:\\Games", "D:\\Games\\Title", {"C:\\WINDOWS", 1, "", "Title"});
}

TEST(TargetNormalise, RefusesWhatOutgrowsTheFolderText) {
  std::string full = "D:\\" + std::string(kTargetFolderSize - 4, 'x');  // 259 bytes
  ExpectAccepted(full, full);
  ExpectRefused(full, kTargetFolderTooLong, kMakeFol);
  // 259 bytes once the colon gets its backslash; one more is too many.
  ExpectAccepted("D:" + std::string(256, 'x'), "D:\\" + std::string(256, 'x'));
  ExpectRefused("D:" + std::string(257, 'x'), kTargetFolderTooLong);
  ExpectRefused(std::string(257, 'x'), kTargetFolderTooLong);  // C: and C:\ in front
  ExpectAccepted(std::string(256, 'x'), "C:\\" + std::string(256, 'x'));
  std::string completion = "D:\\" + std::string(kTargetFolderSize - 1 - 3 - 12, 'x');
  ExpectAccepted(completion, completion + "\\Maker\\Title", kMakeFol);
  ExpectRefused(completion + "y", kTargetFolderTooLong, kMakeFol);
}

TEST(TargetSuggestion, ProgramFilesOnTheWindowsDrive) {
  char folder[kTargetFolderSize];
  ASSERT_EQ(TargetSuggestion(folder, kMakeFol, IsLeadByte), kTargetFolderOk);
  EXPECT_STREQ(folder, "C:\\Program Files\\Maker\\Title");
  ASSERT_EQ(TargetSuggestion(folder, kPlain, IsLeadByte), kTargetFolderOk);
  EXPECT_STREQ(folder, "C:\\Program Files\\Title");
  ASSERT_EQ(TargetSuggestion(folder, {"WINDOWS", 0, "", "Title"}, IsLeadByte), kTargetFolderOk);
  EXPECT_STREQ(folder, "Program Files\\Title");

  std::string longest(127, 'x');  // the longest INSTFOL and INSTTO values
  TargetFolderRules rules = {"C:\\WINDOWS", 0, longest.c_str(), longest.c_str()};
  EXPECT_EQ(TargetSuggestion(folder, rules, IsLeadByte), kTargetFolderTooLong);
  EXPECT_STREQ(folder, "");
  std::string fits(259 - 17 - 1 - 127, 'y');  // "C:\Program Files\" + fits + "\" + 127
  rules.instTo = fits.c_str();
  ASSERT_EQ(TargetSuggestion(folder, rules, IsLeadByte), kTargetFolderOk);
  EXPECT_EQ(std::string(folder).size(), 259u);
}

TEST(TargetCheckVersion, BothBoundsBelongToTheWindow) {
  EXPECT_EQ(TargetCheckVersion(999, 1000, 2000), kTargetVersionTooOld);
  EXPECT_EQ(TargetCheckVersion(1000, 1000, 2000), kTargetVersionOk);
  EXPECT_EQ(TargetCheckVersion(2000, 1000, 2000), kTargetVersionOk);
  EXPECT_EQ(TargetCheckVersion(2001, 1000, 2000), kTargetVersionTooNew);
  EXPECT_EQ(TargetCheckVersion(1, 0, 0), kTargetVersionTooNew);  // CHKREGVERHIGH absent
}

}  // namespace
