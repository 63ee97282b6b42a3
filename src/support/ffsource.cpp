#include "support/ffsource.h"

#include <cstring>

#include "support/crc32.h"
#include "support/path_text.h"
#include "support/text.h"

uint32_t FfnameHash(const char* text) { return ~Crc32Update(0xFFFFFFFFu, text, strlen(text)); }

uint32_t FflookupHash(const char* name, LeadByteFn isLead) {
  PathParts parts;
  SplitPath(name, &parts, isLead);
  char file[sizeof parts.name + sizeof parts.ext];
  CopyText(file, sizeof file, parts.name);
  AppendText(file, sizeof file, parts.ext);
  MbsLower(file, isLead);
  return FfnameHash(file);
}

namespace {

bool EqualsIgnoringAsciiCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a + 0x20) : *a;
    char y = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b + 0x20) : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

}  // namespace

bool FfisSoundName(const char* name, LeadByteFn isLead) {
  PathParts parts;
  SplitPath(name, &parts, isLead);
  return EqualsIgnoringAsciiCase(parts.ext, ".ogg") || EqualsIgnoringAsciiCase(parts.ext, ".wav");
}

const ArchiveIndexEntry* FffindArchiveEntry(const ArchiveIndexEntry* table, int32_t count,
                                            uint32_t hash) {
  int32_t low = 0;
  int32_t high = count - 1;
  while (low <= high) {
    int32_t mid = low + (high - low) / 2;
    if (table[mid].nameHash == hash) return &table[mid];
    if (table[mid].nameHash < hash) {
      low = mid + 1;
    } else {
      high = mid - 1;
    }
  }
  return nullptr;
}
