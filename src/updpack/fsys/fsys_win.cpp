// The file system layer on Windows: wide-character API calls, UTF-8 paths.
#ifdef _WIN32

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include "updpack/fsys/fsys.h"

namespace {

std::wstring Wide(const std::string& text, UINT codePage = CP_UTF8) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &w[0], n);
  return w;
}

// flags: WC_NO_BEST_FIT_CHARS where a lookalike must not stand in.
bool Narrow(const std::wstring& w, UINT codePage, std::string* out) {
  out->clear();
  if (w.empty()) return true;
  BOOL usedDefault = FALSE;
  BOOL* pDefault = codePage == CP_UTF8 ? nullptr : &usedDefault;
  DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  int n = WideCharToMultiByte(codePage, flags, w.data(), static_cast<int>(w.size()), nullptr, 0,
                              nullptr, pDefault);
  if (n <= 0) return false;
  out->assign(n, '\0');
  WideCharToMultiByte(codePage, flags, w.data(), static_cast<int>(w.size()), &(*out)[0], n, nullptr,
                      pDefault);
  return !usedDefault;
}

std::string Utf8(const std::wstring& w) {
  std::string s;
  Narrow(w, CP_UTF8, &s);
  return s;
}

uint64_t Ticks(const FILETIME& ft) {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

std::string LastError() {
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, GetLastError(), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string s = text ? Utf8(text) : "error";
  if (text) LocalFree(text);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == '.')) s.pop_back();
  return s;
}

}  // namespace

std::string FsArgPath(const char* arg) { return Utf8(Wide(arg, CP_ACP)); }

int FsListFolder(const std::string& path, std::vector<FsItem>* items, std::string* error) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((Wide(path) + L"\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) {
    *error = LastError();
    return -1;
  }
  do {
    if (wcscmp(fd.cFileName, L".") == 0 || wcscmp(fd.cFileName, L"..") == 0) continue;
    FsItem item;
    item.name = Utf8(fd.cFileName);
    item.isFolder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    item.isLink = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    item.isFile = !item.isFolder && !(fd.dwFileAttributes & FILE_ATTRIBUTE_DEVICE);
    item.size = item.isFile ? (static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow : 0;
    item.fileTime = Ticks(fd.ftLastWriteTime);
    items->push_back(item);
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return 0;
}

int FsStat(const std::string& path, FsItem* item, std::string* error) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
    *error = LastError();
    return -1;
  }
  size_t slash = path.find_last_of("/\\");
  item->name = slash == std::string::npos ? path : path.substr(slash + 1);
  item->isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  item->isFile = !item->isFolder;
  item->size =
      item->isFile ? (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow : 0;
  item->fileTime = Ticks(data.ftLastWriteTime);
  return 0;
}

bool FsExists(const std::string& path) {
  return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

FILE* FsOpen(const std::string& path, const char* mode) {
  return _wfopen(Wide(path).c_str(), Wide(mode).c_str());
}

FILE* FsOpenRegular(const std::string& path, std::string* error) {
  DWORD attr = GetFileAttributesW(Wide(path).c_str());
  if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY)) {
    *error = "is a folder";
    return nullptr;
  }
  FILE* f = _wfopen(Wide(path).c_str(), L"rb");
  if (!f) {
    *error = attr == INVALID_FILE_ATTRIBUTES ? LastError() : "cannot open";
    return nullptr;
  }
  // Devices (NUL, CON, COM1) and pipes are not files on a disk.
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
  if (GetFileType(h) != FILE_TYPE_DISK) {
    *error = "not a regular file";
    fclose(f);
    return nullptr;
  }
  return f;
}

bool FsIsLink(const std::string& path) {
  DWORD attr = GetFileAttributesW(Wide(path).c_str());
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_REPARSE_POINT);
}

int FsLstatKind(const std::string& path, bool* regular, bool* folder) {
  DWORD attr = GetFileAttributesW(Wide(path).c_str());
  if (attr == INVALID_FILE_ATTRIBUTES) return -1;
  *folder = (attr & FILE_ATTRIBUTE_DIRECTORY) && !(attr & FILE_ATTRIBUTE_REPARSE_POINT);
  *regular =
      !(attr & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE));
  return 0;
}

namespace {

bool FileId(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE h =
      CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BOOL ok = GetFileInformationByHandle(h, info);
  CloseHandle(h);
  return ok != 0;
}

}  // namespace

bool FsSameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION ia, ib;
  return FileId(a, &ia) && FileId(b, &ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool FsProcessGone(unsigned long pid) {
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (!h) return GetLastError() == ERROR_INVALID_PARAMETER;
  bool gone = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
  CloseHandle(h);
  return gone;
}

unsigned long FsProcessId() { return GetCurrentProcessId(); }

int FsSeek(FILE* f, uint64_t offset) {
  return _fseeki64(f, static_cast<__int64>(offset), SEEK_SET);
}

FILE* FsCreateNew(const std::string& path, bool) {
  int fd = _wsopen(Wide(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYWR,
                   _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  FILE* f = _fdopen(fd, "wb");
  if (!f) _close(fd);
  return f;
}

int FsSync(FILE* f) {
  if (fflush(f) != 0) return -1;
  return _commit(_fileno(f)) == 0 ? 0 : -1;
}

int FsRename(const std::string& from, const std::string& to, bool replace, std::string* error) {
  DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), flags)) return 0;
  *error = LastError();
  return -1;
}

int FsRemove(const std::string& path) { return DeleteFileW(Wide(path).c_str()) ? 0 : -1; }

bool FsIsReadOnly(const std::string& path) {
  DWORD attr = GetFileAttributesW(Wide(path).c_str());
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_READONLY);
}

int FsLink(const std::string& from, const std::string& to) {
  return CreateHardLinkW(Wide(to).c_str(), Wide(from).c_str(), nullptr) ? 0 : -1;
}

int FsRemoveFolder(const std::string& path) {
  return RemoveDirectoryW(Wide(path).c_str()) ? 0 : -1;
}

int FsMakeFolder(const std::string& path) {
  if (CreateDirectoryW(Wide(path).c_str(), nullptr)) return 0;
  DWORD attr = GetFileAttributesW(Wide(path).c_str());
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) ? 0 : -1;
}

int FsSetFileTime(const std::string& path, uint64_t fileTime) {
  HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(fileTime);
  ft.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
  BOOL ok = SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  return ok ? 0 : -1;
}

std::string FsSelfFolder() {
  wchar_t buf[32768];
  DWORD n = GetModuleFileNameW(nullptr, buf, 32768);
  if (n == 0 || n >= 32768) return "";
  return FsFolderOf(Utf8(std::wstring(buf, n)));
}

std::string FsCanonical(const std::string& path) {
  wchar_t buf[32768];
  DWORD n = GetFullPathNameW(Wide(path).c_str(), 32768, buf, nullptr);
  if (n == 0 || n >= 32768) return "";
  std::wstring full(buf, n);
  // Windows paths compare without regard to letter case.
  CharLowerBuffW(&full[0], static_cast<DWORD>(full.size()));
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return Utf8(full);
}

bool FsUtf8ToCp932(const std::string& utf8, std::string* cp932) {
  return Narrow(Wide(utf8), 932, cp932);
}

bool FsCp932ToUtf8(const std::string& cp932, std::string* utf8) {
  if (!cp932.empty() && MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, cp932.data(),
                                            static_cast<int>(cp932.size()), nullptr, 0) == 0)
    return false;
  return Narrow(Wide(cp932, 932), CP_UTF8, utf8);
}

std::string FsShown(const std::string& path) {
  std::wstring w = Wide(path);
  if (w.empty()) return "";
  int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0)
    WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), &out[0], n, nullptr,
                        nullptr);
  return out;
}

// The console shows the ANSI code page: the bytes go out as they are, but
// for control characters.
std::string FsDisplayName(const std::string& cp932) {
  std::string shown;
  for (size_t i = 0; i < cp932.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(cp932[i]);
    if (IsDBCSLeadByteEx(932, c) && i + 1 < cp932.size()) {
      shown += cp932.substr(i, 2);
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02X", c);
      shown += hex;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

#endif  // _WIN32
