#include "update/deletion_rules.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

bool DeletionLineStaysInside(const char* line, LeadByteFn isLead) {
  const char* p = line;
  while (*p == ' ' || *p == '\t') ++p;
  if (IsSeparator(*p)) return false;
  int dots = 0;
  bool onlyDots = true;  // the component so far holds dots and blanks only
  for (;; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '\0' || IsSeparator(*p)) {
      if (onlyDots && dots >= 2) return false;
      if (c == '\0') return true;
      dots = 0;
      onlyDots = true;
      continue;
    }
    if (c == ':') return false;
    if (c == '.') {
      ++dots;
    } else if (c != ' ') {
      onlyDots = false;
    }
    if (isLead(c) && p[1] != '\0') ++p;
  }
}
