// `updpack build --base` and `updpack apply`, run as a game maker runs them:
// the update made from two versions turns a copy of the old one into the new
// one, and apply changes nothing when it fails.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "unit/payload/payload_writer.h"
#include "unit/updpack/updpack_test_util.h"
#include "updpack/cmd/apply_run.h"
#include "updpack/fsys/fsys_txn.h"

namespace {

namespace fs = std::filesystem;
using testupd::ReadBytes;
using testupd::RunResult;
using testupd::RunUpdpack;
using testupd::TempDir;
using testupd::WriteBytes;

// "セーブ" in UTF-8 on disk.
const char kSaveUtf8[] = "\xe3\x82\xbb\xe3\x83\xbc\xe3\x83\x96";

// Every name below a folder with its kind, bytes and modification time.
std::map<std::string, std::string> Snapshot(const std::string& root) {
  return testupd::TreeSnapshot(root, true);
}

struct Versions {
  TempDir dir;
  std::string old = dir / "1.01", fresh = dir / "1.02", stub = dir / "updater.exe";
  std::string update = dir / "update.exe", game = dir / "game";

  Versions() {
    WriteBytes(stub, testupd::FakeStub());
    Both("game.exe", "the game");
    Both("data/same.arc", testupd::MixedData(300000, 1));
    Put(old, "data/changed.arc", testupd::MixedData(200000, 2));
    Put(fresh, "data/changed.arc", testupd::MixedData(200000, 3));  // same size, other bytes
    Put(old, "data/grown.arc", "short");
    Put(fresh, "data/grown.arc", "much longer now");
    Put(old, "old101.dat", "gone in 1.02");
    Put(old, std::string(kSaveUtf8) + "/gone.dat", "gone with its folder");
    Put(fresh, "new/deep/added.dat", "new in 1.02");
    Put(fresh, "install.env",
        "TITLEBAR Game\r\nINI_FILE game.ini\r\n[ini]\r\nVersion=102\r\n-\r\n"
        "[delfiles_afterinst]\r\ninstall.env\r\n-\r\n");
  }
  void Put(const std::string& root, const std::string& rel, const std::string& data,
           int64_t when = 1600000000) {
    WriteBytes(root + "/" + rel, data);
    testupd::SetMtime(root + "/" + rel, when, 0);
  }
  void Both(const std::string& rel, const std::string& data) {
    Put(old, rel, data);
    Put(fresh, rel, data);
  }
  RunResult Build(std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"build", "--stub", stub, "-o", update, "--base", old};
    args.insert(args.end(), more.begin(), more.end());
    args.push_back(fresh);
    return RunUpdpack(args);
  }
  void CopyOld() { testupd::CopyTreeWithTimes(old, game); }
};

TEST(BaseTool, TheUpdateTurnsTheOldVersionIntoTheNewOne) {
  Versions v;
  RunResult r = v.Build({"-v"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("new              2 files"), std::string::npos) << r.out;  // added, env
  EXPECT_NE(r.out.find("changed          2 files"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("unchanged        2 files"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("deleted          2 files"), std::string::npos) << r.out;
  testupd::ParsedUpdate u = testupd::ParseUpdate(ReadBytes(v.update));
  ASSERT_TRUE(u.ok);
  EXPECT_EQ(
      testupd::Names(u),
      (std::vector<std::string>{"install.env", "data\\", "new\\", "new\\deep\\",
                                "data\\changed.arc", "data\\grown.arc", "new\\deep\\added.dat"}));
  // The packed install.env, not the maker's, names what goes.
  EXPECT_NE(u.entries[0].data.find("install.env\r\nold101.dat\r\n\x83\x5a\x81\x5b\x83\x75"
                                   "\\gone.dat\r\n\x83\x5a\x81\x5b\x83\x75\\\r\n-\r\n"),
            std::string::npos)
      << u.entries[0].data;
  EXPECT_EQ(ReadBytes(v.fresh + "/install.env").find("old101"), std::string::npos);
  RunResult list = RunUpdpack({"list", v.update});
  EXPECT_NE(list.out.find("delete            -            -  -                    old101.dat"),
            std::string::npos)
      << list.out;
  // check reads the packed install.env of an update: the added lines show.
  RunResult check = RunUpdpack({"check", v.update});
  EXPECT_EQ(check.code, 0) << check.err;
  EXPECT_NE(check.out.find("old101.dat"), std::string::npos) << check.out;
  EXPECT_EQ(RunUpdpack({"check", "--from-utf8", v.update}).code, 2);

  v.CopyOld();
  RunResult a = RunUpdpack({"apply", v.update, v.game});
  ASSERT_EQ(a.code, 0) << a.err;
  EXPECT_NE(a.out.find("key \"Version\" = \"102\""), std::string::npos) << a.out;
  std::map<std::string, std::string> want = Snapshot(v.fresh);
  want.erase("install.env");  // the maker's own line deletes it
  EXPECT_EQ(Snapshot(v.game), want);
}

TEST(BaseTool, DryRunWritesNothingAndTheSameFolderIsRefused) {
  Versions v;
  RunResult r = v.Build({"--dry-run"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("plan:"), std::string::npos);
  EXPECT_FALSE(fs::exists(v.update));
  RunResult same =
      RunUpdpack({"build", "--stub", v.stub, "-o", v.update, "--base", v.fresh + "/.", v.fresh});
  EXPECT_EQ(same.code, 1);
  EXPECT_NE(same.err.find("names the folder being packed"), std::string::npos) << same.err;
  // Equal contents in two folders: an update of its own files only.
  fs::copy(v.fresh, v.dir / "copy", fs::copy_options::recursive);
  RunResult equal =
      RunUpdpack({"build", "--stub", v.stub, "-o", v.update, "--base", v.dir / "copy", v.fresh});
  EXPECT_EQ(equal.code, 0) << equal.err;
  EXPECT_NE(equal.err.find("no file differs"), std::string::npos) << equal.err;
  EXPECT_EQ(testupd::Names(testupd::ParseUpdate(ReadBytes(v.update))),
            std::vector<std::string>{"install.env"});
}

TEST(BaseTool, ChangesNoUpdateCanMakeAreRefused) {
  Versions v;
  v.Put(v.old, "was_file", "x");
  v.Put(v.fresh, "was_file/now_in", "y");
  RunResult r = v.Build();
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("cannot replace a file with a folder"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(v.update));

  Versions w;
  w.Put(w.old, "-dash.dat", "the section reader would close the section");
  RunResult d = w.Build();
  EXPECT_EQ(d.code, 1);
  EXPECT_NE(d.err.find("cannot be deleted by the update"), std::string::npos) << d.err;

  // A link in the old version that leaves it, as build treats links.
  Versions l;
  fs::create_symlink(l.dir / "updater.exe", l.old + "/outside");
  EXPECT_EQ(l.Build().code, 1);
}

TEST(BaseTool, FilesOver2GiBAreRefusedOnlyWhenPacked) {
  Versions v;
  auto sparse = [](const std::string& path, off_t size) {
    WriteBytes(path, "");
    ASSERT_EQ(truncate(path.c_str(), size), 0);
  };
  sparse(v.old + "/huge.arc", 3ll << 30);
  sparse(v.fresh + "/huge.arc", 3ll << 30);
  RunResult same = v.Build();  // equal: left out, no limit reached
  EXPECT_EQ(same.code, 0) << same.err;
  sparse(v.fresh + "/huge.arc", (3ll << 30) + 1);
  RunResult grown = v.Build({"-f"});
  EXPECT_EQ(grown.code, 1);
  EXPECT_NE(grown.err.find("below 2 GiB"), std::string::npos) << grown.err;
}

// A commit whose nth rename fails: everything done before it goes back.
int g_moves = 0, g_failAt = 0;
TxnFs g_real;
int FailingMove(void* c, const char* from, const char* to, bool replace) {
  if (++g_moves == g_failAt) return -1;
  return g_real.move(c, from, to, replace);
}

TEST(BaseTool, ApplyChangesNothingWhenItFails) {
  Versions v;
  ASSERT_EQ(v.Build().code, 0);
  v.CopyOld();
  std::map<std::string, std::string> before = Snapshot(v.game);

  // A damaged last stream: nothing was replaced yet.
  std::string bytes = ReadBytes(v.update);
  std::string bad = v.dir / "bad.exe";
  std::string damaged = bytes;
  damaged[damaged.size() - 12] ^= 0x55;  // inside the last entry's stream
  WriteBytes(bad, damaged);
  RunResult r = RunUpdpack({"apply", bad, v.game});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("nothing changed"), std::string::npos) << r.err;
  EXPECT_EQ(Snapshot(v.game), before);

  // A read-only file in the way fails it as it fails the updater.
  std::string grown = v.game + "/data/grown.arc";
  fs::permissions(grown, fs::perms::owner_read | fs::perms::group_read);
  before = Snapshot(v.game);
  RunResult ro = RunUpdpack({"apply", v.update, v.game});
  EXPECT_EQ(ro.code, 1);
  EXPECT_NE(ro.err.find("read-only"), std::string::npos) << ro.err;
  EXPECT_EQ(Snapshot(v.game), before);
  fs::permissions(grown, fs::perms::owner_write, fs::perm_options::add);

  // Failures in the middle of the renames, at every step.
  g_real = FsTxnTable(nullptr);
  TxnFs failing = g_real;
  failing.move = FailingMove;
  for (g_failAt = 1; g_failAt <= 3; ++g_failAt) {
    g_moves = 0;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(ApplyRun(v.update, v.game, &failing), 1) << g_failAt;
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(Snapshot(v.game), before) << "failed at rename " << g_failAt;
  }
  // And it still applies whole afterwards.
  g_failAt = 0;
  testing::internal::CaptureStdout();
  EXPECT_EQ(ApplyRun(v.update, v.game, &failing), 0);
  testing::internal::GetCapturedStdout();
  EXPECT_GT(g_moves, 3);
  EXPECT_EQ(ReadBytes(v.game + "/data/grown.arc"), "much longer now");
}

// A run that dies among its renames and cannot put them back (every rename
// from then on fails, as after a crash): the journal stays, and the next
// apply puts the old files back first, then updates as usual.
int StuckMove(void* c, const char* from, const char* to, bool replace) {
  if (++g_moves >= g_failAt) return -1;
  return g_real.move(c, from, to, replace);
}

TEST(BaseTool, ApplyRecoversWhatAKilledRunLeft) {
  Versions v;
  ASSERT_EQ(v.Build().code, 0);
  v.CopyOld();
  std::map<std::string, std::string> before = Snapshot(v.game);
  g_real = FsTxnTable(nullptr);
  TxnFs stuck = g_real;
  stuck.move = StuckMove;
  g_moves = 0;
  g_failAt = 3;
  testing::internal::CaptureStderr();
  EXPECT_EQ(ApplyRun(v.update, v.game, &stuck), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("could not put the folder back"),
            std::string::npos);
  ASSERT_TRUE(fs::exists(v.game + "/~updtxn/journal"));
  EXPECT_NE(Snapshot(v.game), before);  // half done: what a kill leaves

  RunResult r = RunUpdpack({"apply", v.update, v.game});
  ASSERT_EQ(r.code, 0) << r.err;
  std::map<std::string, std::string> want = Snapshot(v.fresh);
  want.erase("install.env");
  EXPECT_EQ(Snapshot(v.game), want);
}

TEST(BaseTool, ApplyFollowsNoLinkAndDeletesNothingOutside) {
  Versions v;
  // A hand-made update whose install.env reaches out, and a file in "data".
  testpayload::Writer w;
  w.File("install.env",
         "TITLEBAR t\r\n[delfiles_afterinst]\r\n..\\*.*\r\n\\*.*\r\nkeep\\*.*\r\n"
         "Loose.DAT\r\n-\r\n");
  w.Folder("data\\");
  w.File("data\\x.dat", "x");
  std::string update = v.dir / "hand.exe";
  WriteBytes(update, w.Finish(testupd::FakeStub()));
  v.Put(v.dir / "", "outside.txt", "must stay");
  v.Put(v.dir / "", "elsewhere/keep.txt", "must stay");

  fs::create_directories(v.game);
  fs::create_symlink(v.dir / "elsewhere", v.game + "/data");
  std::map<std::string, std::string> before = Snapshot(v.game);
  RunResult r = RunUpdpack({"apply", update, v.game});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("is a symbolic link"), std::string::npos) << r.err;
  EXPECT_EQ(Snapshot(v.game), before);
  EXPECT_FALSE(fs::exists(v.dir / "elsewhere/x.dat"));

  fs::remove(v.game + "/data");
  fs::create_symlink(v.dir / "elsewhere", v.game + "/keep");
  v.Put(v.game, "loose.dat", "deleted: the line's case does not matter");
  v.Put(v.game, "sibling.dat", "stays: no line names it");
  RunResult ok = RunUpdpack({"apply", update, v.game});
  ASSERT_EQ(ok.code, 0) << ok.err;
  EXPECT_TRUE(fs::exists(v.dir / "outside.txt"));
  EXPECT_TRUE(fs::exists(v.dir / "elsewhere/keep.txt"));  // reached through a link: skipped
  EXPECT_FALSE(fs::exists(v.game + "/loose.dat"));
  EXPECT_TRUE(fs::exists(v.game + "/sibling.dat"));
  EXPECT_EQ(ReadBytes(v.game + "/data/x.dat"), "x");

  // A name that leaves the folder is a damaged update: nothing is written.
  testpayload::Writer evil;
  evil.File("a.dat", "a");
  evil.File("..\\evil.dat", "e");
  WriteBytes(update, evil.Finish(testupd::FakeStub()));
  before = Snapshot(v.game);
  EXPECT_EQ(RunUpdpack({"apply", update, v.game}).code, 1);
  EXPECT_EQ(Snapshot(v.game), before);
  EXPECT_FALSE(fs::exists(v.dir / "evil.dat"));
}

TEST(BaseTool, ApplyFindsNamesWithoutRegardToCase) {
  Versions v;
  v.Put(v.old, "Data.ARC", "one");
  v.Put(v.fresh, "data.arc", "two");
  ASSERT_EQ(v.Build().code, 0);
  v.CopyOld();
  RunResult r = RunUpdpack({"apply", v.update, v.game});
  ASSERT_EQ(r.code, 0) << r.err;
  // Replaced in place, under the spelling the folder had (Windows keeps it).
  EXPECT_EQ(ReadBytes(v.game + "/Data.ARC"), "two");
  EXPECT_FALSE(fs::exists(v.game + "/data.arc"));
}

}  // namespace
