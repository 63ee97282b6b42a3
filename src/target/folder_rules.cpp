#include "target/folder_rules.h"

#include <cstring>

namespace {

inline size_t CharLength(const char* p, LeadByteFn isLead) {
  return (isLead(static_cast<unsigned char>(p[0])) && p[1] != '\0') ? 2 : 1;
}

// Appends src when the whole still fits in size bytes; false (text unchanged)
// when it would not.
bool Append(char* text, size_t size, const char* src) {
  size_t used = strlen(text);
  size_t add = strlen(src);
  if (used + add >= size) return false;
  memcpy(text + used, src, add + 1);
  return true;
}

// Inserts count bytes of src at position at, under the same rule.
bool Insert(char* text, size_t size, size_t at, const char* src, size_t count) {
  size_t used = strlen(text);
  if (used + count >= size) return false;
  memmove(text + at + count, text + at, used - at + 1);
  memcpy(text + at, src, count);
  return true;
}

void ReplaceSlashes(char* text, LeadByteFn isLead) {
  for (char* p = text; *p; p += CharLength(p, isLead)) {
    if (*p == '/') *p = '\\';
  }
}

// Two backslash characters in a row anywhere; a 0x5C trail byte never counts,
// whatever byte stands before it.
bool HasDoubleBackslash(const char* text, LeadByteFn isLead) {
  for (const char* p = text; *p; p += CharLength(p, isLead)) {
    if (p[0] == '\\' && p[1] == '\\') return true;
  }
  return false;
}

// The final character when it is a backslash of its own, else null.
char* TrailingBackslash(char* text, LeadByteFn isLead) {
  char* last = nullptr;
  for (char* p = text; *p; p += CharLength(p, isLead)) last = p;
  return (last && last[0] == '\\' && CharLength(last, isLead) == 1) ? last : nullptr;
}

// Length of the text up to and including the first ch, or 0 without one.
size_t PrefixThrough(const char* text, unsigned char ch, LeadByteFn isLead) {
  const char* at = MbsChr(text, ch, isLead);
  return at ? static_cast<size_t>(at - text) + 1 : 0;
}

bool IsSet(const char* value) { return value && value[0] != '\0'; }

}  // namespace

TargetFolderCheck TargetSuggestion(char* folder, const TargetFolderRules& rules,
                                   LeadByteFn isLead) {
  char work[kTargetFolderSize] = "";
  const char* windowsDir = rules.windowsDir ? rules.windowsDir : "";
  size_t drive = PrefixThrough(windowsDir, '\\', isLead);
  bool fits = Insert(work, sizeof work, 0, windowsDir, drive) &&
              Append(work, sizeof work, "Program Files\\");
  if (fits && IsSet(rules.instFol)) {
    fits = Append(work, sizeof work, rules.instFol) && Append(work, sizeof work, "\\");
  }
  fits = fits && Append(work, sizeof work, rules.instTo ? rules.instTo : "");
  if (!fits) {
    folder[0] = '\0';
    return kTargetFolderTooLong;
  }
  memcpy(folder, work, strlen(work) + 1);
  return kTargetFolderOk;
}

TargetFolderCheck TargetNormalise(char* folder, const TargetFolderRules& rules, LeadByteFn isLead) {
  char work[kTargetFolderSize];
  size_t length = strnlen(folder, sizeof work);
  if (length >= sizeof work) return kTargetFolderTooLong;
  memcpy(work, folder, length + 1);

  ReplaceSlashes(work, isLead);
  if (HasDoubleBackslash(work, isLead)) return kTargetFolderNetwork;
  if (char* last = TrailingBackslash(work, isLead)) *last = '\0';

  const char* instTo = rules.instTo ? rules.instTo : "";
  if (rules.instMakeFol != 0 && !MbsStr(work, instTo, isLead)) {
    bool fits = Append(work, sizeof work, "\\");
    if (fits && IsSet(rules.instFol)) {
      fits = Append(work, sizeof work, rules.instFol) && Append(work, sizeof work, "\\");
    }
    if (!fits || !Append(work, sizeof work, instTo)) return kTargetFolderTooLong;
  }

  if (!MbsChr(work, ':', isLead)) {
    const char* windowsDir = rules.windowsDir ? rules.windowsDir : "";
    if (!Insert(work, sizeof work, 0, windowsDir, PrefixThrough(windowsDir, ':', isLead))) {
      return kTargetFolderTooLong;
    }
  }
  if (char* colon = MbsChr(work, ':', isLead)) {
    if (colon[1] != '\\' && !Insert(work, sizeof work, colon + 1 - work, "\\", 1)) {
      return kTargetFolderTooLong;
    }
  }

  if (TrailingBackslash(work, isLead)) return kTargetFolderRoot;
  memcpy(folder, work, strlen(work) + 1);
  return kTargetFolderOk;
}

TargetVersionCheck TargetCheckVersion(int version, int low, int high) {
  if (version < low) return kTargetVersionTooOld;
  if (version > high) return kTargetVersionTooNew;
  return kTargetVersionOk;
}
