#include "update/launch.h"

#include <windows.h>

#include <shellapi.h>

#include <cstring>

#include "support/main_window.h"
#include "support/text.h"

int StartProgram(const char* path) {
  char commandLine[MAX_PATH];
  // Two quotes and the terminator must fit: a cut path could start another
  // program, so a longer one starts nothing.
  if (strlen(path) + 3 > sizeof commandLine) return 0;
  FormatText(commandLine, sizeof commandLine, "\"%s\"", path);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  BOOL created = CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                &startup, &info);
  if (created) {
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
  }
  return created;
}

void OpenDocument(const char* path) {
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof info;
  info.hwnd = MainWindow();
  info.lpVerb = "open";
  info.lpFile = path;
  info.nShow = SW_SHOWNORMAL;
  ShellExecuteExA(&info);
}
