#include "support/fflayer.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "support/ansi.h"
#include "support/message_box.h"
#include "support/text.h"

namespace {

CRITICAL_SECTION g_lock;
bool g_lockReady = false;
char g_prefix[kFfpathSize];
int g_directOpen = 0;
FileSource* g_sources = nullptr;

void DeleteLock() {
  DeleteCriticalSection(&g_lock);
  g_lockReady = false;
}

void EnsureLock() {
  if (g_lockReady) return;
  InitializeCriticalSection(&g_lock);
  g_lockReady = true;
  atexit(DeleteLock);
}

// Joins parts into out; false when the path would not fit (it is then not
// tried at all rather than cut into another name).
bool JoinPath(char* out, const char* a, const char* separator, const char* b) {
  return FormatText(out, kFfpathSize, "%s%s%s", a, separator, b) < kFfpathSize;
}

// What one lookup does with a candidate path: open it, or probe and report.
struct Lookup {
  const char* mode;  // null: resolve only
  FILE* file;
  char path[kFfpathSize];
};

bool TryOpen(Lookup* lookup, const char* path) {
  FILE* f = fopen(path, lookup->mode ? lookup->mode : "rb");
  if (!f) return false;
  if (lookup->mode) {
    lookup->file = f;
  } else {
    fclose(f);
  }
  CopyText(lookup->path, sizeof lookup->path, path);
  return true;
}

bool TryDirect(Lookup* lookup, const char* name) {
  char path[kFfpathSize];
  if (g_prefix[0] != '\0') {
    return JoinPath(path, g_prefix, "", name) && TryOpen(lookup, path);
  }
  return g_directOpen != 0 && JoinPath(path, "", "", name) && TryOpen(lookup, path);
}

bool TryFolderSource(Lookup* lookup, const FileSource* source, const char* name, uint32_t hash) {
  for (int32_t i = 0; i < source->folderCount; ++i) {
    const FolderIndexEntry& entry = source->folderTable[i];
    if (entry.nameHash != hash) continue;
    char path[kFfpathSize];
    if (!JoinPath(path, entry.folder, "\\", name)) continue;
    if (!lookup->mode) {  // the first matching folder decides, unopened
      CopyText(lookup->path, sizeof lookup->path, path);
      return true;
    }
    if (TryOpen(lookup, path)) return true;
  }
  return false;
}

bool TryArchiveSource(Lookup* lookup, const FileSource* source, uint32_t hash) {
  const ArchiveIndexEntry* entry =
      FffindArchiveEntry(source->archiveTable, source->archiveCount, hash);
  if (!entry) return false;
  if (!lookup->mode) {
    CopyText(lookup->path, sizeof lookup->path, source->path);
    return true;
  }
  FILE* f = fopen(source->path, lookup->mode);
  if (!f) return false;
  if (fseek(f, static_cast<long>(entry->offset), SEEK_SET) != 0) {
    fclose(f);
    return false;
  }
  lookup->file = f;
  CopyText(lookup->path, sizeof lookup->path, source->path);
  return true;
}

bool SearchSources(Lookup* lookup, const char* name) {
  bool hashed = false;
  uint32_t hash = 0;
  for (const FileSource* source = g_sources; source; source = source->next) {
    bool folderList = source->kind == kFolderListSource && source->folderTable;
    bool archive = source->kind == kArchiveSource ||
                   (source->kind == kFolderListSource && !source->folderTable);
    if (archive && !source->archiveTable) continue;
    if (!folderList && !archive) continue;
    if (!hashed) {
      hash = FflookupHash(name, AnsiIsLeadByte);
      hashed = true;
    }
    if (folderList ? TryFolderSource(lookup, source, name, hash)
                   : TryArchiveSource(lookup, source, hash)) {
      return true;
    }
  }
  return false;
}

// The search order shared by opening and resolving.
bool Search(Lookup* lookup, const char* name) {
  EnsureLock();
  EnterCriticalSection(&g_lock);
  bool sound = FfisSoundName(name, AnsiIsLeadByte);
  bool found = false;
  if (!sound && TryDirect(lookup, name)) {
    found = true;
  } else if (MbsChr(name, '\\', AnsiIsLeadByte)) {
    found = false;  // a name with a folder part is never looked up in sources
  } else {
    found = SearchSources(lookup, name) || (sound && TryDirect(lookup, name));
  }
  LeaveCriticalSection(&g_lock);
  return found;
}

}  // namespace

FILE* FfopenOnce(const char* name, const char* mode) {
  Lookup lookup = {mode, nullptr, ""};
  return Search(&lookup, name) ? lookup.file : nullptr;
}

FILE* Ffopen(const char* name, const char* mode) {
  EnsureLock();
  for (;;) {
    FILE* f = FfopenOnce(name, mode);
    if (f) return f;
    ErrorRetryBox("Ffopen : ファイル[%s]の読み込みで失敗しました", name);
  }
}

char* FfresolvePath(const char* name, char* output) {
  Lookup lookup = {nullptr, nullptr, ""};
  if (Search(&lookup, name)) return CopyText(output, kFfpathSize, lookup.path);
  output[0] = '\0';
  return nullptr;
}

int Ffexists(const char* name) {
  EnsureLock();
  char path[kFfpathSize];
  return FfresolvePath(name, path) ? 1 : 0;
}

void FfsetDirectOpen(int on) { g_directOpen = on; }

int FfsetPrefix(const char* prefix) {
  if (strlen(prefix) >= sizeof g_prefix) return -1;
  CopyText(g_prefix, sizeof g_prefix, prefix);
  return 0;
}

void FfaddSource(FileSource* source) {
  source->next = nullptr;
  FileSource** link = &g_sources;
  while (*link) link = &(*link)->next;
  *link = source;
}

void FfclearSources() { g_sources = nullptr; }
