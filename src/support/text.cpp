#include "support/text.h"

#include <cstdio>
#include <cstring>

char* CopyText(char* dst, size_t size, const char* src) {
  if (size == 0) return dst;
  size_t n = strlen(src);
  if (n > size - 1) n = size - 1;
  memcpy(dst, src, n);
  dst[n] = '\0';
  return dst;
}

char* AppendText(char* dst, size_t size, const char* src) {
  size_t used = strnlen(dst, size);
  if (used >= size) return dst;
  CopyText(dst + used, size - used, src);
  return dst;
}

int FormatTextV(char* dst, size_t size, const char* format, va_list args) {
  if (size == 0) return 0;
  int n = vsnprintf(dst, size, format, args);
  dst[size - 1] = '\0';  // some C run-times leave a full buffer unterminated
  if (n < 0) dst[0] = '\0';
  return n;
}

int FormatText(char* dst, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = FormatTextV(dst, size, format, args);
  va_end(args);
  return n;
}
