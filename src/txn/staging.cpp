#include "txn/staging.h"

#include <process.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "support/message_box.h"
#include "support/text.h"
#include "txn/flusher.h"
#include "txn/txn_apply.h"
#include "txn/txn_plan.h"

namespace {

char g_folder[MAX_PATH];
TxnPlan g_plan;
HANDLE g_clearing = nullptr;  // the thread that clears a committed update's staging folder

constexpr const char kInUse[] =
    "%s\nは他のプログラムが使用中のため、書き換えることができません。\n"
    "ゲームを終了してから［再試行］を押してください。\n［キャンセル］を押すとアップデートを中止しま"
    "す。";

bool InUseError(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

int Kind(void*, const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return kTxnNone;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kTxnIsFolder : kTxnIsFile;
}

int Move(void*, const char* from, const char* to, bool replace) {
  DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (MoveFileExA(from, to, flags)) return 0;
  return InUseError(GetLastError()) ? kTxnInUse : -1;
}

int Probe(void*, const char* path) {
  HANDLE file = CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return 0;
  }
  return InUseError(GetLastError()) ? kTxnInUse : 0;  // anything else: the rename will tell
}

int Link(void*, const char* from, const char* to) {
  if (CreateHardLinkA(to, from, nullptr)) return 0;
  return InUseError(GetLastError()) ? kTxnInUse : -1;
}

int RemoveFile(void*, const char* path) {
  if (DeleteFileA(path)) return 0;
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : -1;
}

int MakeFolder(void*, const char* path) { return CreateDirectoryA(path, nullptr) ? 0 : -1; }

int RemoveFolder(void*, const char* path) { return RemoveDirectoryA(path) ? 0 : -1; }

int WriteWhole(void*, const char* path, const char* data, size_t size, bool append) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, append ? OPEN_EXISTING : CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  bool ok = !append || SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER;
  DWORD written = 0;
  ok = ok && WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
  ok = ok && FlushFileBuffers(file);
  if (!CloseHandle(file)) ok = false;
  return ok ? 0 : -1;
}

int ReadWhole(void*, const char* path, std::string* data) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  // A journal lists at most every entry of a payload: far below this.
  constexpr DWORD kMax = 64u << 20;
  DWORD size = GetFileSize(file, nullptr);
  bool ok = size != INVALID_FILE_SIZE && size <= kMax;
  if (ok) {
    data->resize(size);
    DWORD read = 0;
    ok = size == 0 || (ReadFile(file, &(*data)[0], size, &read, nullptr) && read == size);
  }
  CloseHandle(file);
  return ok ? 0 : -1;
}

void ClearFolder(void*, const char* path) {
  char pattern[MAX_PATH];
  if (FormatText(pattern, sizeof pattern, "%s\\*", path) >= static_cast<int>(sizeof pattern)) {
    return;
  }
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      char file[MAX_PATH];
      if (FormatText(file, sizeof file, "%s\\%s", path, found.cFileName) >= MAX_PATH) continue;
      // Read-only files are never staged; one made so since still goes.
      if (!DeleteFileA(file) && SetFileAttributesA(file, FILE_ATTRIBUTE_NORMAL)) {
        DeleteFileA(file);
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path);
}

bool RetryInUse(void*, const char* path) { return AskRetryCancel(kInUse, path) != 0; }

const TxnFs kFs = {nullptr,    Kind,         Move,       Probe,     Link,        RemoveFile,
                   MakeFolder, RemoveFolder, WriteWhole, ReadWhole, ClearFolder, RetryInUse};

unsigned __stdcall ClearStaging(void*) {
  TxnDiscard(g_folder, kFs);
  return 0;
}

// The process does not end before the staging folder is gone (exit() runs
// this), so that a finished update leaves nothing behind.
void WaitForClearing() {
  if (!g_clearing) return;
  WaitForSingleObject(g_clearing, INFINITE);
  CloseHandle(g_clearing);
  g_clearing = nullptr;
}

// Deleting the replaced files takes about as long as writing them: it runs
// behind what the player sees next. Inline when no thread can start.
void ClearInBackground() {
  uintptr_t thread = _beginthreadex(nullptr, 64 << 10, ClearStaging, nullptr,
                                    STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == 0) {
    TxnDiscard(g_folder, kFs);
    return;
  }
  g_clearing = reinterpret_cast<HANDLE>(thread);
  atexit(WaitForClearing);
}

}  // namespace

bool StagingAskRetryInUse(const char* path) { return RetryInUse(nullptr, path); }

int StagingRecover(const char* folder) { return TxnRecover(folder, kFs); }

int StagingBegin(const char* folder) {
  CopyText(g_folder, sizeof g_folder, folder);
  g_plan = TxnPlan{};
  if (TxnRecover(g_folder, kFs) != 0) return -1;
  char staging[MAX_PATH];
  if (TxnStagingPath(staging, sizeof staging, g_folder) != 0) return -1;
  if (!CreateDirectoryA(staging, nullptr)) return -1;
  // The player need not see it while it exists.
  SetFileAttributesA(staging, FILE_ATTRIBUTE_HIDDEN);
  return 0;
}

int StagingAddFolder(const char* path, const char* name) {
  int kind = Kind(nullptr, path);
  if (kind == kTxnIsFile) return -1;
  return TxnPlanAdd(&g_plan, kTxnFolder, kind == kTxnIsFolder, name) < 0 ? -1 : 0;
}

HANDLE StagingCreateFile(const char* path, const char* name) {
  DWORD attributes = GetFileAttributesA(path);
  bool existed = attributes != INVALID_FILE_ATTRIBUTES;
  if (existed) {
    // A folder or a read-only file in the way: writing it would fail as it
    // always has, so the update fails before anything changes.
    // A file the game holds open is found when it is replaced, and the
    // player is asked then.
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) {
      return INVALID_HANDLE_VALUE;
    }
  }
  int index = TxnPlanAdd(&g_plan, kTxnFile, existed, name);
  char staged[MAX_PATH];
  if (index < 0 || TxnStagedPath(staged, sizeof staged, g_folder, 'n', index) != 0) {
    return INVALID_HANDLE_VALUE;
  }
  return CreateFileA(staged, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

int StagingCloseFile(HANDLE file, unsigned long long stamp, bool complete) {
  if (!complete) {
    CloseHandle(file);
    return -1;
  }
  FlusherClose(file, stamp);
  return 0;
}
int StagingCommit() {
  // Every staged file on the disk, stamped and closed, before any replaces
  // a game file.
  if (!FlusherDrain()) {
    TxnDiscard(g_folder, kFs);
    return kTxnFailed;
  }
  int result = TxnCommitKeepingStaging(g_folder, g_plan, kFs);
  if (result == kTxnDone) ClearInBackground();
  return result;
}

void StagingAbandon() {
  FlusherDrain();  // no staged file may stay open while the folder goes
  TxnDiscard(g_folder, kFs);
}
