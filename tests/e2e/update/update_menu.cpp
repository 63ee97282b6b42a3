// A stand-in for the updater's main menu, for the end-to-end tests: started
// with a payload appended (the test appends it), it reads its configuration
// from the payload as the updater does and shows one window whose button
// runs RunUpdate, as often as it is clicked:
//
//   update_menu REPORT
//
// After every run it appends "<result>|<current folder>" to REPORT. A run
// that returns 0 ends the program as the menu does: the work folder is
// removed and the exit code is 0.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "e2e/update/menu_protocol.h"
#include "env/env_load.h"
#include "payload/extract.h"
#include "payload/format.h"
#include "startup/workfolder.h"
#include "support/fflayer.h"
#include "support/main_window.h"
#include "update/run_update.h"

namespace {

std::string g_report;
bool g_busy = false;

void Report(int result) {
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof folder, folder);
  FILE* f = fopen(g_report.c_str(), "ab");
  if (f) {
    fprintf(f, "%d|%s\n", result, folder);
    fclose(f);
  }
}

LRESULT CALLBACK MenuProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == kMenuUpdateButton && !g_busy) {
    g_busy = true;
    int result = RunUpdate();
    Report(result);
    if (result == 0) {
      RemoveWorkFolder();
      exit(0);
    }
    g_busy = false;
    return 0;
  }
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  g_report = __argc > 1 ? __argv[1] : "report.txt";
  FfsetDirectOpen(1);
  CreateWorkFolder();
  ExtractPayload(WorkFolderPath(), kPayloadStartupMode);
  EnvLoad("install.env");
  SectionListsLoad("install.env");

  WNDCLASSA wc = {};
  wc.lpfnWndProc = MenuProc;
  wc.hInstance = instance;
  wc.lpszClassName = kMenuClass;
  RegisterClassA(&wc);
  HWND window = CreateWindowA(kMenuClass, kMenuTitle, WS_OVERLAPPEDWINDOW, 10, 10, 300, 200,
                              nullptr, nullptr, instance, nullptr);
  CreateWindowA("BUTTON", "アップデート", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 120, 30,
                window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMenuUpdateButton)), instance,
                nullptr);
  SetMainWindow(window);
  ShowWindow(window, SW_SHOW);  // with its button, so the test finds both at once
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  RemoveWorkFolder();
  return 1;
}
