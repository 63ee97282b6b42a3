// Test support for Windows-side tests: a fresh folder under the temp path,
// removed with everything in it when the test ends, and small file helpers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct TempFolder {
  std::string path;  // without a trailing backslash
  TempFolder();
  ~TempFolder();
  std::string operator/(const std::string& name) const { return path + "\\" + name; }
};

// Writes the bytes to the file (creating or truncating it); false on failure.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// The file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
// The file's last-write time as a FILETIME number; 0 when it cannot be read.
uint64_t LastWriteTime(const std::string& path);
bool FolderExists(const std::string& path);
// The current folder, without a trailing backslash (but "C:\" for a root).
std::string CurrentFolder();
// Deletes a folder tree, clearing read-only flags on the way.
void RemoveTree(const std::string& path);
// Bytes that do not compress, the same for the same size and seed (not 0).
std::string Noise(size_t size, uint32_t seed = 2463534242u);
