#include "update/transfer.h"

#include <cstring>

#include "support/text.h"

namespace {

const char* g_targetFolder = nullptr;
CdromDriveFn g_cdromDrive = nullptr;
LeadByteFn g_isLead = IsLeadByte;

char g_unescaped[kTransferTextSize];
char g_iniReplaced[kTransferTextSize];
char g_regReplaced[kTransferTextSize];

const char kSeparator[] = "\"=\"";

const char* DriveText() { return g_cdromDrive ? g_cdromDrive() : "E:\\"; }
const char* TargetFolderText() { return g_targetFolder ? g_targetFolder : ""; }

bool Fits(const char* line) { return strlen(line) < kTransferTextSize; }

size_t CharLength(const char* p) {
  return (g_isLead(static_cast<unsigned char>(p[0])) && p[1] != '\0') ? 2 : 1;
}

// Puts the replacement in place of the pattern's bytes at `at` in the working
// text. False, with the text unchanged, when the result would not fit.
bool PutIn(char* work, char* at, size_t patternLength, const char* replacement) {
  const char* rest = at + patternLength;
  size_t total = static_cast<size_t>(at - work) + strlen(replacement) + strlen(rest);
  if (total >= kTransferTextSize) return false;
  char saved[kTransferTextSize];
  CopyText(saved, sizeof saved, rest);
  *at = '\0';
  AppendText(work, kTransferTextSize, replacement);
  AppendText(work, kTransferTextSize, saved);
  return true;
}

// The two replacements of one working text; the drive is asked for only
// when its placeholder occurs.
const char* Replace(char* work, const char* line, const char* drivePlaceholder) {
  if (!Fits(line)) return nullptr;
  CopyText(work, kTransferTextSize, line);
  if (char* at = MbsStr(work, drivePlaceholder, g_isLead)) {
    if (!PutIn(work, at, strlen(drivePlaceholder), DriveText())) return nullptr;
  }
  const char kInstall[] = "REP_INSTALL";
  if (char* at = MbsStr(work, kInstall, g_isLead)) {
    if (!PutIn(work, at, strlen(kInstall), TargetFolderText())) return nullptr;
  }
  return work;
}

void CopyPart(char* out, const char* from, const char* to) {
  size_t n = to > from ? static_cast<size_t>(to - from) : 0;
  memcpy(out, from, n);
  out[n] = '\0';
}

}  // namespace

void SetTransferTargetFolder(const char* folder) { g_targetFolder = folder; }

void SetTransferPlatform(CdromDriveFn cdromDrive, LeadByteFn isLead) {
  g_cdromDrive = cdromDrive;
  g_isLead = isLead ? isLead : IsLeadByte;
}

const char* ReplaceIniPlaceholders(const char* line) {
  return Replace(g_iniReplaced, line, "REP_CDROMDRIVE");
}

const char* ReplaceRegPlaceholders(const char* line) {
  return Replace(g_regReplaced, line, "REP_CDROM");
}

const char* UnescapeRegText(const char* line) {
  if (!Fits(line)) return nullptr;
  size_t out = 0;
  for (const char* p = line; *p;) {
    if (*p == '\\') {
      ++p;  // the backslash goes; what it escapes stays, whatever it is
      if (!*p) break;
    }
    size_t n = CharLength(p);
    memcpy(g_unescaped + out, p, n);
    out += n;
    p += n;
  }
  g_unescaped[out] = '\0';
  return g_unescaped;
}

int ParseIniLine(const char* line, char* key, char* value) {
  if (!MbsChr(line, '=', g_isLead)) return -1;
  const char* replaced = ReplaceIniPlaceholders(line);
  if (!replaced) return -1;
  const char* equals = MbsChr(replaced, '=', g_isLead);
  if (!equals) return -1;  // a target folder ending in a lead byte can swallow it
  CopyPart(key, replaced, equals);
  CopyText(value, kTransferTextSize, equals + 1);
  return 0;
}

int ParseRegLine(const char* line, char* name, char* data) {
  if (!MbsStr(line, kSeparator, g_isLead)) return -1;
  const char* unescaped = UnescapeRegText(line);
  if (!unescaped) return -1;
  const char* replaced = ReplaceRegPlaceholders(unescaped);
  if (!replaced) return -1;
  const char* separator = MbsStr(replaced, kSeparator, g_isLead);
  if (!separator) return -1;
  // The opening quote and the closing one are dropped whatever they are.
  CopyPart(name, replaced + 1, separator);
  const char* text = separator + strlen(kSeparator);
  size_t n = strlen(text);
  CopyPart(data, text, text + (n > 0 ? n - 1 : 0));
  return 0;
}
