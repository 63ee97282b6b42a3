#include "updpack/fsys/fsys_txn.h"

#include <cstring>
#include <vector>

#include "updpack/build/build_names.h"
#include "updpack/fsys/fsys.h"

namespace {

FsTxnContext* Ctx(void* context) { return static_cast<FsTxnContext*>(context); }

std::string Local(void* context, const char* path) {
  std::string local;
  // An empty path fails every operation.
  if (!FsTxnLocal(Ctx(context)->root, path, &local)) return "";
  return local;
}

int Kind(void* context, const char* path) {
  bool regular = false, folder = false;
  if (FsLstatKind(Local(context, path), &regular, &folder) != 0) return kTxnNone;
  return folder ? kTxnIsFolder : kTxnIsFile;
}

int Move(void* context, const char* from, const char* to, bool replace) {
  std::string error;
  return FsRename(Local(context, from), Local(context, to), replace, &error) == 0 ? 0 : -1;
}

// Nothing here holds a game's files open: `apply` works on a copy, and a
// rename that fails says so.
int Probe(void*, const char*) { return 0; }

int Link(void* context, const char* from, const char* to) {
  return FsLink(Local(context, from), Local(context, to));
}

int RemoveFile(void* context, const char* path) {
  std::string local = Local(context, path);
  return FsRemove(local) == 0 || !FsExists(local) ? 0 : -1;
}

int MakeFolder(void* context, const char* path) {
  std::string local = Local(context, path);
  return FsExists(local) ? -1 : FsMakeFolder(local);
}

int RemoveFolder(void* context, const char* path) { return FsRemoveFolder(Local(context, path)); }

int WriteWhole(void* context, const char* path, const char* data, size_t size, bool append) {
  FILE* f = FsOpen(Local(context, path), append ? "ab" : "wb");
  if (!f) return -1;
  bool ok = fwrite(data, 1, size, f) == size && FsSync(f) == 0;
  if (fclose(f) != 0) ok = false;
  return ok ? 0 : -1;
}

int ReadWhole(void* context, const char* path, std::string* data) {
  return FsReadAll(Local(context, path), data) ? 0 : -1;
}

// Removes the files of the folder and, `depth` levels down, of its
// sub-folders, then the folder. A link is removed, never followed.
void ClearTree(const std::string& local, int depth) {
  std::vector<FsItem> items;
  std::string error;
  if (FsListFolder(local, &items, &error) == 0) {
    for (const FsItem& item : items) {
      std::string child = FsJoin(local, item.name);
      if (!item.isFolder || item.isLink) {
        FsRemove(child);
      } else if (depth > 0) {
        ClearTree(child, depth - 1);
      }
    }
  }
  FsRemoveFolder(local);
}

// The staging folder holds files and one level of numbered sub-folders.
void ClearFolder(void* context, const char* path) { ClearTree(Local(context, path), 1); }

// The part of folder that is spelt like part without regard to case; part
// itself when nothing is.
std::string OnDisk(const std::string& folder, const std::string& part) {
  if (FsExists(FsJoin(folder, part)) || FsIsLink(FsJoin(folder, part))) return part;
  std::string want;
  if (!FsUtf8ToCp932(part, &want)) return part;
  want = BuildFoldCase(want);
  std::vector<FsItem> items;
  std::string error;
  if (FsListFolder(folder, &items, &error) != 0) return part;
  for (const FsItem& item : items) {
    std::string have;
    if (FsUtf8ToCp932(item.name, &have) && BuildFoldCase(have) == want) return item.name;
  }
  return part;
}

}  // namespace

bool FsTxnLocal(const std::string& root, const std::string& cp932, std::string* local) {
  std::string name = cp932;
  size_t skip = strlen(kFsTxnFolder) + 1;
  if (name.compare(0, skip, std::string(kFsTxnFolder) + "\\") == 0) name.erase(0, skip);
  std::string utf8;
  if (!FsCp932ToUtf8(name, &utf8)) return false;
  *local = root;
  size_t at = 0;
  while (at <= utf8.size()) {
    size_t end = utf8.find('\\', at);
    if (end == std::string::npos) end = utf8.size();
    std::string part = utf8.substr(at, end - at);
    if (!part.empty()) *local = FsJoin(*local, OnDisk(*local, part));
    at = end + 1;
  }
  return true;
}

TxnFs FsTxnTable(FsTxnContext* context) {
  // No retry box here, and the renames go one after another.
  return TxnFs{context,      Kind,       Move,      Probe,       Link,    RemoveFile, MakeFolder,
               RemoveFolder, WriteWhole, ReadWhole, ClearFolder, nullptr, nullptr};
}
