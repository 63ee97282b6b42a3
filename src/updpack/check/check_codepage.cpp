#include "updpack/check/check_codepage.h"

#include "support/sjis.h"

namespace {

bool IsTrailByte(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// Single bytes that the code page defines: ASCII and half-width katakana.
bool IsSingleByte(unsigned char b) { return b < 0x80 || (b >= 0xA1 && b <= 0xDF); }

// Length of the UTF-8 character at text[pos] and its code point; 0 when the
// bytes are not well-formed UTF-8 (overlong forms and surrogates included).
size_t DecodeUtf8(const std::string& text, size_t pos, uint32_t* codePoint) {
  unsigned char b = static_cast<unsigned char>(text[pos]);
  size_t length;
  uint32_t cp;
  uint32_t min;
  if (b < 0x80) {
    *codePoint = b;
    return 1;
  } else if (b >= 0xC2 && b <= 0xDF) {
    length = 2, cp = b & 0x1F, min = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3, cp = b & 0x0F, min = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4, cp = b & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(text[pos + i]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  *codePoint = cp;
  return length;
}

}  // namespace

size_t Utf8BomLength(const std::string& text) {
  return text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
}

bool HasUtf16Bom(const std::string& text) {
  return text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0;
}

bool LooksLikeUtf8(const std::string& text) {
  if (Utf8BomLength(text)) return true;
  bool multiByte = false;
  for (size_t pos = 0; pos < text.size();) {
    uint32_t cp;
    size_t n = DecodeUtf8(text, pos, &cp);
    if (n == 0) return false;
    if (n > 1) multiByte = true;
    pos += n;
  }
  return multiByte;
}

std::vector<CodepageProblem> FindInvalidCp932(const std::string& text) {
  std::vector<CodepageProblem> problems;
  int line = 1;
  int column = 1;
  for (size_t pos = 0; pos < text.size();) {
    unsigned char b = static_cast<unsigned char>(text[pos]);
    size_t length = 1;
    bool valid;
    if (IsLeadByte(b)) {
      if (pos + 1 < text.size() && IsTrailByte(static_cast<unsigned char>(text[pos + 1]))) {
        length = 2;
        std::string utf8;
        valid = Cp932CharToUtf8(text.data() + pos, 2, &utf8);
      } else {
        valid = false;  // the lead byte alone is the fault; go on after it
      }
    } else {
      valid = IsSingleByte(b);
    }
    if (!valid) problems.push_back({line, column, 0, text.substr(pos, length)});
    if (b == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
    pos += length;
  }
  return problems;
}

std::string Utf8ToCp932(const std::string& utf8, std::vector<CodepageProblem>* problems) {
  std::string out;
  int line = 1;
  int column = 1;
  for (size_t pos = Utf8BomLength(utf8); pos < utf8.size();) {
    uint32_t cp = 0;
    size_t n = DecodeUtf8(utf8, pos, &cp);
    std::string converted;
    if (n == 0) {
      n = 1;  // a stray byte: reported like a character without a CP932 form
      problems->push_back({line, column, 0, utf8.substr(pos, 1)});
      out += '?';
    } else if (cp < 0x80) {
      out += utf8[pos];
    } else if (Utf8CharToCp932(utf8.data() + pos, n, &converted)) {
      out += converted;
    } else {
      problems->push_back({line, column, cp, utf8.substr(pos, n)});
      out += '?';
    }
    if (utf8[pos] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
    pos += n;
  }
  return out;
}

std::string DisplayText(const std::string& cp932) {
#ifdef _WIN32
  return cp932;
#else
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (size_t pos = 0; pos < cp932.size();) {
    unsigned char b = static_cast<unsigned char>(cp932[pos]);
    size_t length = IsLeadByte(b) && pos + 1 < cp932.size() ? 2 : 1;
    std::string utf8;
    if (b < 0x80) {
      out += static_cast<char>(b);
    } else if (Cp932CharToUtf8(cp932.data() + pos, length, &utf8)) {
      out += utf8;
    } else {
      length = 1;
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
    pos += length;
  }
  return out;
#endif
}
