#include "updpack/fsys.h"

namespace {
// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t kEpochGap = 11644473600;
constexpr int64_t kTicksPerSecond = 10000000;
}  // namespace

uint64_t FsFileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
  if (seconds < -kEpochGap) return 0;  // before 1601: the earliest time there is
  return static_cast<uint64_t>(seconds + kEpochGap) * kTicksPerSecond + nanoseconds / 100;
}

void FsFileTimeToUnix(uint64_t fileTime, int64_t* seconds, uint32_t* nanoseconds) {
  *seconds = static_cast<int64_t>(fileTime / kTicksPerSecond) - kEpochGap;
  *nanoseconds = static_cast<uint32_t>(fileTime % kTicksPerSecond) * 100;
}

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
