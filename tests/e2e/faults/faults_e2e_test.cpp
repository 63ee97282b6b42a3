// Faults a player meets during an update, each under the real updater.exe: a
// drive that fills, a file held open by the running game, a file name taken
// by a folder (Wine running as root writes read-only files all the same), a
// payload cut short on disk or damaged in its last file, a game folder too
// long for the update's paths, a temp path that cannot be read, the updater
// killed at any moment, two updates of one game at once, deletion lines that
// point outside the game; and a signed update that runs to its end. And an
// update built with --base from two versions, which must make the new one. After
// every failure: the one message, exit -1, no work folder, nothing written
// outside the target folder, and the game's folder as it was: the same names,
// bytes and times.
//
// faults_wine_test.sh prepares what only Linux can: UPD_FULL_DIR, a small
// tmpfs (the drive that fills), and UPD_SIGNED_UPDATE, an update signed with
// osslsigncode. Without them those two cases are skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "e2e/driver/uidriver.h"
#include "e2e/faults/game_folder.h"
#include "win/common/temp_folder.h"

namespace {

using namespace gamefolder;

// The game's files before the update: a.dat, big.dat and c.dat are replaced
// by the update, in that order; keep.txt is not in it.
const std::map<std::string, std::string> kOld = {
    {"a.dat", "old a"}, {"big.dat", "old big"}, {"c.dat", "old c"}, {"keep.txt", "keep"}};

class FaultE2e : public ::testing::Test {
 protected:
  void SetUp() override { before_ = WorkFolders(); }
  void TearDown() override {
    for (const std::string& f : WorkFolders()) {
      if (!before_.count(f)) {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        RemoveTree(temp + f);
      }
    }
  }

  // The update's input folder: install.env, a.dat, big.dat and c.dat, the
  // two folders; `more` may add files before it is packed.
  std::string Input(const std::string& title, size_t bigSize, const std::string& sections = "") {
    std::string input = temp_ / ("in-" + title);
    CreateDirectoryA(input.c_str(), nullptr);
    WriteFileBytes(input + "\\install.env", Env(title, sections));
    WriteFileBytes(input + "\\a.dat", "new a");
    WriteFileBytes(input + "\\big.dat", Noise(bigSize));
    WriteFileBytes(input + "\\c.dat", "new c");
    // Folders come before the files, and a second-level one ends the
    // start-up walk there: a cut in big.dat is met by the copy, not the start.
    CreateDirectoryA((input + "\\z").c_str(), nullptr);
    CreateDirectoryA((input + "\\z\\z").c_str(), nullptr);
    return input;
  }

  std::string Pack(const std::string& title, size_t bigSize, const std::string& sections = "") {
    return PackInput(title, Input(title, bigSize, sections));
  }

  std::string PackInput(const std::string& title, const std::string& input) {
    std::string exe = temp_ / (title + ".exe");
    // --ignore-check: some cases carry lines that the check refuses on purpose.
    EXPECT_EQ(Updpack("build -q -j 1 --ignore-check -o \"" + exe + "\" \"" + input + "\""), 0)
        << "updpack build";
    return exe;
  }

  // Runs updpack.exe with the arguments; its exit code.
  static int Updpack(const std::string& args) {
    DrvProcess run;
    DrvGuard guard{&run};
    if (!DrvStart(&run, WinPath(UPD_BIN_DIR) + "\\updpack.exe", args)) return 0xBAD;
    int code = 0xBAD;
    EXPECT_TRUE(DrvWaitExit(&run, &code, 120000));
    return code;
  }

  // A folder of its own that holds only the game's folder; its listing shows
  // whatever an update writes beside the target.
  std::string GameFolder(const std::string& title) {
    std::string around = temp_ / ("around-" + title);
    CreateDirectoryA(around.c_str(), nullptr);
    return around + "\\game";
  }

  // The game installed in folder (made, with the old files) under the title.
  static void Install(const std::string& title, const std::string& folder) {
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const auto& [name, bytes] : kOld) WriteFileBytes(folder + "\\" + name, bytes);
    RegisterGame(title, folder);
  }

  // Runs the update of exe from its menu up to the failure message; the exit code.
  int RunToFailure(const std::string& exe, const std::string& title, bool atStart = false) {
    DrvProcess p;
    DrvGuard guard{&p};
    HWND menu = nullptr;
    if (atStart) {
      EXPECT_TRUE(DrvStart(&p, exe));
    } else {
      menu = StartUpdate(&p, exe, title);
      if (!menu) return 0xBAD;
    }
    return FailureEnd(&p, menu);
  }

  // What every failure leaves: no work folder, nothing beside the target
  // folder, and the target folder exactly as it was before.
  void ExpectAftermath(const std::string& game, const Tree& before) {
    EXPECT_EQ(WorkFolders(), before_) << "the work folder is removed";
    EXPECT_EQ(Listing(game + "\\.."), (std::set<std::string>{".", "..", "game"}))
        << "nothing written beside the target folder";
    EXPECT_EQ(Differences(before, Snapshot(game)), "") << "the game's folder as it was";
    EXPECT_FALSE(FileExists("C:\\install.env"));
    EXPECT_FALSE(FileExists("Z:\\install.env"));
  }

  TempFolder temp_;
  std::set<std::string> before_;
};

TEST_F(FaultE2e, DriveFillsDuringTheCopy) {
  std::string drive = FromEnvironment("UPD_FULL_DIR");
  if (drive.empty()) GTEST_SKIP() << "no small drive given (UPD_FULL_DIR)";
  std::string game = drive + "\\game";
  Install("Full", game);
  std::string exe = Pack("Full", 3u << 20);  // more than the drive holds
  Tree before = Snapshot(game);
  EXPECT_EQ(RunToFailure(exe, "Full"), -1);
  ExpectAftermath(game, before);
}

// The running game holds big.dat open without sharing: the player is asked
// to close it. Cancel puts everything back and ends as a failure; Retry once
// the game has ended completes the update.
TEST_F(FaultE2e, FileHeldOpenByTheGame) {
  for (bool retry : {false, true}) {
    std::string title = retry ? "LockedRetry" : "Locked";
    std::string game = GameFolder(title);
    Install(title, game);
    std::string exe = Pack(title, 200000);
    Tree before = Snapshot(game);
    HANDLE held = HoldAsTheGame(game + "\\big.dat");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    DrvProcess p;
    DrvGuard guard{&p};
    HWND menu = StartUpdate(&p, exe, title);
    ASSERT_NE(menu, nullptr);
    HWND box = InUseBox(p, menu, game + "\\big.dat");
    ASSERT_NE(box, nullptr) << "the in-use box";
    if (!retry) {
      ASSERT_TRUE(DrvClick(box, IDCANCEL));
      EXPECT_EQ(FailureEnd(&p, menu), -1);
      CloseHandle(held);
      ExpectAftermath(game, before);
      continue;
    }
    CloseHandle(held);  // the game ends
    ASSERT_TRUE(DrvClick(box, IDRETRY));
    EXPECT_EQ(CompletionEnd(&p), 0);
    EXPECT_TRUE(ReadFileBytes(game + "\\big.dat") == Noise(200000));
    EXPECT_EQ(ReadFileBytes(game + "\\c.dat"), "new c");
    EXPECT_FALSE(FolderExists(game + "\\~updtxn"));
  }
}

TEST_F(FaultE2e, FileNameTakenByAReadOnlyFolder) {
  std::string game = GameFolder("ReadOnly");
  Install("ReadOnly", game);
  std::string taken = game + "\\big.dat";
  ASSERT_TRUE(DeleteFileA(taken.c_str()));
  ASSERT_TRUE(CreateDirectoryA(taken.c_str(), nullptr));
  SetFileAttributesA(taken.c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
  std::string exe = Pack("ReadOnly", 200000);
  Tree before = Snapshot(game);
  EXPECT_EQ(RunToFailure(exe, "ReadOnly"), -1);
  ExpectAftermath(game, before);
  EXPECT_TRUE(FolderExists(taken));
}

TEST_F(FaultE2e, PayloadCutShortOnDisk) {
  std::string game = GameFolder("Cut");
  Install("Cut", game);
  std::string whole = ReadFileBytes(Pack("Cut", 1u << 20));
  ASSERT_GT(whole.size(), 1u << 20);
  std::string half = whole.substr(0, whole.size() / 2);
  Tree before = Snapshot(game);

  // A download that stopped: no trailer, the start-up fails before the menu.
  std::string cut = temp_ / "cut.exe";
  ASSERT_TRUE(WriteFileBytes(cut, half));
  EXPECT_EQ(RunToFailure(cut, "Cut", true), -1);
  ExpectAftermath(game, before);

  // Cut inside big.dat with the trailer kept: the start-up files are whole,
  // and the update finds the cut before it writes anything.
  ASSERT_TRUE(WriteFileBytes(cut, half + whole.substr(whole.size() - 4)));
  EXPECT_EQ(RunToFailure(cut, "Cut"), -1);
  ExpectAftermath(game, before);

  // The last file's Adler-32 damaged (c.dat, the last entry; its checksum
  // ends just before the end marker and the trailer): a.dat and big.dat
  // were complete and go back too.
  std::string damaged = whole;
  damaged[damaged.size() - 9] ^= 0x40;
  ASSERT_TRUE(WriteFileBytes(cut, damaged));
  EXPECT_EQ(RunToFailure(cut, "Cut"), -1);
  ExpectAftermath(game, before);
}

// A game folder so long that the last file's path does not fit 260 bytes:
// the update fails before its first file.
TEST_F(FaultE2e, GameFolderTooLongForALaterFile) {
  std::string around = temp_ / "around-Long";
  CreateDirectoryA(around.c_str(), nullptr);
  // "\\zzzz...(24).dat" is the last entry and does not fit; "\\a.dat" does.
  std::string game = around + "\\game" + std::string(240 - around.size() - 5, 'g');
  ASSERT_EQ(game.size(), 240u);
  Install("Long", game);
  std::string input = Input("Long", 1000);
  WriteFileBytes(input + "\\" + std::string(20, 'z') + ".dat", "too long");
  std::string exe = PackInput("Long", input);
  Tree before = Snapshot(game);
  EXPECT_EQ(RunToFailure(exe, "Long"), -1);
  EXPECT_EQ(WorkFolders(), before_);
  EXPECT_EQ(Differences(before, Snapshot(game)), "");
}

// The updater killed at three moments of a large update: among the small
// files, inside a large one, and once its journal exists (the replacement).
// Each time every game file is its old or its new version; the work folder
// and the staging folder it leaves are the next run's to clear, and running
// the same update again gives exactly the folder a run never interrupted
// gives.
TEST_F(FaultE2e, KilledUpdateLeavesNoCutFileAndTheNextRunCompletes) {
  constexpr int kSmall = 300;
  struct Moment {
    const char* title;
    const char* what;
    // Whether to kill now, from the staging folder.
    std::function<bool(const std::string& staging)> now;
    // A game file held open meanwhile: the replacement stops at it and asks,
    // half-way through, and the kill comes while it asks.
    const char* held;
  };
  const Moment moments[] = {
      {"KillFiles", "among the small files",
       [](const std::string& staging) { return FileExists(staging + "\\2\\n00"); }, nullptr},
      {"KillBig", "inside big.dat",
       [](const std::string& staging) {
         WIN32_FILE_ATTRIBUTE_DATA data;
         // big.dat is the third file: install.env, a.dat, big.dat.
         return GetFileAttributesExA((staging + "\\0\\n02").c_str(), GetFileExInfoStandard,
                                     &data) &&
                data.nFileSizeLow >= (8u << 20);
       },
       nullptr},
      {"KillSwap", "during the replacement", nullptr, "f100.dat"},
  };
  for (const Moment& m : moments) {
    SCOPED_TRACE(m.what);
    std::string game = GameFolder(m.title);
    Install(m.title, game);
    std::string input = Input(m.title, 24u << 20);
    std::map<std::string, std::string> fresh = {{"a.dat", "new a"}, {"c.dat", "new c"}};
    for (int i = 0; i < kSmall; ++i) {
      char name[16];
      snprintf(name, sizeof name, "f%03d.dat", i);
      fresh[name] = Noise(3000, 7 + i);
      WriteFileBytes(input + "\\" + name, fresh[name]);
      // The game has the first half in an old version.
      if (i < kSmall / 2) WriteFileBytes(game + "\\" + name, "old " + std::string(name));
    }
    std::string exe = PackInput(m.title, input);
    Tree old = Snapshot(game);
    HANDLE held = INVALID_HANDLE_VALUE;
    if (m.held) {
      held = CreateFileA((game + "\\" + m.held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(held, INVALID_HANDLE_VALUE);
    }

    DrvProcess p;
    DrvGuard guard{&p};
    HWND menu = StartUpdate(&p, exe, m.title);
    ASSERT_NE(menu, nullptr);
    std::string staging = game + "\\~updtxn";
    bool hit = false;
    if (m.held) {
      hit = DrvWaitDialogWith(p, menu, IDRETRY, kWaitMs) != nullptr;
    } else {
      DWORD start = GetTickCount();
      while (!hit && WaitForSingleObject(p.process, 0) == WAIT_TIMEOUT &&
             GetTickCount() - start < static_cast<DWORD>(kWaitMs)) {
        hit = m.now(staging);
      }
    }
    ASSERT_TRUE(hit) << "the moment never came";
    ASSERT_TRUE(TerminateProcess(p.process, 99));
    WaitForSingleObject(p.process, kWaitMs);
    DWORD code = 0;
    GetExitCodeProcess(p.process, &code);
    ASSERT_EQ(code, 99u) << "killed, not ended";
    DrvKill(&p);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);  // the game ends too

    // Every file is its old or its new version; only the staging folder is new.
    Tree now = Snapshot(game);
    int olds = 0;
    int news = 0;
    for (const auto& [name, item] : now) {
      if (name.rfind("~updtxn\\", 0) == 0) continue;
      bool isOld = old.count(name) && old.at(name).bytes == item.bytes;
      olds += isOld;
      bool isNew = name == "big.dat" ? item.bytes == Noise(24u << 20)
                   : name == "install.env"
                       ? item.bytes == Env(m.title)
                       : name.back() == '\\' || (fresh.count(name) && fresh.at(name) == item.bytes);
      EXPECT_TRUE(isOld || isNew) << name << " is cut or foreign";
      news += isNew && !isOld;
    }
    printf("killed %s: %d files old, %d new\n", m.what, olds, news);
    for (const auto& entry : old) EXPECT_TRUE(now.count(entry.first)) << entry.first << " is gone";

    ASSERT_EQ(RunToCompletion(exe, m.title), 0);
    Tree done = Snapshot(game);
    Tree source = Snapshot(input);
    Tree expected = source;
    expected["keep.txt"] = old.at("keep.txt");
    EXPECT_EQ(Differences(expected, done), "") << "the same as an uninterrupted update";
    EXPECT_EQ(WorkFolders(), before_) << "the killed run's work folder is gone too";
  }
}

// Two updates of one game (two titles, one folder) at once: the one that
// confirmed first holds the game until it ends (here it waits on a file in
// use); the second is refused before it writes anything, and its menu stays.
TEST_F(FaultE2e, SecondUpdateOfTheSameGameIsRefusedWhileOneRuns) {
  std::string game = GameFolder("TwinA");
  Install("TwinA", game);
  Install("TwinB", game);
  std::string first = Pack("TwinA", 200000);
  std::string second = Pack("TwinB", 300000);
  HANDLE held = CreateFileA((game + "\\big.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  DrvProcess a;
  DrvGuard guardA{&a};
  HWND menuA = StartUpdate(&a, first, "TwinA");
  ASSERT_NE(menuA, nullptr);
  HWND inUse = DrvWaitDialogWith(a, menuA, IDRETRY, kWaitMs);
  ASSERT_NE(inUse, nullptr);

  DrvProcess b;
  DrvGuard guardB{&b};
  HWND menuB = StartUpdate(&b, second, "TwinB");
  ASSERT_NE(menuB, nullptr);
  std::string message;
  ASSERT_TRUE(Answer(b, menuB, IDOK, &message));
  EXPECT_NE(message.find("別のアップデート"), std::string::npos) << DrvUtf8(message);
  ASSERT_TRUE(Answer(b, menuB, IDOK, &message));
  EXPECT_EQ(message, "アップデートを中止しました") << DrvUtf8(message);
  EXPECT_TRUE(IsWindow(menuB)) << "the second update's menu stays";
  DrvKill(&b);

  CloseHandle(held);
  ASSERT_TRUE(DrvClick(inUse, IDRETRY));
  EXPECT_EQ(CompletionEnd(&a), 0);
  EXPECT_TRUE(ReadFileBytes(game + "\\big.dat") == Noise(200000)) << "only the first update's";
}

// Deletion lines that leave the game's folder (a parent, a root, a drive)
// delete nothing there; the lines inside it still work.
TEST_F(FaultE2e, DeletionLinesOutsideTheGameDeleteNothing) {
  std::string game = GameFolder("Outside");
  Install("Outside", game);
  std::string around = game + "\\..";
  WriteFileBytes(around + "\\parent.txt", "beside the game");
  TempFolder elsewhere;
  std::string victim = elsewhere / "victim.txt";
  WriteFileBytes(victim, "elsewhere");
  std::string noDrive = elsewhere.path.substr(2);  // "\\...": the current drive's root
  std::string sections = "[delfiles_afterinst]\r\n..\\*.*\r\n" + noDrive + "\\*.*\r\n" +
                         elsewhere.path + "\\*.*\r\ninstall.env\r\n-\r\n";
  std::string exe = Pack("Outside", 1000, sections);
  EXPECT_EQ(RunToCompletion(exe, "Outside"), 0);
  EXPECT_EQ(ReadFileBytes(around + "\\parent.txt"), "beside the game");
  EXPECT_EQ(ReadFileBytes(victim), "elsewhere");
  EXPECT_FALSE(FileExists(game + "\\install.env")) << "a line inside the folder still deletes";
  EXPECT_EQ(ReadFileBytes(game + "\\a.dat"), "new a");
}

// An update built by updpack.exe with --base from two versions turns the old
// game folder into the new one through the real updater: names, bytes and
// times; and `updpack.exe apply` does the same to a copy.
TEST_F(FaultE2e, UpdateFromTwoVersionsMakesTheNewOne) {
  std::string v101 = temp_ / "v101", v102 = temp_ / "v102";
  for (const std::string& v : {v101, v102}) {
    CreateDirectoryA(v.c_str(), nullptr);
    CreateDirectoryA((v + "\\sub").c_str(), nullptr);
  }
  for (const auto& [name, bytes] : kOld) WriteFileBytes(v101 + "\\" + name, bytes);
  WriteFileBytes(v101 + "\\gone.dat", "not in 1.02");
  WriteFileBytes(v101 + "\\sub\\gone.dat", "not in 1.02 either");
  CreateDirectoryA((v101 + "\\empty").c_str(), nullptr);
  // Unchanged files are copies, times and all.
  for (const char* same : {"big.dat", "c.dat", "keep.txt"}) {
    ASSERT_TRUE(CopyFileA((v101 + "\\" + same).c_str(), (v102 + "\\" + same).c_str(), FALSE));
  }
  WriteFileBytes(v102 + "\\a.dat", "new a");
  WriteFileBytes(v102 + "\\sub\\added.dat", "new in 1.02");
  // A large file changed in places travels as a delta against 1.01's.
  std::string scene = Noise(400000, 7);
  WriteFileBytes(v101 + "\\sub\\scene.arc", scene);
  scene.insert(5000, Noise(100, 8));
  scene.replace(300000, 1000, Noise(1000, 9));
  WriteFileBytes(v102 + "\\sub\\scene.arc", scene);
  WriteFileBytes(v102 + "\\install.env",
                 Env("Patch", "[delfiles_afterinst]\r\ninstall.env\r\n-\r\n"));
  std::string exe = temp_ / "patch.exe";
  ASSERT_EQ(Updpack("build -q -j 1 --base \"" + v101 + "\" -o \"" + exe + "\" \"" + v102 + "\""), 0)
      << "updpack build --base";
  WIN32_FILE_ATTRIBUTE_DATA exeInfo, stubInfo;
  ASSERT_TRUE(GetFileAttributesExA(exe.c_str(), GetFileExInfoStandard, &exeInfo));
  std::string stub = WinPath(UPD_BIN_DIR) + "\\updater.exe";
  ASSERT_TRUE(GetFileAttributesExA(stub.c_str(), GetFileExInfoStandard, &stubInfo));
  EXPECT_LT(exeInfo.nFileSizeLow, stubInfo.nFileSizeLow + 100000) << "scene.arc as a delta";
  Tree want = Snapshot(v102);
  want.erase("install.env");  // its own line deletes it

  // The game: 1.01 as installed, copied with its times.
  std::string game = GameFolder("Patch");
  Install("Patch", game);
  std::string copy = temp_ / "copy";
  for (const std::string& g : {game, copy}) {
    CreateDirectoryA(g.c_str(), nullptr);
    for (const Tree::value_type& e : Snapshot(v101)) {
      std::string from = v101 + "\\" + e.first, to = g + "\\" + e.first;
      if (e.first.back() == '\\') {
        CreateDirectoryA(to.c_str(), nullptr);
      } else {
        ASSERT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE)) << e.first;
      }
    }
  }
  ASSERT_EQ(Differences(Snapshot(v101), Snapshot(game)), "");
  EXPECT_EQ(RunToCompletion(exe, "Patch"), 0);
  EXPECT_EQ(Differences(want, Snapshot(game)), "");

  EXPECT_EQ(Updpack("apply -q \"" + exe + "\" \"" + copy + "\""), 0) << "updpack apply";
  EXPECT_EQ(Differences(want, Snapshot(copy)), "");
}

// A temp path too long to read leaves no work folder; the start-up must fail
// instead of unpacking at the root of the current drive.
TEST_F(FaultE2e, TempPathThatCannotBeRead) {
  std::string exe = Pack("NoTemp", 1000);
  std::string tmp = getenv("TMP") ? getenv("TMP") : "";
  std::string temp = getenv("TEMP") ? getenv("TEMP") : "";
  std::string tooLong = "C:\\" + std::string(300, 't');
  SetEnvironmentVariableA("TMP", tooLong.c_str());
  SetEnvironmentVariableA("TEMP", tooLong.c_str());
  SetCurrentDirectoryA(temp_.path.c_str());
  int code = RunToFailure(exe, "NoTemp", true);
  SetEnvironmentVariableA("TMP", tmp.empty() ? nullptr : tmp.c_str());
  SetEnvironmentVariableA("TEMP", temp.empty() ? nullptr : temp.c_str());
  EXPECT_EQ(code, -1);
  EXPECT_FALSE(FileExists("C:\\install.env"));
  EXPECT_FALSE(FileExists("Z:\\install.env"));
  EXPECT_FALSE(FileExists(temp_ / "install.env"));
}

TEST_F(FaultE2e, SignedUpdateRunsToItsEnd) {
  std::string exe = FromEnvironment("UPD_SIGNED_UPDATE");
  if (exe.empty()) GTEST_SKIP() << "no signed update given (UPD_SIGNED_UPDATE)";
  std::string game = GameFolder("Signed");
  Install("Signed", game);
  DrvProcess p;
  DrvGuard guard{&p};
  ASSERT_TRUE(DrvStart(&p, exe));
  HWND menu = DrvWaitWindow(p, "#32770", "Signed アップデータ", kWaitMs);
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(DrvClick(menu, 1001));
  ASSERT_TRUE(Answer(p, menu, IDYES));
  EXPECT_EQ(CompletionEnd(&p), 0);
  EXPECT_EQ(ReadFileBytes(game + "\\a.dat"), "new a");
  EXPECT_TRUE(ReadFileBytes(game + "\\big.dat") == Noise(300000));
  EXPECT_EQ(ReadFileBytes(game + "\\c.dat"), "new c");
  EXPECT_EQ(WorkFolders(), before_);
}

}  // namespace
