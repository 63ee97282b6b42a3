// The code page functions of Windows, for the Windows build.
#ifdef _WIN32

#include <windows.h>

#include "updpack/check/check_codepage.h"

namespace {

constexpr UINT kCp932 = 932;

}  // namespace

bool Cp932CharToUtf8(const char* bytes, size_t length, std::string* utf8) {
  wchar_t wide[4];
  int n = MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(length), wide,
                              4);
  if (n <= 0) return false;
  char out[16];
  int m = WideCharToMultiByte(CP_UTF8, 0, wide, n, out, sizeof out, nullptr, nullptr);
  if (m <= 0) return false;
  utf8->assign(out, static_cast<size_t>(m));
  return true;
}

bool Utf8CharToCp932(const char* bytes, size_t length, std::string* cp932) {
  wchar_t wide[4];
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(length),
                              wide, 4);
  if (n <= 0) return false;
  char out[8];
  BOOL usedDefault = FALSE;
  // No best fit: a character that only resembles a CP932 one is reported,
  // not silently replaced.
  int m = WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide, n, out, sizeof out, nullptr,
                              &usedDefault);
  if (m <= 0 || usedDefault) return false;
  cp932->assign(out, static_cast<size_t>(m));
  return true;
}

#endif
