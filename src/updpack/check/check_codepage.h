// Text encodings for `updpack check`: the updater reads install.env as code
// page 932 (Shift-JIS); makers often save UTF-8. Conversions use the CP932
// table of the platform: glibc's iconv "CP932" natively, the Win32 code page
// functions on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A character that is not what the updater can read, by line and column
// (1-based, counted in characters).
struct CodepageProblem {
  int line = 0;
  int column = 0;
  uint32_t codePoint = 0;  // UTF-8 input: the character; else 0
  std::string bytes;       // its bytes in the file
};

// Bytes of the UTF-8 byte order mark, when the text begins with it (else 0).
size_t Utf8BomLength(const std::string& text);
// True when the text starts with a UTF-16 byte order mark.
bool HasUtf16Bom(const std::string& text);
// True for a UTF-8 text: a byte order mark, or at least one multi-byte
// character and no byte sequence that UTF-8 forbids.
bool LooksLikeUtf8(const std::string& text);

// Every character that code page 932 does not define (a lone trail byte, a
// lead byte without a valid trail, an unassigned code).
std::vector<CodepageProblem> FindInvalidCp932(const std::string& text);

// Converts UTF-8 text (a byte order mark is dropped) to code page 932. Each
// character without a CP932 form is reported and written as "?". Line ends
// and every other byte below 0x80 pass unchanged.
std::string Utf8ToCp932(const std::string& utf8, std::vector<CodepageProblem>* problems);

// The text for the terminal: natively CP932 turned into UTF-8 (bytes that do
// not decode are shown as \xNN); on Windows unchanged, as the console runs
// in the ANSI code page.
std::string DisplayText(const std::string& cp932);

// One CP932 character (1 or 2 bytes) as UTF-8; false when it is undefined.
bool Cp932CharToUtf8(const char* bytes, size_t length, std::string* utf8);
// One UTF-8 character as CP932; false when it has no CP932 form.
bool Utf8CharToCp932(const char* bytes, size_t length, std::string* cp932);
