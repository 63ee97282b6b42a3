// Whole update runs through a stand-in main menu (update_menu with a payload
// appended), driven as a user would: the installed game is prepared with
// reg.exe and a folder holding its key file; the game and the readme opener
// are launch_recorder, which notes where and when it was started.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "e2e/driver/uidriver.h"
#include "e2e/update/menu_protocol.h"
#include "resources/end_install_ids.h"
#include "resources/setup_ids.h"
#include "unit/payload/payload_writer.h"
#include "win/common/reg_tool.h"
#include "win/common/temp_folder.h"
#include "win/payload/win_payload_fixture.h"

namespace {

const char kAbandoned[] = "アップデートを中止しました";
const char kNotInstalled[] = "本体がインストールされていません";
const char kTooOld[] = "アップデート元のバージョンが不適合です";
const char kAskManual[] =
    "[ テストゲーム ] "
    "本体のインストール先を特定できませんでした。\nインストール先を手動で指定しますか？";
const char kDoneTitle[] = "インストール終了";
const char kDoneText[] =
    "インストールを終了しました。\n以下のメニューを選択してＯＫを押して下さい。";
const char kSetupTitle[] = "アップデート先のフォルダの指定";
const char kReadmeLabel[] = "更新内容を読む";
constexpr uint64_t kStamp = 132223104000000000ULL;  // 2020-01-01 00:00 UTC
constexpr uint64_t kSecond = 10000000ULL;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(text.substr(at, end - at));
  }
  return lines;
}

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> parts;
  size_t at = 0;
  for (size_t end; (end = line.find('|', at)) != std::string::npos; at = end + 1) {
    parts.push_back(line.substr(at, end - at));
  }
  parts.push_back(line.substr(at));
  return parts;
}

// Every file and folder below the folder (in find order), files with sizes.
std::string Tree(const std::string& folder) {
  std::string out;
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out += name + "{" + Tree(folder + "\\" + name) + "};";
    } else {
      out += name + "=" + std::to_string(data.nFileSizeLow) + ";";
    }
  } while (FindNextFileA(h, &data));
  FindClose(h);
  return out;
}

// What REP_CDROMDRIVE must become on this machine.
std::string FirstCdromDrive() {
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    std::string root = std::string(1, letter) + ":\\";
    if (GetDriveTypeA(root.c_str()) == DRIVE_CDROM) return root;
  }
  return "E:\\";
}

class UpdateE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    key_ = "Software\\UpdE2eMaker\\" + name_;
    game_ = dir_ / "Title";
    log_ = dir_ / "launch.log";
    recorder_ = DrvProgramFolder() + "launch_recorder.exe";
    CreateDirectoryA(game_.c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(game_ + "\\Game.exe", "old game"));
    CreateDirectoryA((game_ + "\\savedata").c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(game_ + "\\savedata\\s1.sav", "1"));
    ASSERT_TRUE(WriteFileBytes(game_ + "\\savedata\\s2.sav", "2"));
    CreateDirectoryA((game_ + "\\a").c_str(), nullptr);
    CreateDirectoryA((game_ + "\\a\\b").c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(game_ + "\\a\\b\\x.txt", "x"));
    ASSERT_TRUE(WriteFileBytes(game_ + "\\a\\b\\y.dat", "y"));
    SetEnvironmentVariableA(kLaunchLogVariable, log_.c_str());
    // The readme's type opens with launch_recorder, as a text editor would.
    RegSetValueA(HKEY_CLASSES_ROOT, ".updoc", REG_SZ, "UpdE2eDoc", 0);
    std::string open = "\"" + recorder_ + "\" doc \"%1\"";
    RegSetValueA(HKEY_CLASSES_ROOT, "UpdE2eDoc\\shell\\open\\command", REG_SZ, open.c_str(), 0);
  }

  void TearDown() override { RunReg("delete \"HKCU\\" + key_ + "\" /f"); }

  void RegAdd(const std::string& name, const std::string& data) {
    ASSERT_EQ(RunReg("add \"HKCU\\" + key_ + "\" /v " + name + " /d \"" + data + "\" /f"), 0);
  }

  void Installed() {
    RegAdd("IsInst", "1");
    RegAdd("InstTo", game_);
  }

  std::string Env(bool readme, const std::string& extra = "") {
    std::string ini = game_ + "\\game.ini";
    std::replace(ini.begin(), ini.end(), ' ', '|');
    return "TITLEBAR テストゲーム\r\nREG_GLOBAL UpdE2eMaker\r\nREG_LOCAL " + name_ +
           "\r\nINSTTO Title\r\nKEYFILE Game.exe\r\nEXENAME Game.exe\r\nINI_FILE " + ini +
           "\r\nINI_SECTION System\r\n" +
           (readme ? "INSTREADME 更新内容を読む\r\nINSTREADMEFL update.updoc\r\n" : "") + extra +
           "[ini]\r\nPath=REP_INSTALL\r\nDisc=REP_CDROMDRIVE\r\nEmpty=\r\nno assignment\r\n-\r\n"
           "[reg]\r\n[HKEY_CURRENT_USER\\Software\\Elsewhere]\r\n"
           "\"SavePath\"=\"REP_INSTALL\\\\save\"\r\n\"Quote\"=\"say \\\"hi\\\"\"\r\n"
           "\"Count\"=dword:00000010\r\n-\r\n"
           "[delfiles_afterinst]\r\ninstall.env\r\nsavedata\\*.*\r\na\\b\\*.txt\r\n-\r\n[EOF]\r\n";
  }

  // The stand-in menu with the payload appended, started in the test folder.
  void Start(const std::string& env) {
    testpayload::Writer w;
    w.File("install.env", env, kStamp);
    w.File("Game.exe", ReadFileBytes(recorder_), kStamp);
    w.File("update.updoc", "what is new", kStamp);
    w.Folder("data");
    w.File("data\\new.dat", testpayload::SampleData(300000), kStamp + kSecond);
    std::string updater = dir_ / "updater.exe";
    ASSERT_TRUE(
        WriteFileBytes(updater, w.Finish(ReadFileBytes(DrvProgramFolder() + "update_menu.exe"))));
    report_ = dir_ / "report.txt";
    ASSERT_TRUE(DrvStart(&app_, updater, "\"" + report_ + "\"", dir_.path.c_str()));
    main_ = DrvWaitWindow(app_, kMenuClass);
    ASSERT_NE(main_, nullptr);
  }

  void Click() { ASSERT_TRUE(DrvClick(main_, kMenuUpdateButton)); }

  // Waits for a message box, presses the button and gives the message.
  std::string Answer(int button) {
    HWND box = DrvWaitWindow(app_, "#32770", kMenuTitle);
    EXPECT_NE(box, nullptr) << "no message box";
    if (!box) return "(none)";
    std::string message = DrvBoxMessage(box);
    EXPECT_TRUE(DrvClick(box, button));
    EXPECT_TRUE(DrvWaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }));
    return message;
  }

  // The result and current folder the menu reported for each run so far.
  std::vector<std::string> Runs(size_t count) {
    EXPECT_TRUE(DrvWaitFor([&] { return Lines(ReadFileBytes(report_)).size() >= count; }));
    return Lines(ReadFileBytes(report_));
  }

  int Exit() {
    int code = 0xBAD;
    EXPECT_TRUE(DrvWaitExit(&app_, &code, 30000));
    return code;
  }

  HWND CompletionDialog() {
    HWND dialog = DrvWaitWindow(app_, "#32770", kDoneTitle, 60000);
    EXPECT_NE(dialog, nullptr) << "no completion dialog";
    return dialog;
  }

  // The text of the dialog's static control.
  std::string StaticText(HWND dialog) {
    for (const DrvControl& c : DrvListControls(dialog)) {
      if (c.className == "Static") return c.text;
    }
    return "(none)";
  }

  std::string Ini(const char* key) {
    char text[512];
    GetPrivateProfileStringA("System", key, "(absent)", text, sizeof text,
                             (game_ + "\\game.ini").c_str());
    return text;
  }

  std::string Reg(const std::string& name) {
    std::string data;
    return RegQueryText(key_, name, &data) ? data : "(absent)";
  }

  TempFolder dir_;
  std::string name_, key_, game_, log_, recorder_, report_;
  DrvProcess app_;
  DrvGuard guard_{&app_};
  HWND main_ = nullptr;
};

#define EXPECT_MESSAGE(button, text)          \
  do {                                        \
    std::string shown = Answer(button);       \
    EXPECT_EQ(shown, text) << DrvUtf8(shown); \
  } while (0)

TEST_F(UpdateE2e, AutomaticRouteAppliesEverythingAndStartsTheGameBeforeTheReadme) {
  Installed();
  Start(Env(true));
  Click();
  EXPECT_MESSAGE(IDYES, "[" + game_ + "]をアップデートします");

  HWND done = CompletionDialog();
  ASSERT_NE(done, nullptr);
  EXPECT_EQ(StaticText(done), kDoneText);
  DrvControl readme = DrvFindControl(done, IDC_END_README);
  EXPECT_EQ(readme.text, kReadmeLabel) << DrvUtf8(readme.text);
  EXPECT_EQ(readme.checked, BST_UNCHECKED);
  DrvControl game = DrvFindControl(done, IDC_END_RUN_GAME);
  EXPECT_EQ(game.text, "ゲームの実行");
  EXPECT_EQ(game.checked, BST_CHECKED);
  EXPECT_EQ(DrvFindControl(done, IDOK).text, "OK");
  PostMessageA(readme.hwnd, BM_CLICK, 0, 0);  // the user ticks the readme box
  ASSERT_TRUE(DrvWaitFor([&] { return DrvFindControl(done, IDC_END_README).checked == 1; }));
  ASSERT_TRUE(DrvClick(done, IDOK));

  EXPECT_EQ(Exit(), 0);
  EXPECT_EQ(Runs(1), std::vector<std::string>{"0|" + game_});

  // The payload, with its time stamps; install.env was deleted by the list.
  EXPECT_EQ(ReadFileBytes(game_ + "\\Game.exe"), ReadFileBytes(recorder_));
  EXPECT_EQ(LastWriteTime(game_ + "\\Game.exe"), kStamp);
  EXPECT_EQ(LastWriteTime(game_ + "\\data\\new.dat"), kStamp + kSecond);
  EXPECT_EQ(ReadFileBytes(game_ + "\\update.updoc"), "what is new");
  EXPECT_FALSE(FileExists(game_ + "\\install.env"));
  // savedata\*.* emptied savedata, which went too; a stays for a\b.
  EXPECT_FALSE(FolderExists(game_ + "\\savedata"));
  EXPECT_FALSE(FileExists(game_ + "\\a\\b\\x.txt"));
  EXPECT_TRUE(FileExists(game_ + "\\a\\b\\y.dat"));

  EXPECT_EQ(Ini("Path"), game_);
  EXPECT_EQ(Ini("Disc"), FirstCdromDrive());
  EXPECT_EQ(Ini("Empty"), "");
  EXPECT_EQ(Reg("SavePath"), game_ + "\\save");
  EXPECT_EQ(Reg("Quote"), "say \"hi\"");
  EXPECT_EQ(Reg("Count"), "(absent)");

  // The game, then the readme, both in the target folder.
  ASSERT_TRUE(DrvWaitFor([&] { return Lines(ReadFileBytes(log_)).size() >= 2; }));
  std::vector<std::string> starts = Lines(ReadFileBytes(log_));
  ASSERT_EQ(starts.size(), 2u);
  std::sort(starts.begin(), starts.end(), [](const std::string& a, const std::string& b) {
    return std::stoull(Split(a)[0]) < std::stoull(Split(b)[0]);
  });
  std::vector<std::string> first = Split(starts[0]);
  std::vector<std::string> second = Split(starts[1]);
  ASSERT_EQ(first.size(), 3u);
  ASSERT_EQ(second.size(), 3u);
  EXPECT_EQ(first[2], "\"Game.exe\"");
  EXPECT_EQ(first[1], game_);
  EXPECT_NE(second[2].find("doc"), std::string::npos) << second[2];
  EXPECT_NE(second[2].find("update.updoc"), std::string::npos) << second[2];
  EXPECT_LT(std::stoull(first[0]), std::stoull(second[0]));
}

TEST_F(UpdateE2e, ManualRouteAndTheCloseBoxStartNothing) {
  Start(Env(false));
  Click();
  EXPECT_MESSAGE(IDOK, kNotInstalled);
  EXPECT_MESSAGE(IDYES, kAskManual);
  HWND setup = DrvWaitWindow(app_, "#32770", kSetupTitle);
  ASSERT_NE(setup, nullptr);
  ASSERT_TRUE(DrvType(setup, IDC_SETUP_FOLDER, game_ + "\\"));
  ASSERT_TRUE(DrvClick(setup, IDOK));
  EXPECT_MESSAGE(IDYES, "[" + game_ + "]をアップデートします");

  HWND done = CompletionDialog();
  ASSERT_NE(done, nullptr);
  EXPECT_EQ(DrvFindControl(done, IDC_END_README).hwnd, nullptr);
  EXPECT_EQ(StaticText(done), kDoneText);
  EXPECT_EQ(DrvFindControl(done, IDC_END_RUN_GAME).checked, BST_CHECKED);
  ASSERT_TRUE(DrvClose(done));

  EXPECT_EQ(Exit(), 0);
  EXPECT_EQ(Runs(1), std::vector<std::string>{"0|" + game_});
  EXPECT_EQ(ReadFileBytes(game_ + "\\Game.exe"), ReadFileBytes(recorder_));
  EXPECT_EQ(Reg("SavePath"), game_ + "\\save");
  // Time enough for a wrongly started game to leave its note.
  EXPECT_TRUE(DrvHolds([&] { return !FileExists(log_); }, 1500));
}

TEST_F(UpdateE2e, AbandonedRunsWriteNothingAndTheNextRunIsLikeTheFirst) {
  const std::string before = Tree(game_);
  Start(Env(true, "CHKREG Version\r\nCHKREGVER 100\r\nCHKREGVERHIGH 101\r\n"));
  RegAdd("Version", "100");

  Click();  // nothing recorded; the user declines to pick the folder
  EXPECT_MESSAGE(IDOK, kNotInstalled);
  EXPECT_MESSAGE(IDNO, kAskManual);
  EXPECT_MESSAGE(IDOK, kAbandoned);

  Click();  // the same again; this time the folder dialog is cancelled
  EXPECT_MESSAGE(IDOK, kNotInstalled);
  EXPECT_MESSAGE(IDYES, kAskManual);
  HWND setup = DrvWaitWindow(app_, "#32770", kSetupTitle);
  ASSERT_NE(setup, nullptr);
  ASSERT_TRUE(DrvClick(setup, IDCANCEL));
  EXPECT_MESSAGE(IDOK, kAbandoned);

  Installed();
  RegAdd("Version", "99");
  Click();  // a version refused: no manual route is offered
  EXPECT_MESSAGE(IDOK, kTooOld);
  EXPECT_MESSAGE(IDOK, kAbandoned);

  RegAdd("Version", "100");
  Click();  // the confirmation declined
  EXPECT_MESSAGE(IDNO, "[" + game_ + "]をアップデートします");
  EXPECT_MESSAGE(IDOK, kAbandoned);

  std::vector<std::string> runs = Runs(4);
  ASSERT_EQ(runs.size(), 4u);
  for (const std::string& run : runs) {
    EXPECT_EQ(run, runs[0]);
    EXPECT_EQ(run.substr(0, 3), "-1|");  // in the work folder, as the runs found it
  }
  EXPECT_EQ(Tree(game_), before);
  EXPECT_EQ(Reg("SavePath"), "(absent)");

  Click();  // the next run starts afresh and completes
  EXPECT_MESSAGE(IDYES, "[" + game_ + "]をアップデートします");
  HWND done = CompletionDialog();
  ASSERT_NE(done, nullptr);
  ASSERT_TRUE(DrvClick(done, IDOK));  // the defaults: the game, not the readme
  EXPECT_EQ(Exit(), 0);
  EXPECT_EQ(Runs(5).back(), "0|" + game_);
  EXPECT_EQ(Ini("Path"), game_);
  ASSERT_TRUE(DrvWaitFor([&] { return FileExists(log_); }));
  // Time enough for a second, wrong start to add its line.
  DrvHolds([&] { return Lines(ReadFileBytes(log_)).size() <= 1; }, 1500);
  std::vector<std::string> starts = Lines(ReadFileBytes(log_));
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(Split(starts[0]).back(), "\"Game.exe\"");
}

}  // namespace
