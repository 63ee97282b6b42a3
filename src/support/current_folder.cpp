#include "support/current_folder.h"

#include <windows.h>

bool SaveCurrentFolder(SavedFolder* folder) {
  DWORD n = GetCurrentDirectoryA(sizeof folder->path, folder->path);
  folder->saved = n > 0 && n < sizeof folder->path;
  return folder->saved;
}

void RestoreCurrentFolder(const SavedFolder& folder) {
  if (folder.saved) SetCurrentDirectoryA(folder.path);
}
