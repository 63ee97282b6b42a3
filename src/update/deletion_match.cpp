#include "update/deletion_match.h"

#include <cstring>
#include <string>

namespace {

// Length of the character at p: 2 for a lead byte with a byte after it.
size_t CharLength(const char* p, LeadByteFn isLead) {
  return isLead(static_cast<unsigned char>(*p)) && p[1] != '\0' ? 2 : 1;
}

std::string Folded(const char* text, LeadByteFn isLead) {
  std::string copy(text);
  MbsLower(&copy[0], isLead);
  return copy;
}

// Both texts folded. Backtracks only to the last "*", so a line of many
// stars costs the product of the two lengths at most.
bool Match(const char* pattern, const char* name, LeadByteFn isLead) {
  const char* star = nullptr;  // the last "*" seen, and where its match ends
  const char* resume = nullptr;
  while (*name) {
    size_t n = CharLength(name, isLead);
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
      continue;
    }
    size_t p = *pattern ? CharLength(pattern, isLead) : 0;
    if (*pattern == '?' || (p == n && memcmp(pattern, name, n) == 0)) {
      pattern += p;
      name += n;
    } else if (star) {
      pattern = star + 1;
      resume += CharLength(resume, isLead);
      name = resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

}  // namespace

bool DeletionPatternMatches(const char* pattern, const char* name, LeadByteFn isLead) {
  std::string p = Folded(pattern, isLead);
  std::string n = Folded(name, isLead);
  if (p == "*.*" || p == "*") return true;
  if (Match(p.c_str(), n.c_str(), isLead)) return true;
  // The search takes a name without a dot as ending in one.
  if (!p.empty() && p.back() == '.' && !MbsChr(n.c_str(), '.', isLead)) {
    p.pop_back();
    return Match(p.c_str(), n.c_str(), isLead);
  }
  return false;
}

bool DeletionLineMatches(const char* line, const char* path, LeadByteFn isLead) {
  const char* lineSlash = MbsRChr(line, '\\', isLead);
  const char* pathSlash = MbsRChr(path, '\\', isLead);
  size_t lineFolder = lineSlash ? static_cast<size_t>(lineSlash - line) + 1 : 0;
  size_t pathFolder = pathSlash ? static_cast<size_t>(pathSlash - path) + 1 : 0;
  if (lineFolder != pathFolder) return false;
  if (Folded(std::string(line, lineFolder).c_str(), isLead) !=
      Folded(std::string(path, pathFolder).c_str(), isLead)) {
    return false;
  }
  return DeletionPatternMatches(line + lineFolder, path + pathFolder, isLead);
}

bool DeletionLineIsExact(const char* line, LeadByteFn isLead) {
  return !MbsChr(line, '*', isLead) && !MbsChr(line, '?', isLead);
}
