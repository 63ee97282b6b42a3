#include "txn/staging.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/message_box.h"
#include "support/small_thread.h"
#include "support/text.h"
#include "txn/flusher.h"
#include "txn/txn_apply.h"
#include "txn/txn_plan.h"

namespace {

char g_folder[MAX_PATH];
TxnPlan g_plan;
HANDLE g_clearing = nullptr;  // the thread that clears a committed update's staging folder
bool g_clearDue = false;      // a committed update's staging folder waits for it
bool g_clearAtExit = false;   // FinishClearing is registered with atexit
std::vector<bool> g_buckets;  // the staging sub-folders made so far, by number

// Who makes an entry's staged file: nobody yet, the thread that works ahead
// (making it, or made), or the writer.
enum : LONG { kNobody = 0, kMaking = 1, kMade = 2, kWriter = 3 };

// The update's file entries as the scan saw them, in order (a file's index
// is its place here), whether the game's file of that name got its second
// name ahead (read once that thread has ended), and its staged file when
// that was made ahead (empty, open for the writer).
struct Foreseen {
  std::string name;
  bool base;  // read by the reading thread: left alone until the commit
  bool linked;
  HANDLE made;
  volatile LONG maker;
};
// Fixed while the thread that works ahead runs.
std::vector<Foreseen> g_foreseen;
HANDLE g_ahead = nullptr;       // that thread
volatile LONG g_stopAhead = 0;  // asks it to end
volatile LONG g_begun = 0;      // the files the writer has begun
CRITICAL_SECTION g_bucketLock;  // both threads make sub-folders
bool g_bucketLockReady = false;

// Staged files made ahead of the writer, at most: each holds a handle open
// until the writer takes it.
constexpr LONG kMadeAhead = 512;

constexpr const char kInUse[] =
    "%s\nは他のプログラムが使用中のため、書き換えることができません。\n"
    "ゲームを終了してから［再試行］を押してください。\n［キャンセル］を押すとアップデートを中止しま"
    "す。";

bool InUseError(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// A folder or a read-only file where the update writes a file: it cannot
// be replaced.
bool InTheWay(DWORD attributes) {
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0;
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

// Deletes the files in the folder and, `depth` levels down, in its
// sub-folders, then the folder. A link to a folder elsewhere is only
// unlinked, never followed.
void ClearTree(const char* path, int depth) {
  char pattern[MAX_PATH];
  if (FormatText(pattern, sizeof pattern, "%s\\*", path) >= static_cast<int>(sizeof pattern)) {
    return;
  }
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0) continue;
      char child[MAX_PATH];
      if (FormatText(child, sizeof child, "%s\\%s", path, found.cFileName) >= MAX_PATH) continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (depth > 0 && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
          ClearTree(child, depth - 1);
        } else {
          RemoveDirectoryA(child);
        }
        continue;
      }
      // Read-only files are never staged; one made so since still goes.
      if (!DeleteFileA(child) && SetFileAttributesA(child, FILE_ATTRIBUTE_NORMAL)) {
        DeleteFileA(child);
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path);
}

// The staging folder holds files and one level of numbered sub-folders.
void ClearFolder(void*, const char* path) { ClearTree(path, 1); }

bool RetryInUse(void*, const char* path) { return AskRetryCancel(kInUse, path) != 0; }

struct MoveBatch {
  TxnMove* moves;
  LONG count;
  volatile LONG next;
};

unsigned __stdcall MoveSome(void* context) {
  MoveBatch* batch = static_cast<MoveBatch*>(context);
  for (;;) {
    LONG i = InterlockedIncrement(&batch->next) - 1;
    if (i >= batch->count) return 0;
    TxnMove& m = batch->moves[i];
    m.result = Move(nullptr, m.from, m.to, m.replace);
  }
}

// A rename waits for the system most of its time: a few at once take about
// two thirds as long as one after another under Wine. This thread is one
// of the movers; fewer start when threads cannot.
void MoveMany(void*, TxnMove* moves, size_t count) {
  constexpr int kHelpers = 3;
  MoveBatch batch{moves, static_cast<LONG>(count), 0};
  HANDLE helpers[kHelpers];
  DWORD started = 0;
  for (int i = 0; i < kHelpers && count > kTxnBucketFiles; ++i) {
    HANDLE thread = StartSmallThread(MoveSome, &batch);
    if (!thread) break;
    helpers[started++] = thread;
  }
  MoveSome(&batch);
  if (started == 0) return;
  WaitForMultipleObjects(started, helpers, TRUE, INFINITE);
  for (DWORD i = 0; i < started; ++i) CloseHandle(helpers[i]);
}

const TxnFs kFs = {nullptr,     Kind,       Move,         Probe,      Link,
                   RemoveFile,  MakeFolder, RemoveFolder, WriteWhole, ReadWhole,
                   ClearFolder, RetryInUse, MoveMany};

unsigned __stdcall ClearStaging(void*) {
  TxnDiscard(g_folder, kFs);
  return 0;
}

// The process does not end before the staging folder is gone (exit() runs
// this), so that a finished update leaves nothing behind.
void FinishClearing() {
  if (g_clearDue) {
    g_clearDue = false;
    TxnDiscard(g_folder, kFs);
  }
  if (!g_clearing) return;
  WaitForSingleObject(g_clearing, INFINITE);
  CloseHandle(g_clearing);
  g_clearing = nullptr;
}

// Makes the staging sub-folder of a file's index when it is not there yet.
bool MakeBucket(uint32_t index) {
  size_t bucket = index / kTxnBucketFiles;
  EnterCriticalSection(&g_bucketLock);
  bool made = bucket < g_buckets.size() && g_buckets[bucket];
  char path[MAX_PATH];
  if (!made && TxnBucketPath(path, sizeof path, g_folder, index) == 0 &&
      (CreateDirectoryA(path, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)) {
    if (bucket >= g_buckets.size()) g_buckets.resize(bucket + 1);
    g_buckets[bucket] = made = true;
  }
  LeaveCriticalSection(&g_bucketLock);
  return made;
}

// A new staged file, empty, for the writer alone.
HANDLE CreateStaged(const char* path) {
  return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

// Ends the work ahead, waiting for its thread.
void StopWorkAhead() {
  if (!g_ahead) return;
  InterlockedExchange(&g_stopAhead, 1);
  WaitForSingleObject(g_ahead, INFINITE);
  CloseHandle(g_ahead);
  g_ahead = nullptr;
}

// Ends the work ahead and closes the staged files made ahead that the
// writer did not take (an update that stops early), so that the staging
// folder can go.
void ForgetForeseen() {
  StopWorkAhead();
  for (Foreseen& f : g_foreseen) {
    if (f.made != INVALID_HANDLE_VALUE) CloseHandle(f.made);
  }
  g_foreseen.clear();
}

// Gives the game's file of a foreseen entry its second name in the staging
// folder, where it is there to be replaced and not held by the game. False
// when the volume has no hard links.
bool LinkAhead(uint32_t index, Foreseen* f) {
  char target[MAX_PATH];
  char old[MAX_PATH];
  if (TxnTargetPath(target, sizeof target, g_folder, f->name.c_str()) != 0) return true;
  // Nothing to keep, or a file the update fails on anyway.
  DWORD attributes = GetFileAttributesA(target);
  if (attributes == INVALID_FILE_ATTRIBUTES || InTheWay(attributes)) return true;
  // A file the game holds gets its second name when it is replaced, after
  // the player was asked.
  if (Probe(nullptr, target) == kTxnInUse) return true;
  if (TxnStagedPath(old, sizeof old, g_folder, 'o', index) != 0) return true;
  int linked = Link(nullptr, target, old);
  f->linked = linked == 0;
  return linked != -1;  // -1: none on this volume, and the commit copes
}

// Makes an entry's staged file ahead, unless the writer has begun it.
void MakeAhead(uint32_t index, Foreseen* f) {
  if (InterlockedCompareExchange(&f->maker, kMaking, kNobody) != kNobody) return;
  char staged[MAX_PATH];
  if (TxnStagedPath(staged, sizeof staged, g_folder, 'n', index) == 0)
    f->made = CreateStaged(staged);
  InterlockedExchange(&f->maker, kMade);
}

// The work ahead of the writer, on a thread of its own while the files are
// staged: each game file the update replaces gets its second name, which
// leaves the commit only its renames, and the entries' staged files are
// made (making a file costs the system far more than opening one). It
// uses what the writer leaves of the processors: the payload inflates on
// one, and the writer mostly waits for it.
unsigned __stdcall WorkAhead(void*) {
  bool linking = true;
  for (size_t i = 0; i < g_foreseen.size(); ++i) {
    while (!g_stopAhead && static_cast<LONG>(i) >= g_begun + kMadeAhead) Sleep(1);
    if (g_stopAhead) break;
    uint32_t index = static_cast<uint32_t>(i);
    if (!MakeBucket(index)) continue;
    // A base opened for reading while the probe or the link holds it would
    // fail its delta.
    if (linking && !g_foreseen[i].base) linking = LinkAhead(index, &g_foreseen[i]);
    MakeAhead(index, &g_foreseen[i]);
  }
  return 0;
}

// The writer's staged file for an entry: the one made ahead, or
// INVALID_HANDLE_VALUE when the writer is to make it.
HANDLE TakeMadeAhead(uint32_t index) {
  if (index >= g_foreseen.size()) return INVALID_HANDLE_VALUE;
  Foreseen& f = g_foreseen[index];
  for (;;) {
    LONG maker = InterlockedCompareExchange(&f.maker, kWriter, kNobody);
    if (maker == kNobody || maker == kWriter) return INVALID_HANDLE_VALUE;
    if (maker == kMade) break;
    Sleep(0);  // being made this moment
  }
  InterlockedExchange(&f.maker, kWriter);
  HANDLE made = f.made;
  f.made = INVALID_HANDLE_VALUE;
  return made;
}

// Marks the plan's replaced files whose second names were made ahead; a
// second name that does not belong to its entry goes.
void MarkLinked() {
  StopWorkAhead();
  for (TxnEntry& e : g_plan.entries) {
    if (e.kind != kTxnFile || e.index >= g_foreseen.size() || !g_foreseen[e.index].linked) continue;
    if (e.existed && g_foreseen[e.index].name == e.name) {
      e.linked = 1;
      continue;
    }
    char old[MAX_PATH];
    if (TxnStagedPath(old, sizeof old, g_folder, 'o', e.index) == 0) DeleteFileA(old);
  }
  ForgetForeseen();
}

}  // namespace

void StagingForeseeFile(const char* name, bool base) {
  g_foreseen.push_back(Foreseen{name, base, false, INVALID_HANDLE_VALUE, kNobody});
}

void StagingWorkAhead() {
  if (g_ahead || g_foreseen.empty()) return;
  g_stopAhead = 0;
  // Without the thread the writer makes every file and the commit gives
  // the second names.
  g_ahead = StartSmallThread(WorkAhead, nullptr);
}

bool StagingAskRetryInUse(const char* path) { return RetryInUse(nullptr, path); }

int StagingRecover(const char* folder) { return TxnRecover(folder, kFs); }

int StagingBegin(const char* folder) {
  // An update committed earlier in this process is cleared first: its
  // clearing reads the folder name that this one replaces.
  FinishClearing();
  CopyText(g_folder, sizeof g_folder, folder);
  g_plan = TxnPlan{};
  if (!g_bucketLockReady) {
    InitializeCriticalSection(&g_bucketLock);
    g_bucketLockReady = true;
  }
  g_buckets.clear();
  g_begun = 0;
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
    if (InTheWay(attributes)) return INVALID_HANDLE_VALUE;
  }
  int index = TxnPlanAdd(&g_plan, kTxnFile, existed, name);
  if (index < 0) return INVALID_HANDLE_VALUE;
  InterlockedExchange(&g_begun, index + 1);
  // The staged file's name is its index's: one made ahead is this one.
  HANDLE made = TakeMadeAhead(static_cast<uint32_t>(index));
  if (made != INVALID_HANDLE_VALUE) return made;
  char staged[MAX_PATH];
  if (!MakeBucket(static_cast<uint32_t>(index)) ||
      TxnStagedPath(staged, sizeof staged, g_folder, 'n', index) != 0) {
    return INVALID_HANDLE_VALUE;
  }
  return CreateStaged(staged);
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
    ForgetForeseen();
    TxnDiscard(g_folder, kFs);
    return kTxnFailed;
  }
  MarkLinked();
  int result = TxnCommitKeepingStaging(g_folder, g_plan, kFs);
  if (result == kTxnDone) {
    g_clearDue = true;
    if (!g_clearAtExit) g_clearAtExit = atexit(FinishClearing) == 0;
  }
  return result;
}

void StagingAbandon() {
  ForgetForeseen();
  FlusherDrain();  // no staged file may stay open while the folder goes
  TxnDiscard(g_folder, kFs);
}

void StagingClearBehind() {
  if (!g_clearDue) return;
  // Deleting the replaced files takes about as long as writing them: not
  // while the player waits. Without a thread the exit does it.
  g_clearing = StartSmallThread(ClearStaging, nullptr);
  if (g_clearing) g_clearDue = false;
}
