// The updater's process entry: the work folder, the start-up files from the
// payload, the configuration, the single-instance guard, then the main menu.
//
// How the program ends: WinMain returns 0 when the menu has closed (after an
// update, or 終了); every other way out is exit() from inside a call:
//   exit(0)   the single-instance guard (KeepSecondCopyOut, below);
//   exit(-1)  no install.env or no main menu (below); a failed extraction
//             (ExtractPayload, payload/extract.cpp); an unreadable or
//             unterminated section (SectionListsLoad, env/sections_load.cpp);
//             Cancel in ErrorRetryBox (support/message_box.h); out of memory
//             (AllocOrExit, support/alloc_or_exit.h);
//   exit(n)   a WM_QUIT met by PumpMessages (support/main_window.h).
// The exit handlers run on each: the environment table, the file layer's
// lock and COM.
#include <windows.h>

#include <objbase.h>

#include <cstdlib>

#include "env/env_keys.h"
#include "env/env_load.h"
#include "payload/extract.h"
#include "payload/format.h"
#include "startup/main_menu.h"
#include "startup/workfolder.h"
#include "support/fflayer.h"
#include "support/message_box.h"
#include "support/system_dll.h"
#include "support/text.h"

namespace {

constexpr const char kMissingFiles[] =
    "起動に必要なファイルが不足しています。\nインストールの異常終了、起動するフォルダ異常、等を確認"
    "してください。";

void UninitializeCom() { CoUninitialize(); }

// Leaves quietly when the guard cannot be made, and after a message when
// another copy with the same title runs; either way with exit code 0.
void KeepSecondCopyOut() {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, EnvUpdaterTitle());
  if (!mutex) {
    RemoveWorkFolder();
    exit(0);
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    char message[1024];
    FormatText(message, sizeof message, "[ %s ] は既に起動中です", EnvUpdaterTitle());
    MessageBoxA(nullptr, message, EnvTitleBar(), MB_ICONERROR);
    RemoveWorkFolder();
    exit(0);
  }
  // The mutex stays owned and open until the process ends. No other copy of
  // this update runs now: work folders it marked were left by killed runs.
  MarkWorkFolder(EnvUpdaterTitle());
  RemoveStaleWorkFolders(EnvUpdaterTitle());
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Before COM or anything else can load a DLL from the program's folder.
  SystemDllRestrictSearch();
  CoInitialize(nullptr);
  atexit(UninitializeCom);
  FfsetDirectOpen(1);
  CreateWorkFolder();
  ExtractPayload(WorkFolderPath(), kPayloadStartupMode);

  char name[128];
  CopyText(name, sizeof name, "install.env");
  if (!Ffexists(name)) {
    ErrorBox("%s", kMissingFiles);
    RemoveWorkFolder();
    exit(-1);
  }
  EnvLoad(name);
  SectionListsLoad(name);
  KeepSecondCopyOut();

  for (;;) {
    INT_PTR result = DialogBoxParamA(instance, "MAINDIALOG", nullptr, MainMenuProc, 0);
    if (result == 0) break;
    if (result == -1) {
      // The dialog could not be made at all: showing it again would fail
      // the same way.
      ErrorBox("メインウィンドウを作成できませんでした。");
      RemoveWorkFolder();
      exit(-1);
    }
  }
  return 0;
}
