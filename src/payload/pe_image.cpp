#include "payload/pe_image.h"

#include <cstring>

namespace {

uint32_t Get16(const unsigned char* p) { return p[0] | (p[1] << 8); }

uint32_t Get32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool Fits(const PeImage& image, uint64_t offset, uint64_t length) {
  return offset <= image.size && length <= image.size - offset;
}

constexpr uint32_t kPeOffsetField = 0x3C;
constexpr uint32_t kCoffHeaderBytes = 20;
constexpr uint32_t kSectionHeaderBytes = 40;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kImportDirectory = 1;
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kImportDescriptorBytes = 20;
constexpr uint32_t kDllNameMax = 256;
// More than any real image has; keeps a hostile table from running long.
constexpr uint32_t kImportDescriptorsMax = 4096;

}  // namespace

int PeOpen(const unsigned char* data, size_t size, PeImage* image) {
  *image = PeImage{};
  image->data = data;
  image->size = size;
  if (size < 64 || data[0] != 'M' || data[1] != 'Z') return kPeNotAnImage;
  uint64_t pe = Get32(data + kPeOffsetField);
  if (!Fits(*image, pe, 4) || memcmp(data + pe, "PE\0\0", 4) != 0) return kPeNotAnImage;
  uint64_t coff = pe + 4;
  if (!Fits(*image, coff, kCoffHeaderBytes)) return -1;
  image->sectionCount = Get16(data + coff + 2);
  uint32_t optionalSize = Get16(data + coff + 16);
  uint64_t optional = coff + kCoffHeaderBytes;
  if (!Fits(*image, optional, optionalSize) || optionalSize < 2) return -1;
  uint32_t magic = Get16(data + optional);
  // Where the data directory count sits; the directories follow it.
  uint32_t countAt = magic == kPe32Magic ? 92 : magic == kPe32PlusMagic ? 108 : 0;
  if (countAt == 0 || optionalSize < countAt + 4) return -1;
  image->headerBytes = Get32(data + optional + 60);
  uint32_t count = Get32(data + optional + countAt);
  if (count > (optionalSize - countAt - 4) / 8) return -1;
  image->directoryCount = count < 16 ? count : 16;
  for (uint32_t i = 0; i < image->directoryCount; ++i) {
    image->directories[i][0] = Get32(data + optional + countAt + 4 + i * 8);
    image->directories[i][1] = Get32(data + optional + countAt + 8 + i * 8);
  }
  image->sectionTable = optional + optionalSize;
  if (!Fits(*image, image->sectionTable,
            static_cast<uint64_t>(image->sectionCount) * kSectionHeaderBytes))
    return -1;
  return 0;
}

int64_t PeFileOffset(const PeImage& image, uint32_t address, uint32_t length) {
  uint64_t end = static_cast<uint64_t>(address) + length;
  if (end <= image.headerBytes) return Fits(image, address, length) ? address : -1;
  for (uint32_t i = 0; i < image.sectionCount; ++i) {
    const unsigned char* s = image.data + image.sectionTable + i * kSectionHeaderBytes;
    uint32_t start = Get32(s + 12);
    uint32_t rawSize = Get32(s + 16);
    uint32_t rawOffset = Get32(s + 20);
    // Only the bytes the file holds: the rest of a section is zeros in memory.
    if (address < start || end > static_cast<uint64_t>(start) + rawSize) continue;
    uint64_t offset = static_cast<uint64_t>(rawOffset) + (address - start);
    return Fits(image, offset, length) ? static_cast<int64_t>(offset) : -1;
  }
  return -1;
}

int PeImportNames(const PeImage& image, std::vector<std::string>* names) {
  names->clear();
  if (image.directoryCount <= kImportDirectory) return 0;
  uint32_t table = image.directories[kImportDirectory][0];
  if (table == 0) return 0;
  for (uint32_t i = 0; i < kImportDescriptorsMax; ++i) {
    int64_t at = PeFileOffset(image, table + i * kImportDescriptorBytes, kImportDescriptorBytes);
    if (at < 0) return -1;
    uint32_t nameAddress = Get32(image.data + at + 12);
    uint32_t addressTable = Get32(image.data + at + 16);
    if (nameAddress == 0 || addressTable == 0) return 0;
    // The name may end near the end of its section: take what lies whole.
    std::string name;
    for (;;) {
      int64_t c = PeFileOffset(image, nameAddress + static_cast<uint32_t>(name.size()), 1);
      if (c < 0 || name.size() >= kDllNameMax) return -1;
      if (image.data[c] == 0) break;
      name.push_back(static_cast<char>(image.data[c]));
    }
    names->push_back(name);
  }
  return -1;
}

namespace {

// The entry for `id` in the resource directory at `dir` (an offset into the
// resource section), or -1. *subdirectory says whether it leads to another
// directory.
int64_t ResourceEntry(const PeImage& image, uint32_t base, uint32_t dir, uint32_t id, bool first,
                      bool* subdirectory) {
  int64_t at = PeFileOffset(image, base + dir, 16);
  if (at < 0) return -1;
  uint32_t named = Get16(image.data + at + 12);
  uint32_t ids = Get16(image.data + at + 14);
  int64_t entries = PeFileOffset(image, base + dir + 16, (named + ids) * 8);
  if (entries < 0) return -1;
  // Named entries come first; ids follow.
  for (uint32_t i = named; i < named + ids; ++i) {
    const unsigned char* e = image.data + entries + i * 8;
    if (!first && Get32(e) != id) continue;
    uint32_t target = Get32(e + 4);
    *subdirectory = (target & 0x80000000u) != 0;
    return target & 0x7FFFFFFFu;
  }
  return -1;
}

}  // namespace

int PeFindResource(const PeImage& image, uint32_t type, uint32_t id, size_t* offset,
                   size_t* length) {
  if (image.directoryCount <= kResourceDirectory) return -1;
  uint32_t base = image.directories[kResourceDirectory][0];
  if (base == 0) return -1;
  bool sub = false;
  int64_t names = ResourceEntry(image, base, 0, type, false, &sub);
  if (names < 0 || !sub) return -1;
  int64_t languages = ResourceEntry(image, base, static_cast<uint32_t>(names), id, false, &sub);
  if (languages < 0 || !sub) return -1;
  int64_t data = ResourceEntry(image, base, static_cast<uint32_t>(languages), 0, true, &sub);
  if (data < 0 || sub) return -1;
  int64_t entry = PeFileOffset(image, base + static_cast<uint32_t>(data), 16);
  if (entry < 0) return -1;
  uint32_t size = Get32(image.data + entry + 4);
  int64_t bytes = PeFileOffset(image, Get32(image.data + entry), size);
  if (bytes < 0) return -1;
  *offset = static_cast<size_t>(bytes);
  *length = size;
  return 0;
}
