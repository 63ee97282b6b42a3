#include "payload/names.h"

#include <cstring>

#include "support/text.h"

bool NameContains(const char* name, const char* pattern, LeadByteFn isLead) {
  char lowerName[260];
  char lowerPattern[260];
  CopyText(lowerName, sizeof lowerName, name);
  CopyText(lowerPattern, sizeof lowerPattern, pattern);
  MbsLower(lowerName, isLead);
  MbsLower(lowerPattern, isLead);
  return MbsStr(lowerName, lowerPattern, isLead) != nullptr;
}

PayloadStartupAction PayloadStartupSelect(const PayloadEntry& entry, LeadByteFn isLead) {
  if (PayloadIsFolder(entry)) {
    const char* separator = MbsChr(entry.name, '\\', isLead);
    return (separator && separator[1] != '\0') ? kStartupStop : kStartupSkip;
  }
  for (const char* pattern : kPayloadStartupPatterns) {
    if (NameContains(entry.name, pattern, isLead)) return kStartupWrite;
  }
  return kStartupSkip;
}

int PayloadJoinPath(char* out, size_t size, const char* folder, const char* name) {
  if (size == 0) return -1;
  size_t needed = strlen(folder) + 1 + strlen(name) + 1;
  if (needed > size) {
    out[0] = '\0';
    return -1;
  }
  FormatText(out, size, "%s\\%s", folder, name);
  return 0;
}
