#include "win/common/temp_folder.h"

#include <cstdint>
#include <cstdio>

namespace {

int g_counter = 0;

}  // namespace

TempFolder::TempFolder() {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  char name[64];
  snprintf(name, sizeof name, "updtest_%lu_%d", GetCurrentProcessId(), ++g_counter);
  path = std::string(temp) + name;
  CreateDirectoryA(path.c_str(), nullptr);
}

TempFolder::~TempFolder() { RemoveTree(path); }

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return bytes;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  fclose(f);
  return bytes;
}

bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

uint64_t LastWriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

bool FolderExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string CurrentFolder() {
  char path[MAX_PATH];
  DWORD n = GetCurrentDirectoryA(sizeof path, path);
  return std::string(path, n);
}

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA((path + "\\*").c_str(), &data);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = path + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(h, &data));
    FindClose(h);
  }
  RemoveDirectoryA(path.c_str());
}

std::string Noise(size_t size, uint32_t seed) {
  std::string out(size, '\0');
  uint32_t x = seed;
  for (char& c : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x >> 24);
  }
  return out;
}
