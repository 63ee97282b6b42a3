// Test support: a minimal PE32 image with one section at virtual address
// 0x1000 (file offset 0x200, 0x200 bytes in the file) that holds an import
// table naming the given DLLs. The offsets below let a test damage it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testpe {

constexpr size_t kImportDirectoryField = 64 + 4 + 20 + 96 + 8;  // directory 1's address
constexpr size_t kSectionHeader = 64 + 4 + 20 + 224;
constexpr size_t kSectionData = 0x200;
constexpr uint32_t kSectionAddress = 0x1000;
constexpr uint32_t kSectionBytes = 0x200;

inline void Set16(std::string* s, size_t at, uint32_t v) {
  (*s)[at] = static_cast<char>(v & 0xFF);
  (*s)[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

inline void Set32(std::string* s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*s)[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline std::string ImageImporting(const std::vector<std::string>& dlls) {
  std::string s(kSectionData + kSectionBytes, '\0');
  s[0] = 'M';
  s[1] = 'Z';
  Set32(&s, 0x3C, 64);
  s.replace(64, 4, std::string("PE\0\0", 4));
  Set16(&s, 68, 0x14C);       // i386
  Set16(&s, 70, 1);           // one section
  Set16(&s, 84, 224);         // optional header size
  Set16(&s, 88, 0x10B);       // PE32
  Set32(&s, 88 + 60, 0x200);  // SizeOfHeaders
  Set32(&s, 88 + 92, 16);     // data directories
  s.replace(kSectionHeader, 6, ".idata");
  Set32(&s, kSectionHeader + 8, kSectionBytes);
  Set32(&s, kSectionHeader + 12, kSectionAddress);
  Set32(&s, kSectionHeader + 16, kSectionBytes);
  Set32(&s, kSectionHeader + 20, kSectionData);
  if (dlls.empty()) return s;
  // Descriptors, an all-zero one, then the names.
  uint32_t name = kSectionAddress + static_cast<uint32_t>(dlls.size() + 1) * 20;
  for (size_t i = 0; i < dlls.size(); ++i) {
    size_t d = kSectionData + i * 20;
    Set32(&s, d + 12, name);
    Set32(&s, d + 16, kSectionAddress + 0x1F0);  // an address table, never read
    s.replace(kSectionData + (name - kSectionAddress), dlls[i].size(), dlls[i]);
    name += static_cast<uint32_t>(dlls[i].size()) + 1;
  }
  Set32(&s, kImportDirectoryField, kSectionAddress);
  Set32(&s, kImportDirectoryField + 4, static_cast<uint32_t>(dlls.size() + 1) * 20);
  return s;
}

}  // namespace testpe
