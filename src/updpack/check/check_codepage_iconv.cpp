// The CP932 table of glibc's iconv, for the native build.
#ifndef _WIN32

#include <iconv.h>

#include "updpack/check/check_codepage.h"

namespace {

// One converter per direction, opened on first use and kept for the run.
struct Converter {
  const char* to;
  const char* from;
  iconv_t cd = reinterpret_cast<iconv_t>(-1);
};
Converter g_toUtf8{"UTF-8", "CP932"};
Converter g_toCp932{"CP932", "UTF-8"};

// Converts one character; false when iconv refuses any of its bytes.
bool ConvertOne(Converter* c, const char* bytes, size_t length, std::string* out) {
  const iconv_t kFailed = reinterpret_cast<iconv_t>(-1);
  if (c->cd == kFailed) c->cd = iconv_open(c->to, c->from);
  if (c->cd == kFailed) return false;
  iconv(c->cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  char buffer[16];
  char* in = const_cast<char*>(bytes);
  size_t inLeft = length;
  char* outPtr = buffer;
  size_t outLeft = sizeof buffer;
  size_t r = iconv(c->cd, &in, &inLeft, &outPtr, &outLeft);
  bool ok = r != static_cast<size_t>(-1) && inLeft == 0 &&
            iconv(c->cd, nullptr, nullptr, &outPtr, &outLeft) != static_cast<size_t>(-1);
  if (ok) out->assign(buffer, static_cast<size_t>(outPtr - buffer));
  return ok;
}

}  // namespace

bool Cp932CharToUtf8(const char* bytes, size_t length, std::string* utf8) {
  return ConvertOne(&g_toUtf8, bytes, length, utf8);
}

bool Utf8CharToCp932(const char* bytes, size_t length, std::string* cp932) {
  return ConvertOne(&g_toCp932, bytes, length, cp932);
}

#endif
