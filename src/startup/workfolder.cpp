#include "startup/workfolder.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "startup/workfolder_name.h"
#include "support/filematch.h"
#include "support/path_text.h"
#include "support/system_dll.h"
#include "support/text.h"

namespace {

char g_startFolder[MAX_PATH];
// Room for a temp path of 259 bytes, a backslash and the folder name.
char g_workFolder[MAX_PATH + 32];
size_t g_tempLength = 0;  // the temp path's part of it, its backslash included

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
  g_tempLength = strlen(g_workFolder);
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

void MarkWorkFolder(const char* owner) {
  if (g_workFolder[0] == '\0') return;
  char path[MAX_PATH + 48];
  FormatText(path, sizeof path, "%s\\%s", g_workFolder, kWorkFolderOwnerFile);
  HANDLE file =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, owner, static_cast<DWORD>(strlen(owner)), &written, nullptr);
  CloseHandle(file);
}

namespace {

// True when the folder holds the owner file and it names exactly `owner`.
bool OwnedBy(const char* folder, const char* owner) {
  char path[MAX_PATH + 48];
  if (FormatText(path, sizeof path, "%s\\%s", folder, kWorkFolderOwnerFile) >= MAX_PATH) {
    return false;
  }
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char text[260];
  DWORD read = 0;
  BOOL ok = ReadFile(file, text, sizeof text, &read, nullptr);
  CloseHandle(file);
  size_t length = strlen(owner);
  return ok && read == length && memcmp(text, owner, length) == 0;
}

}  // namespace

void RemoveStaleWorkFolders(const char* owner) {
  if (g_workFolder[0] == '\0' || owner[0] == '\0') return;
  // Its siblings in the temp folder.
  std::string temp(g_workFolder, g_tempLength);
  char pattern[MAX_PATH + 32];
  FormatText(pattern, sizeof pattern, "%s%s", temp.c_str(), kWorkFolderPattern);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    char folder[MAX_PATH + 32];
    if (FormatText(folder, sizeof folder, "%s%s", temp.c_str(), found.cFileName) >= MAX_PATH)
      continue;
    if (lstrcmpiA(folder, g_workFolder) == 0 || !OwnedBy(folder, owner)) continue;
    DeleteMatchingFiles(folder, "*.*");
    RemoveDirectoryA(folder);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}
