// The real updater.exe, with payloads packed by updpack build (updater.exe
// beside updpack.exe is its default stub), driven through its windows: the
// main menu's buttons, the single-instance guard, and every way out of the
// program with its exit code and what becomes of the work folder.
#include <windows.h>

#include <gtest/gtest.h>
#include <mmsystem.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "e2e/driver/uidriver.h"
#include "win/common/temp_folder.h"

namespace {

constexpr int kWaitMs = 30000;
const char kMenuClass[] = "#32770";
const char kFailureText[] =
    "ファイルの読み込みに失敗しました。ファイルが壊れている可能性があります。";

// The build's bin folder (a Linux path) as the program sees it.
std::string BinFolder() {
  std::string path = "Z:" UPD_BIN_DIR;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path + "\\";
}

std::set<std::string> WorkFolders() {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::set<std::string> found;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((std::string(temp) + "TempGPInstallFolder_*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return found;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      found.insert(std::string(temp) + data.cFileName);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return found;
}

// The work folders of `after` that `before` did not have.
std::vector<std::string> NewFolders(const std::set<std::string>& before) {
  std::vector<std::string> added;
  for (const std::string& f : WorkFolders()) {
    if (!before.count(f)) added.push_back(f);
  }
  return added;
}

std::string Env(const std::string& title, const std::string& more = "") {
  return "TITLEBAR\t" + title + "\r\nREG_GLOBAL\tUpdTest\r\nREG_LOCAL\t" + title +
         "\r\nEXENAME\tnot-there.exe\r\n" + more + "[EOF]\r\n";
}

class UpdaterE2e : public ::testing::Test {
 protected:
  void SetUp() override { before_ = WorkFolders(); }

  void TearDown() override {
    for (DrvProcess& p : processes_) DrvKill(&p);
    for (const std::string& f : NewFolders(before_)) RemoveTree(f);
  }

  // Packs the files (name -> bytes; a name ending in "\" is a folder) with
  // updpack build and returns the update executable.
  std::string Pack(const std::map<std::string, std::string>& files, const std::string& extra = "") {
    std::string input = temp_ / ("in" + std::to_string(++packs_));
    CreateDirectoryA(input.c_str(), nullptr);
    for (const auto& [name, bytes] : files) {
      std::string path = input + "\\" + name;
      if (name.back() == '\\') {
        CreateDirectoryA(path.c_str(), nullptr);
      } else {
        EXPECT_TRUE(WriteFileBytes(path, bytes)) << path;
      }
    }
    std::string exe = temp_ / ("update" + std::to_string(packs_) + ".exe");
    DrvProcess pack;
    DrvGuard guard{&pack};
    EXPECT_TRUE(DrvStart(&pack, BinFolder() + "updpack.exe",
                         "build -j 1 " + extra + " -o \"" + exe + "\" \"" + input + "\""));
    int code = 1;
    EXPECT_TRUE(DrvWaitExit(&pack, &code, 120000));
    EXPECT_EQ(code, 0) << "updpack build";
    return exe;
  }

  DrvProcess* Start(const std::string& exe) {
    processes_.emplace_back();
    EXPECT_TRUE(DrvStart(&processes_.back(), exe));
    return &processes_.back();
  }

  static HWND WaitMenu(const DrvProcess& p, const std::string& title) {
    return DrvWaitWindow(p, kMenuClass, (title + " アップデータ").c_str(), kWaitMs);
  }

  static int Exit(DrvProcess* p) {
    int code = 0xBAD;
    EXPECT_TRUE(DrvWaitExit(p, &code, kWaitMs));
    return code;
  }

  // The menu's buttons by id (destroyed ones are absent).
  static std::map<int, std::string> Buttons(HWND menu) {
    std::map<int, std::string> buttons;
    for (const DrvControl& c : DrvListControls(menu)) {
      if (c.className == "Button") buttons[c.id] = c.text;
    }
    return buttons;
  }

  // Records the game as installed in folder under the title's registry key.
  static void Install(const std::string& title, const std::string& folder) {
    HKEY key;
    std::string path = "Software\\UpdTest\\" + title;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "IsInst", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
    RegSetValueExA(key, "InstTo", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>(folder.size() + 1));
    RegCloseKey(key);
  }

  // Presses the button of the box over the menu; its message in *message.
  static bool Answer(const DrvProcess& p, HWND menu, int button, std::string* message = nullptr) {
    HWND box = DrvWaitDialogWith(p, menu, button, kWaitMs);
    if (!box) return false;
    if (message) *message = DrvBoxMessage(box);
    return DrvClick(box, button) &&
           DrvWaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, kWaitMs);
  }

  // Clicks "アップデート" and answers the confirmation with Yes.
  static void StartUpdate(const DrvProcess& p, HWND menu, int updateId) {
    ASSERT_TRUE(DrvClick(menu, updateId));
    std::string message;
    ASSERT_TRUE(Answer(p, menu, IDYES, &message));
    EXPECT_NE(message.find("をアップデートします"), std::string::npos) << DrvUtf8(message);
  }

  TempFolder temp_;
  std::set<std::string> before_;
  // Reserved up front: the tests hold pointers to its elements.
  std::vector<DrvProcess> processes_;
  int packs_ = 0;

 public:
  UpdaterE2e() { processes_.reserve(16); }
};

TEST_F(UpdaterE2e, ButtonsWithoutDirectXFolderAndKeysThatDoNothing) {
  // A DirectX folder in the payload is not made at start-up: no DirectX button.
  std::string plain =
      Pack({{"install.env", Env("Plain")}, {"DirectX\\", ""}, {"DirectX\\dxsetup.exe", "MZ"}});
  std::string readme = Pack({{"install.env", Env("Readme", "INSTREADME\treadme\r\n")}});

  DrvProcess* p = Start(plain);
  HWND menu = WaitMenu(*p, "Plain");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(Buttons(menu), (std::map<int, std::string>{{1000, "終了"}, {1001, "アップデート"}}));
  // Escape, and Enter where no button has the focus, arrive as commands 2
  // and 1, which no button carries. (A focused button takes Enter as a
  // click, as in every dialog.)
  DrvKey(menu, VK_ESCAPE);
  PostMessageA(menu, WM_COMMAND, IDOK, 0);
  PostMessageA(menu, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(DrvSync(menu));
  EXPECT_TRUE(DrvHolds([&] { return IsWindowVisible(menu) && DrvTopWindows(*p).size() == 1; }, 300))
      << "no box after Enter or Escape";
  std::vector<std::string> folders = NewFolders(before_);
  ASSERT_EQ(folders.size(), 1u);
  ASSERT_TRUE(DrvClick(menu, 1000));
  EXPECT_EQ(Exit(p), 0);
  EXPECT_FALSE(FolderExists(folders[0])) << "終了 removes the work folder";

  p = Start(readme);
  menu = WaitMenu(*p, "Readme");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(Buttons(menu),
            (std::map<int, std::string>{{1000, "終了"}, {1001, "readme"}, {1002, "アップデート"}}));
  ASSERT_TRUE(DrvClose(menu));
  EXPECT_EQ(Exit(p), 0);
  EXPECT_TRUE(NewFolders(before_).empty()) << "the close box removes the work folder";
}

// Start-up makes no folders, so a DirectX folder is in the work folder only
// when something else put it there: here the test, while the start-up is
// still writing a large readme text into the new work folder.
TEST_F(UpdaterE2e, ButtonsWithDirectXFolderAndACutReadmeCaption) {
  std::string longReadme(200, 'R');
  std::string slow(256u << 20, '\0');
  std::string withDx = Pack({{"install.env", Env("Dx")}, {"big.txt", slow}});
  std::string withBoth = Pack(
      {{"install.env", Env("DxReadme", "INSTREADME\t" + longReadme + "\r\n")}, {"big.txt", slow}});
  slow.clear();

  for (const std::string& exe : {withDx, withBoth}) {
    DrvProcess* p = Start(exe);
    std::vector<std::string> made;
    ASSERT_TRUE(DrvWaitFor([&] { return !(made = NewFolders(before_)).empty(); }, kWaitMs));
    ASSERT_TRUE(CreateDirectoryA((made[0] + "\\DirectX").c_str(), nullptr));

    bool both = exe == withBoth;
    HWND menu = WaitMenu(*p, both ? "DxReadme" : "Dx");
    ASSERT_NE(menu, nullptr);
    std::map<int, std::string> expected = {{1000, "終了"}, {1001, "DirectXインストール"}};
    if (both) expected[1002] = longReadme.substr(0, 127);
    expected[both ? 1003 : 1002] = "アップデート";
    EXPECT_EQ(Buttons(menu), expected);
    ASSERT_TRUE(DrvClick(menu, 1000));
    EXPECT_EQ(Exit(p), 0);
    // The DirectX folder keeps the work folder; its files are gone.
    EXPECT_FALSE(FileExists(made[0] + "\\big.txt"));
    RemoveTree(made[0]);
  }
}

TEST_F(UpdaterE2e, SecondCopyIsTurnedAwayAndOtherTitlesRunSideBySide) {
  std::string first = Pack({{"install.env", Env("Single")}});
  std::string other = Pack({{"install.env", Env("Other")}});
  DrvProcess* a = Start(first);
  HWND menuA = WaitMenu(*a, "Single");
  ASSERT_NE(menuA, nullptr);
  std::vector<std::string> folderA = NewFolders(before_);
  ASSERT_EQ(folderA.size(), 1u);

  DrvProcess* b = Start(first);
  std::string caption, message;
  ASSERT_TRUE(DrvAnswerBox(*b, IDOK, &caption, &message, kWaitMs));
  EXPECT_EQ(caption, "Single");
  EXPECT_EQ(message, "[ Single アップデータ ] は既に起動中です") << DrvUtf8(message);
  EXPECT_EQ(Exit(b), 0);
  EXPECT_EQ(NewFolders(before_), folderA) << "the second copy removed only its own folder";
  EXPECT_TRUE(IsWindowVisible(menuA));

  DrvProcess* c = Start(other);
  HWND menuC = WaitMenu(*c, "Other");
  ASSERT_NE(menuC, nullptr);
  EXPECT_TRUE(IsWindowVisible(menuA));
  ASSERT_TRUE(DrvClick(menuC, 1000));
  ASSERT_TRUE(DrvClick(menuA, 1000));
  EXPECT_EQ(Exit(c), 0);
  EXPECT_EQ(Exit(a), 0);
  EXPECT_TRUE(NewFolders(before_).empty());
}

TEST_F(UpdaterE2e, AbandonedUpdateKeepsTheMenuAndIgnoresItWhileBusy) {
  std::string exe = Pack({{"install.env", Env("Abandon")}});
  DrvProcess* p = Start(exe);
  HWND menu = WaitMenu(*p, "Abandon");
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(DrvClick(menu, 1001));  // nothing is installed under this title
  HWND box = DrvWaitDialogWith(*p, menu, IDOK, kWaitMs);
  ASSERT_NE(box, nullptr);
  // While the update runs, "終了" and the close box are ignored.
  ASSERT_TRUE(DrvClick(menu, 1000));
  ASSERT_TRUE(DrvClose(menu));
  ASSERT_TRUE(DrvSync(menu));
  ASSERT_TRUE(DrvHolds([&] { return IsWindow(menu) != FALSE; }, 300));
  ASSERT_TRUE(Answer(*p, menu, IDOK));
  ASSERT_TRUE(Answer(*p, menu, IDNO));  // pick the folder by hand?
  std::string message;
  ASSERT_TRUE(Answer(*p, menu, IDOK, &message));
  EXPECT_EQ(message, "アップデートを中止しました") << DrvUtf8(message);
  ASSERT_TRUE(DrvSync(menu));
  EXPECT_TRUE(DrvHolds([&] { return IsWindowVisible(menu) != FALSE; }, 300))
      << "the menu stays after an abandoned update";
  ASSERT_EQ(NewFolders(before_).size(), 1u);
  ASSERT_TRUE(DrvClick(menu, 1000));
  EXPECT_EQ(Exit(p), 0);
  EXPECT_TRUE(NewFolders(before_).empty()) << "a later 終了 removes the work folder";
}

TEST_F(UpdaterE2e, CompletedUpdateEndsWithZeroAndRemovesTheWorkFolder) {
  std::string game = temp_ / "game";
  CreateDirectoryA(game.c_str(), nullptr);
  Install("Complete", game);
  std::string exe =
      Pack({{"install.env", Env("Complete")}, {"data\\", ""}, {"data\\new.dat", "new"}});
  DrvProcess* p = Start(exe);
  HWND menu = WaitMenu(*p, "Complete");
  ASSERT_NE(menu, nullptr);
  StartUpdate(*p, menu, 1001);
  HWND done = DrvWaitWindow(*p, "#32770", "インストール終了", kWaitMs);
  ASSERT_NE(done, nullptr);
  ASSERT_TRUE(DrvClick(done, IDOK));
  EXPECT_EQ(Exit(p), 0);
  EXPECT_EQ(ReadFileBytes(game + "\\data\\new.dat"), "new");
  EXPECT_TRUE(NewFolders(before_).empty());
}

TEST_F(UpdaterE2e, ExitsOfTheStartUp) {
  // No payload at all: the read failure, -1, no work folder.
  std::string bare = temp_ / "bare.exe";
  ASSERT_TRUE(CopyFileA((BinFolder() + "updater.exe").c_str(), bare.c_str(), FALSE));
  DrvProcess* p = Start(bare);
  std::string message;
  ASSERT_TRUE(DrvAnswerBox(*p, IDOK, nullptr, &message, kWaitMs));
  EXPECT_EQ(message, kFailureText) << DrvUtf8(message);
  EXPECT_EQ(Exit(p), -1);
  EXPECT_TRUE(NewFolders(before_).empty());

  // No install.env: the missing-file message, -1, no work folder.
  p = Start(Pack({{"readme.txt", "text"}}));
  ASSERT_TRUE(DrvAnswerBox(*p, IDOK, nullptr, &message, kWaitMs));
  EXPECT_EQ(message,
            "起動に必要なファイルが不足しています。\nインストールの異常終了、起動するフォルダ異常、"
            "等を確認してください。")
      << DrvUtf8(message);
  EXPECT_EQ(Exit(p), -1);
  EXPECT_TRUE(NewFolders(before_).empty());

  // A section without its terminator: the message, -1 after either button,
  // and the work folder stays.
  std::string open = Pack({{"install.env", Env("Open", "[ini]\r\nA=1\r\n")}}, "--ignore-check");
  for (int button : {IDCANCEL, IDRETRY}) {
    p = Start(open);
    ASSERT_TRUE(DrvAnswerBox(*p, button, nullptr, &message, kWaitMs));
    EXPECT_NE(message.find("が終了していません"), std::string::npos) << DrvUtf8(message);
    EXPECT_EQ(Exit(p), -1);
    std::vector<std::string> left = NewFolders(before_);
    ASSERT_EQ(left.size(), 1u) << "the work folder stays";
    RemoveTree(left[0]);
  }

  // A title that cannot name a mutex: nothing shown, 0, no work folder.
  p = Start(Pack({{"install.env", Env("back\\slash")}}));
  EXPECT_EQ(Exit(p), 0) << "a box would have kept it running";
  EXPECT_TRUE(NewFolders(before_).empty());
}

TEST_F(UpdaterE2e, ExitsDuringTheUpdate) {
  std::string game = temp_ / "game";
  CreateDirectoryA(game.c_str(), nullptr);
  Install("Broken", game);
  Install("Quit", game);
  std::string data = Noise(48u << 20);

  // A corrupt entry while the payload is written: the read failure, -1, and
  // the work folder removed. The last byte of the last stream is its Adler-32.
  std::string broken = Pack({{"install.env", Env("Broken")}, {"data\\", ""}, {"data\\a.bin", "a"}});
  std::string bytes = ReadFileBytes(broken);
  bytes[bytes.size() - 9] ^= 0x5A;
  ASSERT_TRUE(WriteFileBytes(broken, bytes));
  DrvProcess* p = Start(broken);
  HWND menu = WaitMenu(*p, "Broken");
  ASSERT_NE(menu, nullptr);
  StartUpdate(*p, menu, 1001);
  std::string message;
  ASSERT_TRUE(Answer(*p, menu, IDOK, &message));
  EXPECT_EQ(message, kFailureText) << DrvUtf8(message);
  EXPECT_EQ(Exit(p), -1);
  EXPECT_TRUE(NewFolders(before_).empty());

  // A quit message met while the copy pumps messages: its code, and the
  // work folder stays.
  p = Start(Pack({{"install.env", Env("Quit")}, {"data\\", ""}, {"data\\big.bin", data}}));
  menu = WaitMenu(*p, "Quit");
  ASSERT_NE(menu, nullptr);
  StartUpdate(*p, menu, 1001);
  ASSERT_NE(DrvWaitWindow(*p, "#32770", "ファイルのコピー中...", kWaitMs), nullptr);
  PostThreadMessageA(GetWindowThreadProcessId(menu, nullptr), WM_QUIT, 7, 0);
  EXPECT_EQ(Exit(p), 7);
  EXPECT_EQ(NewFolders(before_).size(), 1u);
}

}  // namespace
