// Stands in for the update procedure: loads an install.env, calls one route
// to the target folder and reports what it gave back:
//   target_app find|ask ENVFILE REPORTFILE
// The report holds the result, the folder, and the current directory before
// and after the call, one per line; the exit code is the result.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "env/env_load.h"
#include "support/fflayer.h"
#include "support/main_window.h"
#include "target/target_folder.h"

namespace {

std::string CurrentDirectory() {
  char path[520];
  DWORD n = GetCurrentDirectoryA(sizeof path, path);
  return n > 0 && n < sizeof path ? std::string(path) : std::string("?");
}

HWND MakeMainWindow(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = instance;
  wc.lpszClassName = "TargetAppMain";
  RegisterClassA(&wc);
  return CreateWindowA("TargetAppMain", "テスト用メイン画面", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                       10, 300, 200, nullptr, nullptr, instance, nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc < 4) return 100;
  CoInitialize(nullptr);
  FfsetDirectOpen(1);
  EnvLoad(__argv[2]);
  SetMainWindow(MakeMainWindow(instance));

  std::string before = CurrentDirectory();
  char folder[260] = "(untouched)";
  int result = strcmp(__argv[1], "find") == 0 ? FindTargetFolder(folder) : AskTargetFolder(folder);
  std::string after = CurrentDirectory();

  FILE* report = fopen(__argv[3], "wb");
  if (!report) return 102;
  fprintf(report, "%d\n%s\n%s\n%s\n", result, folder, before.c_str(), after.c_str());
  fclose(report);
  return result;
}
