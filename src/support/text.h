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
