// Stands in for the game and for the program that opens the readme: it
// appends "<creation time>|<current folder>|<command line>" to the file that
// UPD_LAUNCH_LOG names and ends. The creation time (FILETIME) orders the
// starts even when the two processes write in the other order.
#include <windows.h>

#include <cstdio>

#include "e2e/update/menu_protocol.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char log[MAX_PATH];
  DWORD n = GetEnvironmentVariableA(kLaunchLogVariable, log, sizeof log);
  if (n == 0 || n >= sizeof log) return 2;
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  unsigned long long stamp =
      (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof folder, folder);
  // Another recorder may hold the file for a moment.
  for (int attempt = 0; attempt < 100; ++attempt) {
    HANDLE file = CreateFileA(log, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      Sleep(20);
      continue;
    }
    char line[1024];
    int length = snprintf(line, sizeof line, "%llu|%s|%s\n", stamp, folder, GetCommandLineA());
    if (length < 0) length = 0;
    if (length >= static_cast<int>(sizeof line)) length = sizeof line - 1;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
    return 0;
  }
  return 1;
}
