// The file system layer on POSIX systems; names convert with iconv.
#ifndef _WIN32

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "payload/filetime.h"
#include "updpack/fsys/fsys.h"

namespace {

void FillItem(const struct stat& st, FsItem* item) {
  item->isFolder = S_ISDIR(st.st_mode);
  item->isFile = S_ISREG(st.st_mode);
  item->size = item->isFile ? static_cast<uint64_t>(st.st_size) : 0;
  // FILETIME starts in 1601: an earlier time (a broken clock) becomes its start.
  const int64_t earliest = -static_cast<int64_t>(kFileTimeUnixEpoch / 10000000);
  item->fileTime =
      st.st_mtim.tv_sec < earliest
          ? 0
          : PayloadTimeFromUnix(st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec));
}

// strict: refuse characters that iconv could only approximate.
bool Convert(const char* to, const char* from, const std::string& in, std::string* out,
             bool strict) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out->assign(in.size() * 4 + 4, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = &(*out)[0];
  size_t dstLeft = out->size();
  size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1) || srcLeft != 0) return false;
  if (strict && rc != 0) return false;
  out->resize(out->size() - dstLeft);
  return true;
}

}  // namespace

std::string FsArgPath(const char* arg) { return arg; }

int FsListFolder(const std::string& path, std::vector<FsItem>* items, std::string* error) {
  DIR* dir = opendir(path.c_str());
  if (!dir) {
    *error = strerror(errno);
    return -1;
  }
  errno = 0;
  while (struct dirent* d = readdir(dir)) {
    if (strcmp(d->d_name, ".") == 0 || strcmp(d->d_name, "..") == 0) continue;
    FsItem item;
    item.name = d->d_name;
    struct stat st;
    std::string full = FsJoin(path, item.name);
    if (lstat(full.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) item.isLink = true;
    if (stat(full.c_str(), &st) == 0) FillItem(st, &item);
    items->push_back(item);
    errno = 0;
  }
  int rc = errno ? -1 : 0;
  if (rc) *error = strerror(errno);
  closedir(dir);
  return rc;
}

int FsStat(const std::string& path, FsItem* item, std::string* error) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    *error = strerror(errno);
    return -1;
  }
  size_t slash = path.find_last_of('/');
  item->name = slash == std::string::npos ? path : path.substr(slash + 1);
  FillItem(st, item);
  return 0;
}

bool FsExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

FILE* FsOpen(const std::string& path, const char* mode) { return fopen(path.c_str(), mode); }

FILE* FsOpenRegular(const std::string& path, std::string* error) {
  // Non-blocking, so that opening a FIFO without a writer returns at once.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = strerror(errno);
    return nullptr;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *error = S_ISDIR(st.st_mode) ? "is a folder" : "not a regular file";
    close(fd);
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  FILE* f = fdopen(fd, "rb");
  if (!f) {
    *error = strerror(errno);
    close(fd);
  }
  return f;
}

bool FsIsLink(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

int FsLstatKind(const std::string& path, bool* regular, bool* folder) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return -1;
  *regular = S_ISREG(st.st_mode);
  *folder = S_ISDIR(st.st_mode);
  return 0;
}

bool FsSameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

bool FsProcessGone(unsigned long pid) {
  return pid == 0 || (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH);
}

unsigned long FsProcessId() { return static_cast<unsigned long>(getpid()); }

int FsSeek(FILE* f, uint64_t offset) { return fseeko(f, static_cast<off_t>(offset), SEEK_SET); }

FILE* FsCreateNew(const std::string& path, bool executable) {
  // Less the umask; O_EXCL neither follows nor replaces a link of that name.
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                executable ? 0777 : 0666);
  if (fd < 0) return nullptr;
  FILE* f = fdopen(fd, "wb");
  if (!f) close(fd);
  return f;
}

int FsSync(FILE* f) {
  if (fflush(f) != 0) return -1;
  return fsync(fileno(f)) == 0 || errno == EINVAL ? 0 : -1;
}

int FsRename(const std::string& from, const std::string& to, bool replace, std::string* error) {
  if (replace) {
    if (rename(from.c_str(), to.c_str()) == 0) return 0;
    *error = strerror(errno);
    return -1;
  }
#ifdef RENAME_NOREPLACE
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) {
    *error = strerror(errno);
    return -1;
  }
#endif
  // Without renameat2: a hard link fails when the target exists.
  if (link(from.c_str(), to.c_str()) != 0) {
    *error = strerror(errno);
    return -1;
  }
  unlink(from.c_str());
  return 0;
}

int FsRemove(const std::string& path) { return unlink(path.c_str()); }

bool FsIsReadOnly(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
}

int FsLink(const std::string& from, const std::string& to) {
  return link(from.c_str(), to.c_str()) == 0 ? 0 : -1;
}

int FsRemoveFolder(const std::string& path) { return rmdir(path.c_str()) == 0 ? 0 : -1; }

int FsMakeFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0777) == 0) return 0;
  struct stat st;
  return errno == EEXIST && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 0 : -1;
}

int FsSetFileTime(const std::string& path, uint64_t fileTime) {
  int64_t seconds;
  uint32_t nanoseconds;
  PayloadTimeToUnix(fileTime, &seconds, &nanoseconds);
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds);
  times[1].tv_nsec = nanoseconds;
  return utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::string FsSelfFolder() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "";
  buf[n] = 0;
  return FsFolderOf(buf);
}

std::string FsCanonical(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (!real) return "";
  std::string result = real;
  free(real);
  return result;
}

bool FsUtf8ToCp932(const std::string& utf8, std::string* cp932) {
  return Convert("CP932", "UTF-8", utf8, cp932, true);
}

bool FsCp932ToUtf8(const std::string& cp932, std::string* utf8) {
  return Convert("UTF-8", "CP932", cp932, utf8, false);
}

std::string FsShown(const std::string& path) { return path; }

std::string FsDisplayName(const std::string& cp932) {
  std::string utf8;
  if (FsCp932ToUtf8(cp932, &utf8)) {
    // An escape sequence in a name must not drive the terminal.
    std::string shown;
    for (unsigned char c : utf8) {
      if (c < 0x20 || c == 0x7F) {
        char hex[8];
        snprintf(hex, sizeof hex, "\\x%02X", c);
        shown += hex;
      } else {
        shown += static_cast<char>(c);
      }
    }
    return shown;
  }
  // Not code page 932 text: plain ASCII stays, every other byte as \xNN.
  std::string shown;
  for (unsigned char c : cp932) {
    if (c >= 0x20 && c < 0x7F) {
      shown += static_cast<char>(c);
    } else {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02X", c);
      shown += hex;
    }
  }
  return shown;
}

#endif  // !_WIN32
