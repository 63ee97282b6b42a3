// Faults a player meets during an update, each under the real updater.exe: a
// drive that fills, a file held open by the running game, a file name taken
// by a folder (Wine running as root writes read-only files all the same), a
// payload cut short on disk and a temp path that cannot be read; and a signed
// update that runs to its end. After every failure: the one message, exit
// -1, no work folder, nothing written outside the target folder, and every
// file complete before the fault as it was.
//
// faults_wine_test.sh prepares what only Linux can: UPD_FULL_DIR, a small
// tmpfs (the drive that fills), and UPD_SIGNED_UPDATE, an update signed with
// osslsigncode. Without them those two cases are skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "e2e/driver/uidriver.h"
#include "win/common/temp_folder.h"

namespace {

constexpr int kWaitMs = 30000;
const char kFailureText[] =
    "ファイルの読み込みに失敗しました。ファイルが壊れている可能性があります。";

std::string WinPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string FromEnvironment(const char* name) {
  const char* value = getenv(name);
  return value && *value ? WinPath(value) : "";
}

std::set<std::string> Listing(const std::string& folder) {
  std::set<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    names.insert(data.cFileName);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return names;
}

std::set<std::string> WorkFolders() {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::set<std::string> found;
  for (const std::string& name : Listing(std::string(temp) + ".")) {
    if (name.rfind("TempGPInstallFolder_", 0) == 0) found.insert(name);
  }
  return found;
}

std::string Env(const std::string& title) {
  return "TITLEBAR\t" + title + "\r\nREG_GLOBAL\tUpdFault\r\nREG_LOCAL\t" + title +
         "\r\nEXENAME\tnot-there.exe\r\n[EOF]\r\n";
}

// The game's files before the update: a.dat, big.dat and c.dat are replaced
// by the update, in that order; keep.txt is not in it.
const std::map<std::string, std::string> kOld = {
    {"a.dat", "old a"}, {"big.dat", "old big"}, {"c.dat", "old c"}, {"keep.txt", "keep"}};

// Presses the button of a dialog of the process other than the menu (which
// is a dialog too); its message in *message.
bool Answer(const DrvProcess& p, HWND menu, int button, std::string* message = nullptr) {
  HWND box = DrvWaitDialogWith(p, menu, button, kWaitMs);
  if (!box) return false;
  if (message) *message = DrvBoxMessage(box);
  return DrvClick(box, button);
}

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

  std::string Pack(const std::string& title, size_t bigSize) {
    std::string input = temp_ / ("in-" + title);
    CreateDirectoryA(input.c_str(), nullptr);
    WriteFileBytes(input + "\\install.env", Env(title));
    WriteFileBytes(input + "\\a.dat", "new a");
    WriteFileBytes(input + "\\big.dat", Noise(bigSize));
    WriteFileBytes(input + "\\c.dat", "new c");
    // Folders come before the files, and a second-level one ends the
    // start-up walk there: a cut in big.dat is met by the copy, not the start.
    CreateDirectoryA((input + "\\z").c_str(), nullptr);
    CreateDirectoryA((input + "\\z\\z").c_str(), nullptr);
    std::string exe = temp_ / (title + ".exe");
    DrvProcess pack;
    DrvGuard guard{&pack};
    EXPECT_TRUE(DrvStart(&pack, WinPath(UPD_BIN_DIR) + "\\updpack.exe",
                         "build -q -j 1 -o \"" + exe + "\" \"" + input + "\""));
    int code = 1;
    EXPECT_TRUE(DrvWaitExit(&pack, &code, 120000));
    EXPECT_EQ(code, 0) << "updpack build";
    return exe;
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
    HKEY key;
    std::string path = "Software\\UpdFault\\" + title;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "IsInst", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
    RegSetValueExA(key, "InstTo", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>(folder.size() + 1));
    RegCloseKey(key);
  }

  // Runs the update of exe from its menu up to the failure message; the exit code.
  int RunToFailure(const std::string& exe, const std::string& title, bool atStart = false) {
    DrvProcess p;
    DrvGuard guard{&p};
    EXPECT_TRUE(DrvStart(&p, exe));
    HWND menu = nullptr;
    if (!atStart) {
      menu = DrvWaitWindow(p, "#32770", (title + " アップデータ").c_str(), kWaitMs);
      EXPECT_NE(menu, nullptr);
      if (!menu) return 0xBAD;
      EXPECT_TRUE(DrvClick(menu, 1001));
      EXPECT_TRUE(Answer(p, menu, IDYES));
    }
    std::string message;
    EXPECT_TRUE(Answer(p, menu, IDOK, &message));
    EXPECT_EQ(message, kFailureText) << DrvUtf8(message);
    int code = 0xBAD;
    EXPECT_TRUE(DrvWaitExit(&p, &code, kWaitMs));
    return code;
  }

  // What every failure leaves: no work folder, the folder around the target
  // as it was, a.dat new when the copy reached it, c.dat and keep.txt old.
  void ExpectAftermath(const std::string& game, bool reachedA) {
    EXPECT_EQ(WorkFolders(), before_) << "the work folder is removed";
    EXPECT_EQ(Listing(game + "\\.."), (std::set<std::string>{".", "..", "game"}))
        << "nothing written beside the target folder";
    EXPECT_EQ(ReadFileBytes(game + "\\a.dat"), reachedA ? "new a" : "old a");
    EXPECT_EQ(ReadFileBytes(game + "\\c.dat"), "old c");
    EXPECT_EQ(ReadFileBytes(game + "\\keep.txt"), "keep");
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
  EXPECT_EQ(RunToFailure(exe, "Full"), -1);
  ExpectAftermath(game, true);
}

TEST_F(FaultE2e, FileHeldOpenByTheGame) {
  std::string game = GameFolder("Locked");
  Install("Locked", game);
  std::string exe = Pack("Locked", 200000);
  HANDLE held = CreateFileA((game + "\\big.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(RunToFailure(exe, "Locked"), -1);
  CloseHandle(held);
  ExpectAftermath(game, true);
  EXPECT_EQ(ReadFileBytes(game + "\\big.dat"), "old big");
}

TEST_F(FaultE2e, FileNameTakenByAReadOnlyFolder) {
  std::string game = GameFolder("ReadOnly");
  Install("ReadOnly", game);
  std::string taken = game + "\\big.dat";
  ASSERT_TRUE(DeleteFileA(taken.c_str()));
  ASSERT_TRUE(CreateDirectoryA(taken.c_str(), nullptr));
  SetFileAttributesA(taken.c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(RunToFailure(Pack("ReadOnly", 200000), "ReadOnly"), -1);
  ExpectAftermath(game, true);
  EXPECT_TRUE(FolderExists(taken));
  EXPECT_EQ(Listing(taken), (std::set<std::string>{".", ".."})) << "the folder stays empty";
}

TEST_F(FaultE2e, PayloadCutShortOnDisk) {
  std::string game = GameFolder("Cut");
  Install("Cut", game);
  std::string whole = ReadFileBytes(Pack("Cut", 1u << 20));
  ASSERT_GT(whole.size(), 1u << 20);
  std::string half = whole.substr(0, whole.size() / 2);

  // A download that stopped: no trailer, the start-up fails before the menu.
  std::string cut = temp_ / "cut.exe";
  ASSERT_TRUE(WriteFileBytes(cut, half));
  EXPECT_EQ(RunToFailure(cut, "Cut", true), -1);
  ExpectAftermath(game, false);

  // Cut inside big.dat with the trailer kept: the start-up files are whole,
  // the copy stops at big.dat before creating it.
  ASSERT_TRUE(WriteFileBytes(cut, half + whole.substr(whole.size() - 4)));
  EXPECT_EQ(RunToFailure(cut, "Cut"), -1);
  ExpectAftermath(game, true);
  EXPECT_EQ(ReadFileBytes(game + "\\big.dat"), "old big");
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
  HWND done = DrvWaitWindow(p, "#32770", "インストール終了", kWaitMs);
  ASSERT_NE(done, nullptr);
  ASSERT_TRUE(DrvClick(done, IDOK));
  int code = 0xBAD;
  ASSERT_TRUE(DrvWaitExit(&p, &code, kWaitMs));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFileBytes(game + "\\a.dat"), "new a");
  EXPECT_EQ(ReadFileBytes(game + "\\big.dat"), Noise(300000));
  EXPECT_EQ(ReadFileBytes(game + "\\c.dat"), "new c");
  EXPECT_EQ(WorkFolders(), before_);
}

}  // namespace
