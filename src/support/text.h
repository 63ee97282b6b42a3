// Bounded copies and formatting into fixed text buffers.
#pragma once

#include <cstdarg>
#include <cstddef>

// Copies src into dst, cut to size - 1 bytes, always terminated. Returns dst.
char* CopyText(char* dst, size_t size, const char* src);

// Appends src to the text in dst, cut so that the whole fits in size bytes.
char* AppendText(char* dst, size_t size, const char* src);

// printf-style formatting cut to size - 1 bytes, always terminated. Returns
// the length the whole text would have had (as vsnprintf does), so a result
// of size or more tells the caller the text was cut.
int FormatText(char* dst, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
int FormatTextV(char* dst, size_t size, const char* format, va_list args);

// The letter in lower case when it is an ASCII capital, else unchanged: the
// folding Windows applies to names, whatever the C library's locale. (It is
// for single bytes; a caller skips the second byte of a double-byte
// character itself.)
inline char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
