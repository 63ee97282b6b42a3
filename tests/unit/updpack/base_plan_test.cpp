// `build --base`: the plan from two versions, and the install.env that
// carries its deletions.
#include "updpack/build/base_plan.h"

#include <gtest/gtest.h>

#include "updpack/build/base_env.h"

namespace {

BaseItem File(const std::string& name, uint64_t size = 1, uint64_t time = 7) {
  BaseItem i;
  i.name = name;
  i.size = size;
  i.fileTime = time;
  return i;
}

BaseItem Folder(const std::string& name) {
  BaseItem i;
  i.name = name;
  i.isFolder = true;
  return i;
}

struct Planned {
  BasePlan plan;
  std::vector<std::string> packed;
};

// Contents are equal exactly where `same` names the new item.
Planned Plan(const std::vector<BaseItem>& old, const std::vector<BaseItem>& fresh,
             const std::vector<std::string>& same = {}, bool keepTimes = false) {
  Planned p;
  BaseMatchNames(old, fresh, &p.plan);
  std::vector<uint8_t> equal(fresh.size(), 0);
  for (size_t i = 0; i < fresh.size(); ++i) {
    for (const std::string& s : same) {
      if (s == fresh[i].name) {
        EXPECT_TRUE(BaseNeedsCompare(old, fresh, p.plan, i)) << s;
        equal[i] = 1;
      }
    }
  }
  BaseDecide(old, fresh, equal, keepTimes, &p.plan);
  for (size_t i = 0; i < fresh.size(); ++i)
    if (p.plan.packed[i]) p.packed.push_back(fresh[i].name);
  return p;
}

TEST(BasePlan, PacksNewAndChangedFilesWithTheirFoldersAndDeletesWhatIsGone) {
  Planned p = Plan({Folder("data\\"), File("data\\a.arc", 5), File("data\\b.arc"), Folder("keep\\"),
                    File("keep\\k.dat"), File("old.dat", 3)},
                   {Folder("data\\"), File("data\\a.arc", 6), File("data\\b.arc"), Folder("keep\\"),
                    File("keep\\k.dat"), Folder("new\\"), File("new\\n.dat")},
                   {"data\\b.arc", "keep\\k.dat"});
  EXPECT_EQ(p.packed, (std::vector<std::string>{"data\\", "data\\a.arc", "new\\", "new\\n.dat"}));
  EXPECT_EQ(p.plan.deletions, (std::vector<std::string>{"old.dat"}));
  EXPECT_EQ(p.plan.count[kBaseNew], 1u);
  EXPECT_EQ(p.plan.count[kBaseChanged], 1u);
  EXPECT_EQ(p.plan.count[kBaseSame], 2u);
  EXPECT_EQ(p.plan.deletedBytes, 3u);
  EXPECT_TRUE(p.plan.problems.empty());
}

TEST(BasePlan, SizesDecideBeforeContentsAndTimesOnlyWithKeepTimes) {
  std::vector<BaseItem> old = {File("a", 4, 1), File("b", 4, 1)};
  std::vector<BaseItem> fresh = {File("a", 5, 1), File("b", 4, 2)};
  BasePlan plan;
  BaseMatchNames(old, fresh, &plan);
  EXPECT_FALSE(BaseNeedsCompare(old, fresh, plan, 0));  // sizes differ: never read
  EXPECT_TRUE(BaseNeedsCompare(old, fresh, plan, 1));
  EXPECT_EQ(Plan(old, fresh, {"b"}).packed, (std::vector<std::string>{"a"}));
  EXPECT_EQ(Plan(old, fresh, {"b"}, true).packed, (std::vector<std::string>{"a", "b"}));
}

TEST(BasePlan, CaseOnlyRenameIsTheSameFileAndNoDeletion) {
  Planned p = Plan({File("Data.arc", 2)}, {File("data.arc", 2)}, {"data.arc"});
  EXPECT_TRUE(p.packed.empty());
  EXPECT_TRUE(p.plan.deletions.empty());
  ASSERT_EQ(p.plan.notes.size(), 1u);
  // Changed as well as renamed: packed, still not deleted (the deletion
  // would remove the new file on a case-blind folder).
  Planned q = Plan({File("Data.arc", 2)}, {File("data.arc", 3)});
  EXPECT_EQ(q.packed, (std::vector<std::string>{"data.arc"}));
  EXPECT_TRUE(q.plan.deletions.empty());
  // Full-width letters fold too.
  Planned w = Plan({File("\x82\x60.dat")}, {File("\x82\x81.dat")}, {"\x82\x81.dat"});
  EXPECT_TRUE(w.plan.deletions.empty());
}

TEST(BasePlan, FileToFolderAndBackAreRefused) {
  Planned p =
      Plan({File("x"), Folder("y\\"), File("y\\in")}, {Folder("x\\"), File("x\\in"), File("y")});
  ASSERT_EQ(p.plan.problems.size(), 2u);
  EXPECT_EQ(p.plan.problems[0].name, "x\\");
  EXPECT_EQ(p.plan.problems[1].name, "y");
}

TEST(BasePlan, EmptyFoldersAndFoldersThatGo) {
  Planned p = Plan({Folder("gone\\"), Folder("gone\\deep\\"), File("gone\\deep\\f"),
                    Folder("empty\\"), Folder("stays\\")},
                   {Folder("stays\\"), Folder("fresh\\")});
  // A new empty folder is made; one that exists is not packed.
  EXPECT_EQ(p.packed, (std::vector<std::string>{"fresh\\"}));
  // Files first, then the top-level folders, which the updater removes once empty.
  EXPECT_EQ(p.plan.deletions, (std::vector<std::string>{"gone\\deep\\f", "gone\\", "empty\\"}));
  ASSERT_EQ(p.plan.notes.size(), 1u);  // gone\deep\ stays: below the top level
  EXPECT_EQ(p.plan.notes[0].name, "gone\\deep\\");
}

TEST(BasePlan, StartupAndGeneratedFilesArePackedEvenWhenUnchanged) {
  BaseItem readme = File("readme.txt");
  readme.always = true;
  Planned p = Plan({File("readme.txt")}, {readme}, {"readme.txt"});
  EXPECT_EQ(p.packed, (std::vector<std::string>{"readme.txt"}));
  EXPECT_EQ(p.plan.count[kBaseSame], 1u);
}

TEST(BasePlan, NamesADeletionLineCannotSayAreRefused) {
  for (const char* name : {"-old.dat", ";x", "//x", "EOF.txt", "[ini]x", "x ", " x"}) {
    EXPECT_NE(BaseDeletionLineProblem(name), nullptr) << name;
    Planned p = Plan({File(name)}, {});
    EXPECT_EQ(p.plan.problems.size(), 1u) << name;
    EXPECT_TRUE(p.plan.deletions.empty()) << name;
  }
  // Such names lower down are fine: only the line's start is read so.
  EXPECT_EQ(BaseDeletionLineProblem("sub\\-old.dat"), nullptr);
  EXPECT_EQ(BaseDeletionLineProblem("[EOF]x"), nullptr);
  EXPECT_EQ(BaseDeletionLineProblem("\x95\x5c.dat"), nullptr);
}

std::string Added(const std::string& env, const std::vector<std::string>& lines) {
  std::string out, why;
  EXPECT_EQ(BaseAddDeletions(env, lines, &out, &why), 0) << why;
  return out;
}

TEST(BaseEnv, LinesGoAfterTheMakersInTheLastSection) {
  std::string env =
      "TITLEBAR t\r\n[delfiles_afterinst]\r\nfirst\r\n-\r\n[ini]\r\na=b\r\n-\r\n"
      "[delfiles_afterinst]\r\ninstall.env\r\n-\r\n[EOF]\r\n";
  EXPECT_EQ(Added(env, {"old.dat", "gone\\"}),
            "TITLEBAR t\r\n[delfiles_afterinst]\r\nfirst\r\n-\r\n[ini]\r\na=b\r\n-\r\n"
            "[delfiles_afterinst]\r\ninstall.env\r\nold.dat\r\ngone\\\r\n-\r\n[EOF]\r\n");
  // A section ended by the next header takes them before that header.
  EXPECT_EQ(Added("[delfiles_afterinst]\nx\n[ini]\n-\n", {"y"}),
            "[delfiles_afterinst]\nx\ny\n[ini]\n-\n");
}

TEST(BaseEnv, ANewSectionGoesBeforeTheEndOfThePass) {
  EXPECT_EQ(Added("TITLEBAR t\r\n", {"a"}), "TITLEBAR t\r\n[delfiles_afterinst]\r\na\r\n-\r\n");
  EXPECT_EQ(Added("TITLEBAR t", {"a"}), "TITLEBAR t\n[delfiles_afterinst]\na\n-\n");
  // "EOF" ends the section pass; "[EOF]" does not; 0x1A ends the file.
  EXPECT_EQ(Added("K v\nEOF\n[delfiles_afterinst]\nz\n-\n", {"a"}),
            "K v\n[delfiles_afterinst]\na\n-\nEOF\n[delfiles_afterinst]\nz\n-\n");
  EXPECT_EQ(Added("K v\n\x1a[ini]\n", {"a"}), "K v\n[delfiles_afterinst]\na\n-\n\x1a[ini]\n");
}

TEST(BaseEnv, RefusesAnOpenSectionAndKeyLinesPushedPastTheReader) {
  std::string out, why;
  EXPECT_NE(BaseAddDeletions("[delfiles_afterinst]\nx\n", {"a"}, &out, &why), 0);
  EXPECT_NE(BaseAddDeletions("[delfiles_afterinst]\nx\nEOF\n-\n", {"a"}, &out, &why), 0);
  // 396 lines, the section, then a key line at line 399: two more lines put it at 401.
  std::string env(396, '\n');
  env += "[delfiles_afterinst]\n-\nKEY value\n";
  EXPECT_EQ(BaseAddDeletions(env, {"a"}, &out, &why), 0) << why;  // line 400: still read
  EXPECT_NE(BaseAddDeletions(env, {"a", "b"}, &out, &why), 0);
  EXPECT_NE(why.find("line 399"), std::string::npos) << why;
  // Key lines after "[EOF]" are not read anyway.
  std::string late(396, '\n');
  late += "[delfiles_afterinst]\n-\n[EOF]\nKEY value\n";
  EXPECT_EQ(BaseAddDeletions(late, {"a", "b"}, &out, &why), 0) << why;
}

}  // namespace
