#include "target/target_folder.h"

#include <windows.h>

#include <cstring>

#include "env/env_keys.h"
#include "support/ansi.h"
#include "support/current_folder.h"
#include "support/fflayer.h"
#include "support/main_window.h"
#include "support/message_box.h"
#include "support/text.h"
#include "target/folder_rules.h"
#include "target/registry.h"
#include "target/setup_dialog.h"

const char kVersionTooOld[] = "アップデート元のバージョンが不適合です";

namespace {

const char kVersionTooNew[] = "既にアップデート適応済みです";
const char kNotInstalled[] = "本体がインストールされていません";
const char kFolderUnknown[] =
    "インストール先が特定できませんでした\n本体プログラムをインストールしてから実行してください";
const char kNetworkPath[] =
    "ネットワークドライブには対応していません。\nローカルドライブを選択して下さい。";
const char kRootFolder[] = "ルートには適応できません";
const char kNoKeyFile[] = "指定されたフォルダには [ %s ] 本体は発見できませんでした";
const char kConfirm[] = "[%s]をアップデートします";
// Refused rather than cut: a cut path would name another folder.
const char kFolderTooLong[] = "フォルダ名が長すぎます。\n短い名前のフォルダを指定して下さい。";

// Room for paths built on a folder of up to 260 bytes.
constexpr size_t kDirectorySize = 520;

// The installed version against the window CHKREGVER..CHKREGVERHIGH; true
// when it passes (or no version is checked), else after a message.
bool PassesVersionTest() {
  const char* valueName = EnvChkReg();
  if (!valueName) return true;
  int version = RegReadInt(EnvRegGlobal(), EnvRegLocal(), valueName, 0);
  switch (TargetCheckVersion(version, EnvChkRegVer(), EnvChkRegVerHigh())) {
    case kTargetVersionTooOld:
      ErrorBox("%s", kVersionTooOld);
      return false;
    case kTargetVersionTooNew:
      ErrorBox("%s", kVersionTooNew);
      return false;
    default:
      return true;
  }
}

// True when KEYFILE is not set or can be opened in the folder.
bool KeyFileFound(const char* folder) {
  const char* keyFile = EnvKeyFile();
  if (!keyFile) return true;
  char path[kDirectorySize];
  if (FormatText(path, sizeof path, "%s\\%s", folder, keyFile) >= static_cast<int>(sizeof path)) {
    return false;
  }
  return Ffexists(path) != 0;
}

// The recorded "InstTo" into folder; false when it is missing or too long to
// be named in full.
bool ReadRecordedFolder(char* folder) {
  char recorded[kRegTextSize];
  if (RegReadString(EnvRegGlobal(), EnvRegLocal(), "InstTo", "", recorded, sizeof recorded) != 0 ||
      strlen(recorded) >= static_cast<size_t>(kTargetFolderSize)) {
    return false;
  }
  CopyText(folder, kTargetFolderSize, recorded);
  return true;
}

bool IsInstalled() { return RegReadInt(EnvRegGlobal(), EnvRegLocal(), "IsInst", 0) != 0; }

// The SETUP dialog, owned by the main window: true for "次へ".
bool RunSetupDialog() {
  HWND owner = MainWindow();
  HINSTANCE instance = owner ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE))
                             : GetModuleHandleA(nullptr);
  return DialogBoxParamA(instance, "SETUP", owner, SetupDialogProc, 0) == 1;
}

}  // namespace

int FindTargetFolder(char* out) {
  if (!PassesVersionTest()) return -2;
  SavedFolder directory;
  SaveCurrentFolder(&directory);
  char* folder = TargetFolderText();
  if (!IsInstalled()) {
    ErrorBox("%s", kNotInstalled);
    RestoreCurrentFolder(directory);
    return -1;
  }
  // Used as recorded: a trailing backslash stays.
  if (!ReadRecordedFolder(folder)) folder[0] = '\0';
  if (folder[0] == '\0' || !KeyFileFound(folder)) {
    ErrorBox("%s", kFolderUnknown);
    RestoreCurrentFolder(directory);
    return -1;
  }
  RestoreCurrentFolder(directory);
  if (!AskYesNo(kConfirm, folder)) return -2;
  CopyText(out, kTargetFolderSize, folder);
  return 0;
}

int AskTargetFolder(char* out) {
  SavedFolder directory;
  SaveCurrentFolder(&directory);
  char windowsDir[kDirectorySize];
  UINT n = GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
  if (n == 0 || n >= sizeof windowsDir) windowsDir[0] = '\0';
  TargetFolderRules rules = {windowsDir, EnvInstMakeFol(), EnvInstFol(), EnvInstTo()};

  char* folder = TargetFolderText();
  bool haveFolder = TargetSuggestion(folder, rules, AnsiIsLeadByte) == kTargetFolderOk;
  if (IsInstalled() && ReadRecordedFolder(folder)) haveFolder = true;
  if (!haveFolder) {
    RestoreCurrentFolder(directory);
    ErrorBox("%s", kFolderTooLong);
    return -1;
  }

  if (!RunSetupDialog()) {
    RestoreCurrentFolder(directory);
    return -1;
  }
  TargetFolderCheck check =
      SetupEntryTooLong() ? kTargetFolderTooLong : TargetNormalise(folder, rules, AnsiIsLeadByte);
  RestoreCurrentFolder(directory);
  switch (check) {
    case kTargetFolderNetwork:
      ErrorBox("%s", kNetworkPath);
      return -1;
    case kTargetFolderRoot:
      ErrorRetryBox("%s", kRootFolder);  // Cancel ends the program
      return -1;
    case kTargetFolderTooLong:
      ErrorBox("%s", kFolderTooLong);
      return -1;
    default:
      break;
  }

  if (!KeyFileFound(folder)) {
    ErrorBox(kNoKeyFile, EnvTitleBar());
    return -1;
  }
  if (!PassesVersionTest()) return -1;
  if (!AskYesNo(kConfirm, folder)) return -1;
  CopyText(out, kTargetFolderSize, folder);
  return 0;
}
