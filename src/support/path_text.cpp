#include "support/path_text.h"

#include <cstring>

#include "support/text.h"

namespace {

// True when the text ends with a backslash that is a character of its own.
bool EndsWithBackslash(const char* text, size_t len) {
  if (len == 0 || text[len - 1] != '\\') return false;
  return len == 1 || !IsLeadByte(static_cast<unsigned char>(text[len - 2]));
}

void CopyPart(char* dst, size_t size, const char* from, size_t len) {
  if (len > size - 1) len = size - 1;
  memcpy(dst, from, len);
  dst[len] = '\0';
}

}  // namespace

char* StripTrailingBackslash(char* text) {
  size_t len = strlen(text);
  if (EndsWithBackslash(text, len)) text[len - 1] = '\0';
  return text;
}

char* AddTrailingBackslash(char* text) {
  size_t len = strlen(text);
  if (!EndsWithBackslash(text, len)) {
    text[len] = '\\';
    text[len + 1] = '\0';
  }
  return text;
}

void SplitPath(const char* path, PathParts* parts, LeadByteFn isLead) {
  const char* rest = path;
  parts->drive[0] = '\0';
  if (rest[0] != '\0' && rest[1] == ':') {
    CopyPart(parts->drive, sizeof parts->drive, rest, 2);
    rest += 2;
  }
  const char* back = MbsRChr(rest, '\\', isLead);
  const char* slash = MbsRChr(rest, '/', isLead);
  const char* last = (back && (!slash || back > slash)) ? back : slash;
  const char* file = last ? last + 1 : rest;
  CopyPart(parts->dir, sizeof parts->dir, rest, static_cast<size_t>(file - rest));
  const char* dot = MbsRChr(file, '.', isLead);
  size_t nameLen = dot ? static_cast<size_t>(dot - file) : strlen(file);
  CopyPart(parts->name, sizeof parts->name, file, nameLen);
  CopyText(parts->ext, sizeof parts->ext, dot ? dot : "");
}
