#include "support/sjis.h"

#include <cstring>

namespace {

struct LeadTable {
  bool lead[256];
  constexpr LeadTable() : lead() {
    for (int b = 0x81; b <= 0x9F; ++b) lead[b] = true;
    for (int b = 0xE0; b <= 0xFC; ++b) lead[b] = true;
  }
};
constexpr LeadTable kLeadTable;

// Bytes taken by the character at p: 2 for a lead byte with a trail, else 1.
inline size_t CharLength(const char* p, LeadByteFn isLead) {
  return (isLead(static_cast<unsigned char>(p[0])) && p[1] != '\0') ? 2 : 1;
}

}  // namespace

bool IsLeadByte(unsigned char b) { return kLeadTable.lead[b]; }

const char* MbsChr(const char* text, unsigned char ch, LeadByteFn isLead) {
  for (const char* p = text; *p; p += CharLength(p, isLead)) {
    if (static_cast<unsigned char>(*p) == ch && CharLength(p, isLead) == 1) return p;
  }
  return nullptr;
}

char* MbsChr(char* text, unsigned char ch, LeadByteFn isLead) {
  return const_cast<char*>(MbsChr(static_cast<const char*>(text), ch, isLead));
}

const char* MbsRChr(const char* text, unsigned char ch, LeadByteFn isLead) {
  const char* found = nullptr;
  for (const char* p = text; *p; p += CharLength(p, isLead)) {
    if (static_cast<unsigned char>(*p) == ch && CharLength(p, isLead) == 1) found = p;
  }
  return found;
}

const char* MbsStr(const char* text, const char* pattern, LeadByteFn isLead) {
  size_t n = strlen(pattern);
  if (n == 0) return text;
  for (const char* p = text; *p; p += CharLength(p, isLead)) {
    if (strncmp(p, pattern, n) == 0) return p;
  }
  return nullptr;
}

char* MbsStr(char* text, const char* pattern, LeadByteFn isLead) {
  return const_cast<char*>(MbsStr(static_cast<const char*>(text), pattern, isLead));
}

char* MbsLower(char* text, LeadByteFn isLead) {
  for (char* p = text; *p;) {
    unsigned char b = static_cast<unsigned char>(p[0]);
    if (CharLength(p, isLead) == 1) {
      if (b >= 'A' && b <= 'Z') p[0] = static_cast<char>(b + 0x20);
      p += 1;
      continue;
    }
    unsigned code = (b << 8) | static_cast<unsigned char>(p[1]);
    unsigned lower = code;
    if (code >= 0x8260 && code <= 0x8279) {
      lower = code + 0x21;  // Ａ-Ｚ -> ａ-ｚ
    } else if (code >= 0x839F && code <= 0x83B6) {
      lower = code + 0x20;  // Greek Α-Ω -> α-ω
    } else if (code >= 0x8440 && code <= 0x8460) {
      unsigned i = code - 0x8440;  // Cyrillic А-Я; the small letters skip 0x847F
      lower = (i < 15) ? 0x8470 + i : 0x8471 + i;
    }
    p[0] = static_cast<char>(lower >> 8);
    p[1] = static_cast<char>(lower & 0xFF);
    p += 2;
  }
  return text;
}

size_t MbsFitLength(const char* text, size_t maxBytes, LeadByteFn isLead) {
  size_t used = 0;
  for (const char* p = text; *p;) {
    size_t len = CharLength(p, isLead);
    if (used + len > maxBytes) break;
    used += len;
    p += len;
  }
  return used;
}
