#include "payload/entry.h"

#include <cstring>

#include "support/text.h"

namespace {

uint32_t Get16(const unsigned char* p) { return p[0] | (p[1] << 8); }

uint32_t Get32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

int Corrupt(const char** reason, const char* text) {
  if (reason) *reason = text;
  return kPayloadCorrupt;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A component that Windows would read as "." or "..", or that is empty.
bool IsUnsafeComponent(const char* begin, const char* end) {
  for (const char* p = begin; p < end; ++p) {
    if (*p != '.' && *p != ' ') return false;
  }
  return true;
}

// The top-level component [begin, end) names the staging folder.
bool IsStagingComponent(const char* begin, const char* end) {
  while (end > begin && (end[-1] == '.' || end[-1] == ' ')) --end;
  size_t length = sizeof kPayloadStagingName - 1;
  if (static_cast<size_t>(end - begin) != length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (AsciiLower(begin[i]) != kPayloadStagingName[i]) return false;
  }
  return true;
}

}  // namespace

int PayloadReadEntry(FILE* stream, uint32_t available, PayloadEntry* entry, LeadByteFn isLead,
                     const char** reason, int flags) {
  unsigned char bytes[8];
  if (available < kPayloadNameLengthBytes)
    return Corrupt(reason, "entry runs past the payload's end");
  if (fread(bytes, 1, kPayloadNameLengthBytes, stream) != kPayloadNameLengthBytes) {
    return Corrupt(reason, "short read of an entry header");
  }
  entry->nameLength = Get16(bytes);
  if (entry->nameLength == 0) {
    // The end marker is four zero bytes and the last thing before the trailer.
    if (available != kPayloadEndMarkerBytes) {
      return Corrupt(reason, "end marker is not at the payload's end");
    }
    if (fread(bytes, 1, 2, stream) != 2) return Corrupt(reason, "short read of the end marker");
    if (bytes[0] != 0 || bytes[1] != 0) return Corrupt(reason, "end marker is not four zero bytes");
    entry->name[0] = '\0';
    entry->size = 0;
    entry->packedSize = 0;
    return kPayloadEndReached;
  }
  if (entry->nameLength > kPayloadNameMax) return Corrupt(reason, "name length over 260");
  if (available < entry->nameLength + kPayloadHeaderFixedBytes) {
    return Corrupt(reason, "entry runs past the payload's end");
  }
  if (fread(entry->name, 1, entry->nameLength, stream) != entry->nameLength) {
    return Corrupt(reason, "short read of an entry name");
  }
  if (entry->name[entry->nameLength - 1] != '\0') return Corrupt(reason, "name is not terminated");
  if (fread(bytes, 1, 8, stream) != 8) return Corrupt(reason, "short read of an entry header");
  entry->size = Get32(bytes);
  entry->packedSize = Get32(bytes + 4);

  bool folder = PayloadIsFolder(*entry);
  if (PayloadIsDelta(*entry)) {
    if (!(flags & kPayloadDeltasKnown)) return Corrupt(reason, "size of 2^31 or more");
    if (entry->packedSize < kDeltaHeaderBytes)
      return Corrupt(reason, "delta shorter than its header");
  }
  if (!folder) {
    if (entry->size > kPayloadValueMax && !PayloadIsDelta(*entry))
      return Corrupt(reason, "size of 2^31 or more");
    if (entry->packedSize > kPayloadValueMax) return Corrupt(reason, "packed size of 2^31 or more");
    uint64_t needed = static_cast<uint64_t>(PayloadHeaderBytes(*entry)) + PayloadDataBytes(*entry);
    if (needed > available) return Corrupt(reason, "entry runs past the payload's end");
  }
  if (!PayloadNameIsSafe(entry->name, folder, isLead)) {
    return Corrupt(reason, "name leaves the destination folder");
  }
  return kPayloadEntryRead;
}

bool PayloadNameIsSafe(const char* name, bool isFolder, LeadByteFn isLead) {
  if (name[0] == '\0' || IsSeparator(name[0])) return false;
  const char* component = name;
  const char* p = name;
  while (*p) {
    unsigned char b = static_cast<unsigned char>(*p);
    if (isLead(b) && p[1] != '\0') {
      p += 2;  // the second byte may have the backslash's code; it is no separator
      continue;
    }
    if (*p == ':') return false;
    if (IsSeparator(*p)) {
      if (IsUnsafeComponent(component, p)) return false;
      if (component == name && IsStagingComponent(component, p)) return false;
      component = p + 1;
    }
    ++p;
  }
  if (component == p) return isFolder;  // ends with a separator: a folder only
  if (component == name && IsStagingComponent(component, p)) return false;
  return !IsUnsafeComponent(component, p);
}
