// Reading a Windows executable image from its bytes: the DLLs its import
// table names and a resource by type and id. Every offset is checked against
// the bytes given; a damaged image is reported, never read past.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kPeNotAnImage = -2;  // no "MZ" or no "PE\0\0" header where it points

struct PeImage {
  const unsigned char* data;
  size_t size;
  uint32_t directoryCount;      // data directories present (at most 16 used)
  uint32_t directories[16][2];  // virtual address and size of each
  size_t sectionTable;          // file offset of the first section header
  uint32_t sectionCount;
  uint32_t headerBytes;  // SizeOfHeaders: the part mapped as it lies in the file
};

// Reads the headers. Returns 0, kPeNotAnImage, or -1 for headers cut short
// or inconsistent.
int PeOpen(const unsigned char* data, size_t size, PeImage* image);

// The file offset of `length` bytes at a virtual address, or -1 when they do
// not lie whole in the file.
int64_t PeFileOffset(const PeImage& image, uint32_t address, uint32_t length);

// The DLL names of the import table, in its order, as the loader walks it (to
// the first descriptor without a name or an address table). An image without
// an import table gives none. Returns 0, or -1 when a descriptor or a name
// runs past the file or a name has no terminating NUL.
int PeImportNames(const PeImage& image, std::vector<std::string>* names);

// The data of resource type/id (the first language present). Returns 0 with
// its file offset and length, or -1 when absent or damaged.
int PeFindResource(const PeImage& image, uint32_t type, uint32_t id, size_t* offset,
                   size_t* length);

// True for the DLLs that Windows 7 to 11 all list as known DLLs (always taken
// from the system folder), and for ntdll.dll, which is mapped into every
// process; any case, ".dll" required.
bool PeIsKnownDll(const std::string& name);
