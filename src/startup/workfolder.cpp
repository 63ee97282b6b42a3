#include "startup/workfolder.h"

#include <windows.h>

#include <cstring>

#include "startup/workfolder_name.h"
#include "support/filematch.h"
#include "support/path_text.h"
#include "support/system_dll.h"
#include "support/text.h"

namespace {

char g_startFolder[MAX_PATH];
// Room for a temp path of 259 bytes, a backslash and the folder name.
char g_workFolder[MAX_PATH + 32];

}  // namespace

void CreateWorkFolder() {
  if (GetCurrentDirectoryA(MAX_PATH - 1, g_startFolder) >= MAX_PATH - 1) g_startFolder[0] = '\0';
  char name[128];
  FormatWorkFolderName(name, sizeof name, SystemDllTimeGetTime());
  DWORD n = GetTempPathA(MAX_PATH - 1, g_workFolder);
  if (n == 0 || n >= MAX_PATH - 1) {
    // No temp path: no folder is made and the current folder stays; the
    // extraction that follows then fails with its own message.
    g_workFolder[0] = '\0';
    return;
  }
  AddTrailingBackslash(g_workFolder);
  AppendText(g_workFolder, sizeof g_workFolder, name);
  CreateDirectoryA(g_workFolder, nullptr);
  SetCurrentDirectoryA(g_workFolder);
}

void RemoveWorkFolder() {
  if (g_workFolder[0] == '\0') return;
  SetCurrentDirectoryA(g_startFolder);
  DeleteMatchingFiles(g_workFolder, "*.*");
  RemoveDirectoryA(g_workFolder);
}

const char* WorkFolderPath() { return g_workFolder; }

const char* StartFolderPath() { return g_startFolder; }
