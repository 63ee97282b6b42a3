#include <cerrno>
#include <cstring>

#include "updpack/fsys/fsys.h"

std::string FsFolderOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  if (slash == 0) return path.substr(0, 1);
  return path.substr(0, slash);
}

std::string FsJoin(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  char last = folder.back();
  if (last == '/' || last == '\\') return folder + name;
  return folder + "/" + name;
}

bool FsIsInside(const std::string& inner, const std::string& folder) {
  if (inner.compare(0, folder.size(), folder) != 0) return false;
  if (inner.size() == folder.size()) return true;
  char next = inner[folder.size()];
  char last = folder.empty() ? 0 : folder.back();
  return next == '/' || next == '\\' || last == '/' || last == '\\';
}

int FsMakeFolders(const std::string& path) {
  if (FsMakeFolder(path) == 0) return 0;
  std::string parent = FsFolderOf(path);
  if (parent == path || parent == "." || parent.empty()) return -1;
  if (FsMakeFolders(parent) != 0) return -1;
  return FsMakeFolder(path);
}

bool FsReadAll(const std::string& path, std::string* bytes, std::string* error) {
  std::string reason;
  FILE* f = FsOpenRegular(path, &reason);
  if (!f) {
    if (error) *error = reason;
    return false;
  }
  bytes->clear();
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes->append(buffer, n);
  bool ok = !ferror(f);
  if (!ok && error) *error = strerror(errno);
  fclose(f);
  return ok;
}

std::string FsFirstLink(const std::string& root, const std::string& path) {
  for (size_t at = root.size() + 1; at <= path.size(); ++at) {
    if (at < path.size() && path[at] != '/') continue;
    std::string part = path.substr(0, at);
    if (FsIsLink(part)) return part;
  }
  return "";
}
