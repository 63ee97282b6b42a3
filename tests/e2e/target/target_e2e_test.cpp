// The two routes to the target folder as the user meets them: target_app
// stands in for the update procedure; the registry is prepared directly.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/driver/uidriver.h"
#include "resources/setup_ids.h"
#include "win/common/temp_folder.h"

namespace {

const char kMainTitle[] = "テスト用メイン画面";
const char kSetupTitle[] = "アップデート先のフォルダの指定";
const char kNotInstalled[] = "本体がインストールされていません";
const char kFolderUnknown[] =
    "インストール先が特定できませんでした\n本体プログラムをインストールしてから実行してください";
const char kTooOld[] = "アップデート元のバージョンが不適合です";
const char kTooNew[] = "既にアップデート適応済みです";
const char kNetworkPath[] =
    "ネットワークドライブには対応していません。\nローカルドライブを選択して下さい。";
const char kRootFolder[] = "ルートには適応できません";
const char kNoKeyFile[] = "指定されたフォルダには [ テストゲーム ] 本体は発見できませんでした";
const char kFolderTooLong[] = "フォルダ名が長すぎます。\n短い名前のフォルダを指定して下さい。";

struct Report {
  int result = 0xBAD;
  std::string folder;
};

std::string Replace(std::string text, char from, char to) {
  for (char& c : text) {
    if (c == from) c = to;
  }
  return text;
}

class TargetE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    local_ = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    game_ = dir_ / "Title";
    CreateDirectoryA(game_.c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(game_ + "\\game.exe", "MZ"));
  }

  void TearDown() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, ("Software\\E2eMaker\\" + local_).c_str());
  }

  void SetValue(const char* name, const std::string& text) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, ("Software\\E2eMaker\\" + local_).c_str(), 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
  }

  void Installed(const std::string& folder) {
    SetValue("IsInst", "1");
    SetValue("InstTo", folder);
  }

  // Starts target_app on an install.env of the standard keys and extra.
  void Start(const char* mode, const std::string& extra = "") {
    std::string env = "TITLEBAR テストゲーム\r\nREG_GLOBAL E2eMaker\r\nREG_LOCAL " + local_ +
                      "\r\nINSTFOL Maker\r\nINSTTO Title\r\nKEYFILE game.exe\r\n" + extra;
    ASSERT_TRUE(WriteFileBytes(dir_ / "install.env", env));
    DeleteFileA((dir_ / "report.txt").c_str());
    ASSERT_TRUE(DrvStart(&app_, "target_app.exe",
                         std::string(mode) + " " + (dir_ / "install.env") + " " +
                             (dir_ / "report.txt"),
                         dir_.path.c_str()));
  }

  // The app's end: its result and folder, and the current directory must be
  // the one it had before the call.
  Report Finish() {
    Report r;
    int code = 0xBAD;
    EXPECT_TRUE(DrvWaitExit(&app_, &code));
    std::vector<std::string> lines;
    std::string text = ReadFileBytes(dir_ / "report.txt");
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
      lines.push_back(text.substr(at, end - at));
    }
    EXPECT_EQ(lines.size(), 4u) << text;
    if (lines.size() != 4) return r;
    r.result = atoi(lines[0].c_str());
    r.folder = lines[1];
    EXPECT_EQ(r.result, code);
    EXPECT_EQ(lines[2], dir_.path);
    EXPECT_EQ(lines[3], lines[2]) << "current directory not restored";
    return r;
  }

  // Waits for a message box (captioned with the main window's title),
  // presses the button and gives the message.
  std::string Answer(int button) {
    HWND box = DrvWaitWindow(app_, "#32770", kMainTitle);
    EXPECT_NE(box, nullptr) << "no message box";
    if (!box) return "(none)";
    std::string message = DrvBoxMessage(box);
    EXPECT_TRUE(DrvClick(box, button));
    EXPECT_TRUE(DrvWaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }));
    return message;
  }

  HWND SetupDialog() {
    HWND dialog = DrvWaitWindow(app_, "#32770", kSetupTitle);
    EXPECT_NE(dialog, nullptr) << "no SETUP dialog";
    return dialog;
  }

  std::string EditText(HWND dialog) { return DrvFindControl(dialog, IDC_SETUP_FOLDER).text; }

  // The manual route with this entry, "次へ" pressed by Enter in the edit field.
  void Enter(const std::string& entry) {
    HWND dialog = SetupDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(DrvType(dialog, IDC_SETUP_FOLDER, entry));
    ASSERT_TRUE(DrvKey(GetDlgItem(dialog, IDC_SETUP_FOLDER), VK_RETURN));
  }

  TempFolder dir_;
  std::string game_;
  std::string local_;
  DrvProcess app_;
  DrvGuard guard_{&app_};
};

#define EXPECT_MESSAGE(button, text)          \
  do {                                        \
    std::string shown = Answer(button);       \
    EXPECT_EQ(shown, text) << DrvUtf8(shown); \
  } while (0)

TEST_F(TargetE2e, AutomaticRouteConfirmsTheRecordedFolder) {
  Installed(game_);
  Start("find");
  EXPECT_MESSAGE(IDYES, "[" + game_ + "]をアップデートします");
  Report r = Finish();
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.folder, game_);

  Start("find");
  EXPECT_MESSAGE(IDNO, "[" + game_ + "]をアップデートします");
  EXPECT_EQ(Finish().result, -2);
}

TEST_F(TargetE2e, AutomaticRouteRefusals) {
  Start("find");  // nothing recorded
  EXPECT_MESSAGE(IDOK, kNotInstalled);
  EXPECT_EQ(Finish().result, -1);

  SetValue("IsInst", "1");  // no folder recorded
  Start("find");
  EXPECT_MESSAGE(IDOK, kFolderUnknown);
  EXPECT_EQ(Finish().result, -1);

  SetValue("InstTo", dir_.path);  // a folder without the key file
  Start("find");
  EXPECT_MESSAGE(IDOK, kFolderUnknown);
  Report r = Finish();
  EXPECT_EQ(r.result, -1);
  EXPECT_EQ(r.folder, "(untouched)");
}

TEST_F(TargetE2e, VersionWindowComesFirstAndRefusesWithMinusTwo) {
  const std::string window = "CHKREG Version\r\nCHKREGVER 1000\r\nCHKREGVERHIGH 2000\r\n";
  // "IsInst" is not even recorded: the version test speaks first.
  SetValue("Version", "999");
  Start("find", window);
  EXPECT_MESSAGE(IDOK, kTooOld);
  EXPECT_EQ(Finish().result, -2);
  SetValue("Version", "2001");
  Start("find", window);
  EXPECT_MESSAGE(IDOK, kTooNew);
  EXPECT_EQ(Finish().result, -2);

  Installed(game_);
  for (const char* bound : {"1000", "2000"}) {
    SetValue("Version", bound);
    Start("find", window);
    EXPECT_MESSAGE(IDYES, "[" + game_ + "]をアップデートします");
    EXPECT_EQ(Finish().result, 0) << bound;
  }
  // The manual route refuses the same versions with -1, after the dialog.
  SetValue("Version", "2001");
  Start("ask", window);
  Enter(game_);
  EXPECT_MESSAGE(IDOK, kTooNew);
  EXPECT_EQ(Finish().result, -1);
}

TEST_F(TargetE2e, SetupDialogTemplate) {
  Start("ask");
  HWND dialog = SetupDialog();
  ASSERT_NE(dialog, nullptr);
  struct Expected {
    int id;
    const char* className;
    const char* text;
    LONG style;
    RECT units;  // x, y, width, height
  };
  const Expected expected[] = {
      {IDOK, "Button", "次へ", BS_PUSHBUTTON | WS_TABSTOP, {115, 75, 40, 14}},
      {IDCANCEL, "Button", "ｷｬﾝｾﾙ", BS_PUSHBUTTON | WS_TABSTOP, {160, 75, 40, 14}},
      {IDC_SETUP_FOLDER, "Edit", "C:\\Program Files\\Maker\\Title",
       WS_TABSTOP | ES_AUTOHSCROLL, {10, 26, 130, 12}},  // it draws its WS_BORDER itself
      {IDC_SETUP_BROWSE, "Button", "参照(&B)", BS_PUSHBUTTON | WS_TABSTOP, {145, 25, 50, 14}},
      {-1, "Button", "", BS_GROUPBOX, {5, 15, 195, 30}},
      {-1, "Static",
       "[参照]ボタンで、既存のフォルダを参照できます\n[次へ]ボタンでインストールを開始します",
       SS_LEFT | WS_GROUP, {5, 50, 191, 20}},
      {-1, "Static", "アップデート先フォルダを指定してください", SS_LEFT | WS_GROUP,
       {10, 5, 190, 8}},
  };
  // The dialog's base units, from its client area of 203 x 95 dialog units
  // (MapDialogRect does not reach into another process).
  RECT client;
  GetClientRect(dialog, &client);
  int baseX = (4 * client.right + 101) / 203;
  int baseY = (8 * client.bottom + 47) / 95;
  std::vector<DrvControl> controls = DrvListControls(dialog);
  ASSERT_EQ(controls.size(), sizeof expected / sizeof expected[0]);
  for (size_t i = 0; i < controls.size(); ++i) {
    const Expected& e = expected[i];
    EXPECT_EQ(controls[i].id == 0xFFFF ? -1 : controls[i].id, e.id) << i;
    EXPECT_EQ(controls[i].className, e.className) << i;
    EXPECT_EQ(controls[i].text, e.text) << i << ": " << DrvUtf8(controls[i].text);
    LONG style = GetWindowLongA(controls[i].hwnd, GWL_STYLE);
    EXPECT_EQ(style & e.style, e.style) << i;
    RECT units = {MulDiv(e.units.left, baseX, 4), MulDiv(e.units.top, baseY, 8), 0, 0};
    units.right = units.left + MulDiv(e.units.right, baseX, 4);
    units.bottom = units.top + MulDiv(e.units.bottom, baseY, 8);
    RECT actual;
    GetWindowRect(controls[i].hwnd, &actual);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
    EXPECT_EQ(actual.left, units.left) << i;
    EXPECT_EQ(actual.top, units.top) << i;
    EXPECT_EQ(actual.right, units.right) << i;
    EXPECT_EQ(actual.bottom, units.bottom) << i;
  }
  LONG style = GetWindowLongA(dialog, GWL_STYLE);
  EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU), WS_POPUP | WS_CAPTION | WS_SYSMENU);
  ASSERT_TRUE(DrvKey(GetDlgItem(dialog, IDC_SETUP_FOLDER), VK_ESCAPE));
  EXPECT_EQ(Finish().result, -1);  // Esc: cancelled without a message
}

TEST_F(TargetE2e, ManualRouteAcceptsANormalisedEntry) {
  Installed(dir_ / "Recorded");  // shown instead of the suggestion
  Start("ask");
  HWND dialog = SetupDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(EditText(dialog), dir_ / "Recorded");
  Enter(Replace(game_, '\\', '/') + "/");
  EXPECT_MESSAGE(IDYES, "[" + game_ + "]をアップデートします");
  Report r = Finish();
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.folder, game_);

  Start("ask");
  Enter(game_);
  EXPECT_MESSAGE(IDNO, "[" + game_ + "]をアップデートします");
  EXPECT_EQ(Finish().result, -1);
}

TEST_F(TargetE2e, CloseBoxCancelsAndACancelledBrowseRestoresTheFolderText) {
  Start("ask");
  HWND dialog = SetupDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(DrvType(dialog, IDC_SETUP_FOLDER, "D:\\typed"));
  ASSERT_TRUE(DrvClick(dialog, IDC_SETUP_BROWSE));
  HWND browser = nullptr;
  ASSERT_TRUE(DrvWaitFor([&] {
    for (HWND w : DrvTopWindows(app_)) {
      if (w != dialog && DrvClassName(w) == "#32770") browser = w;
    }
    return browser != nullptr;
  })) << "the folder browser did not open";
  ASSERT_TRUE(DrvClick(browser, IDCANCEL));
  EXPECT_TRUE(DrvWaitFor([&] { return EditText(dialog) == "C:\\Program Files\\Maker\\Title"; }))
      << DrvUtf8(EditText(dialog));
  ASSERT_TRUE(DrvClose(dialog));
  EXPECT_EQ(Finish().result, -1);
}

TEST_F(TargetE2e, ManualRouteRefusals) {
  struct Case {
    std::string entry;
    std::string message;
  };
  const Case cases[] = {
      {"\\\\server\\share\\game", kNetworkPath},
      {"//server/share/game", kNetworkPath},
      {"C:\\Games\\\\Title", kNetworkPath},
      {dir_.path, kNoKeyFile},
      {"C:\\" + std::string(260, 'x'), kFolderTooLong},  // longer than the folder text
      {dir_.path + "\\" + std::string(250 - dir_.path.size(), 'x'), kFolderTooLong},  // + "\Maker\Title"
  };
  for (const Case& c : cases) {
    Start("ask", "INSTMAKEFOL 1\r\n");
    Enter(c.entry);
    EXPECT_MESSAGE(IDOK, c.message);
    EXPECT_EQ(Finish().result, -1) << c.entry;
  }
  // Without the completion a drive alone is a root: Retry returns -1, Cancel
  // ends the program.
  Start("ask");
  Enter("C:");
  EXPECT_MESSAGE(IDRETRY, kRootFolder);
  EXPECT_EQ(Finish().result, -1);
  Start("ask");
  Enter("");
  EXPECT_MESSAGE(IDCANCEL, kRootFolder);
  int code = 0;
  EXPECT_TRUE(DrvWaitExit(&app_, &code));
  EXPECT_EQ(code, -1);
  EXPECT_FALSE(FileExists(dir_ / "report.txt"));
}

}  // namespace
