#include "support/filematch.h"

#include <windows.h>

#include <cstring>

#include "support/ansi.h"
#include "support/current_folder.h"
#include "support/path_text.h"
#include "support/text.h"

namespace {

enum class SearchState { kNone, kFirstPending, kNext };

struct FileSearch {
  HANDLE handle = INVALID_HANDLE_VALUE;
  SearchState state = SearchState::kNone;
  char pattern[MAX_PATH];
  WIN32_FIND_DATAA data;
  char result[MAX_PATH];
};

FileSearch g_search;

void CloseSearch() {
  if (g_search.handle != INVALID_HANDLE_VALUE) FindClose(g_search.handle);
  g_search.handle = INVALID_HANDLE_VALUE;
  g_search.state = SearchState::kNone;
}

bool IsFolder(const WIN32_FIND_DATAA& data) {
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The pattern's drive and folder followed by the entry's name. Null when the
// joined path would not fit the result buffer.
const char* ComposeResult() {
  PathParts parts;
  SplitPath(g_search.pattern, &parts, AnsiIsLeadByte);
  char path[MAX_PATH * 2];
  FormatText(path, sizeof path, "%s%s%s", parts.drive, parts.dir, g_search.data.cFileName);
  if (strlen(path) >= sizeof g_search.result) return nullptr;
  return CopyText(g_search.result, sizeof g_search.result, path);
}

}  // namespace

int FindFirstMatch(const char* pattern) {
  CloseSearch();
  if (strlen(pattern) >= sizeof g_search.pattern) return 1;
  CopyText(g_search.pattern, sizeof g_search.pattern, pattern);
  HANDLE handle = FindFirstFileA(g_search.pattern, &g_search.data);
  if (handle == INVALID_HANDLE_VALUE) return 1;
  g_search.handle = handle;
  g_search.state = SearchState::kFirstPending;
  return 0;
}

const char* FindNextMatch() {
  if (g_search.handle == INVALID_HANDLE_VALUE || g_search.state == SearchState::kNone) {
    return nullptr;
  }
  for (;;) {
    if (g_search.state == SearchState::kFirstPending) {
      g_search.state = SearchState::kNext;
    } else if (!FindNextFileA(g_search.handle, &g_search.data)) {
      CloseSearch();
      return nullptr;
    }
    if (IsFolder(g_search.data)) continue;
    const char* path = ComposeResult();
    if (path) return path;
    // An entry whose path does not fit is passed over rather than cut: a cut
    // path could name another file.
  }
}

void DeleteMatchingFiles(const char* folder, const char* pattern) {
  SavedFolder saved;
  if (!SaveCurrentFolder(&saved)) return;  // could not be restored afterwards
  if (!SetCurrentDirectoryA(folder)) return;
  if (FindFirstMatch(pattern) == 0) {
    while (const char* path = FindNextMatch()) DeleteFileA(path);
  }
  RestoreCurrentFolder(saved);
}
