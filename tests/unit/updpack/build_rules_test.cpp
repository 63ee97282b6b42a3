#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/text.h"
#include "updpack/archive/pack_order.h"
#include "updpack/build/build_names.h"
#include "updpack/build/build_order.h"

namespace {

BuildEntry File(const std::string& name, uint64_t size = 10) {
  BuildEntry e;
  e.name = name;
  e.shown = "src/" + name;
  e.size = size;
  return e;
}

BuildEntry Folder(const std::string& name) {
  BuildEntry e = File(name, 0);
  e.isFolder = true;
  return e;
}

PayloadEntry Entry(const std::string& name, bool folder = false) {
  PayloadEntry e{};
  e.nameLength = static_cast<uint32_t>(name.size() + 1);
  CopyText(e.name, sizeof e.name, name.c_str());
  e.size = folder ? kPayloadFolderSize : 1;
  return e;
}

std::vector<std::string> Order(std::vector<BuildEntry> entries, int* problems) {
  *problems = BuildOrder(&entries);
  std::vector<std::string> names;
  for (const BuildEntry& e : entries) names.push_back(e.name);
  return names;
}

TEST(BuildNames, RefusesWhatWindowsCannotCreate) {
  for (const char* bad :
       {"CON", "con.txt", "Nul.tar.gz",  "COM1", "lpt9.dat", "aux .txt",  "CONIN$",
        "a.",  "a ",      "readme.txt.", "a:b",  "a|b",      "a?b",       "a*b",
        "a<b", "a>b",     "a\"b",        "a\\b", "a/b",      "tab\there", "\x83"}) {
    EXPECT_NE(BuildNamePartProblem(bad), nullptr) << bad;
  }
  // Lookalikes of device names are ordinary names; "\x83\x5c" and "\x83\x7c"
  // are double-byte characters whose second byte has the code of "\" or "|".
  for (const char* good : {"CONSOLE", "com10", "nul_", "lpt", ".hidden", " lead", "a.b.c",
                           "\x83\x5c.txt", "\x83\x7c", "\x83\x5c\x83\x5c"}) {
    EXPECT_EQ(BuildNamePartProblem(good), nullptr) << good;
  }
}

TEST(BuildNames, FoldsCaseLikeTheUpdaterIncludingFullWidthCapitals) {
  EXPECT_EQ(BuildFoldCase("ReadMe.TXT"), "readme.txt");
  // Full-width A B C (0x8260...) become full-width a b c (0x8281...).
  EXPECT_EQ(BuildFoldCase("\x82\x60\x82\x61\x82\x62"), "\x82\x81\x82\x82\x82\x83");
  // The second byte of a double-byte character is no capital letter.
  EXPECT_EQ(BuildFoldCase("\x83\x41"), "\x83\x41");
}

TEST(BuildNames, FindsNamesEqualButForLetterCaseAmongSiblingsOnly) {
  int problems;
  testing::internal::CaptureStderr();
  problems = BuildCheckNames({File("Readme.txt"), File("readme.TXT"), File("other.txt")});
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(problems, 1);
  EXPECT_NE(err.find("src/readme.TXT"), std::string::npos) << err;
  EXPECT_NE(err.find("src/Readme.txt"), std::string::npos) << err;

  testing::internal::CaptureStderr();
  problems = BuildCheckNames({File("\x82\x60.dat"), File("\x82\x81.dat")});  // full-width A and a
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(problems, 1);

  // Two folders that differ in case collide once; their files are not counted again.
  testing::internal::CaptureStderr();
  problems =
      BuildCheckNames({Folder("Data\\"), Folder("data\\"), File("Data\\a"), File("data\\a")});
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(problems, 1);

  EXPECT_EQ(BuildCheckNames({File("a\\x"), File("b\\x"), Folder("a\\"), Folder("b\\")}), 0);
}

TEST(BuildNames, KeepsNamesAndSizesWithinTheFormatsLimits) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(BuildCheckNames({File(std::string(256, 'n'))}), 0);  // fits behind "C:\"
  std::string warned = testing::internal::GetCapturedStderr();
  EXPECT_NE(warned.find("warning"), std::string::npos);
  EXPECT_NE(warned.find("longer than 2 bytes"), std::string::npos) << warned;

  testing::internal::CaptureStderr();
  EXPECT_EQ(BuildCheckNames({File(std::string(257, 'n'))}), 1);
  EXPECT_EQ(BuildCheckNames({File("big.arc", 0x80000000ull)}), 1);
  EXPECT_EQ(BuildCheckNames({File("..\\up.txt")}), 1);  // never from a folder scan, refused anyway
  testing::internal::GetCapturedStderr();

  testing::internal::CaptureStderr();
  EXPECT_EQ(BuildCheckNames({File(std::string(150, 'n')), File("max.arc", 0x7FFFFFFFull)}), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(BuildOrder, PutsStartupFilesFirstThenFoldersThenTheRest) {
  int problems;
  std::vector<std::string> order =
      Order({File("update.arc"), File("DirectX\\sub\\readme.txt"), Folder("data\\"),
             File("DirectX\\dxsetup.exe"), File("readme.txt"), Folder("DirectX\\sub\\"),
             File("data\\manual.txt"), Folder("DirectX\\"), File("install.env"),
             File("Insttscr.RCT"), File("DirectX\\sub\\a.cab"), File("notes.txt.bak")},
            &problems);
  EXPECT_EQ(problems, 0);
  EXPECT_EQ(order, (std::vector<std::string>{
                       "Insttscr.RCT", "install.env", "notes.txt.bak", "readme.txt", "DirectX\\",
                       "DirectX\\sub\\", "data\\", "DirectX\\dxsetup.exe", "DirectX\\sub\\a.cab",
                       "DirectX\\sub\\readme.txt", "data\\manual.txt", "update.arc"}));
  // The updater's own reading of the order agrees.
  OrderCheck check;
  for (const std::string& name : order) {
    bool folder = name.back() == '\\';
    EXPECT_EQ(OrderCheckEntry(&check, Entry(name, folder)), nullptr) << name;
  }
}

TEST(BuildOrder, RefusesStartupNamesInFoldersWhenNoEntryEndsTheWalk) {
  int problems;
  testing::internal::CaptureStderr();
  Order({Folder("docs\\"), File("docs\\readme.txt"), File("game.arc")}, &problems);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(problems, 1);
  EXPECT_NE(err.find("src/docs\\readme.txt"), std::string::npos) << err;

  // A folder whose own name holds the pattern makes its files match too.
  testing::internal::CaptureStderr();
  Order({Folder("old.txt\\"), File("old.txt\\a.dat")}, &problems);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(problems, 1);

  // Any second-level folder ends the walk before every file in a folder.
  Order({Folder("docs\\"), File("docs\\readme.txt"), Folder("zz\\"), Folder("zz\\deep\\")},
        &problems);
  EXPECT_EQ(problems, 0);
}

TEST(OrderCheck, NamesEachBrokenRule) {
  {
    OrderCheck c;
    EXPECT_NE(OrderCheckEntry(&c, Entry("DirectX\\dx.dll")), nullptr);  // folder entry missing
  }
  {
    OrderCheck c;
    EXPECT_NE(OrderCheckEntry(&c, Entry("A\\B\\", true)), nullptr);  // parent folder missing
  }
  {
    OrderCheck c;
    EXPECT_EQ(OrderCheckEntry(&c, Entry("DirectX\\", true)), nullptr);
    EXPECT_NE(OrderCheckEntry(&c, Entry("DirectX\\Readme.TXT")),
              nullptr);  // start-up cannot write it
  }
  {
    OrderCheck c;
    EXPECT_EQ(OrderCheckEntry(&c, Entry("DirectX\\", true)), nullptr);
    EXPECT_EQ(OrderCheckEntry(&c, Entry("DirectX\\sub\\", true)), nullptr);
    EXPECT_EQ(OrderCheckEntry(&c, Entry("DirectX\\Readme.TXT")), nullptr);  // after the walk: fine
    EXPECT_NE(OrderCheckEntry(&c, Entry("install.env")), nullptr);  // too late for the start-up
  }
  {
    OrderCheck c;
    EXPECT_EQ(OrderCheckEntry(&c, Entry("a.dat")), nullptr);
    EXPECT_NE(OrderCheckEntry(&c, Entry("A.DAT")), nullptr);  // the same name twice
  }
  {
    OrderCheck c;  // folders are matched without regard to letter case, as Windows does
    EXPECT_EQ(OrderCheckEntry(&c, Entry("Data\\", true)), nullptr);
    EXPECT_EQ(OrderCheckEntry(&c, Entry("DATA\\x.bin")), nullptr);
  }
}

}  // namespace
