#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "support/text.h"
#include "updpack/check/check_codepage.h"
#include "updpack/check/check_internal.h"
#include "updpack/check/check_suggest.h"

void CheckAdd(EnvCheckResult* r, CheckSeverity severity, CheckCode code, int line, int column,
              const std::string& message) {
  r->findings.push_back({severity, code, line, column, message});
  if (severity == CheckSeverity::kError) {
    ++r->errors;
  } else {
    ++r->warnings;
  }
}

void CheckError(EnvCheckResult* r, CheckCode code, int line, const std::string& message) {
  CheckAdd(r, CheckSeverity::kError, code, line, 0, message);
}

void CheckWarn(EnvCheckResult* r, CheckCode code, int line, const std::string& message) {
  CheckAdd(r, CheckSeverity::kWarning, code, line, 0, message);
}

std::string Quoted(const std::string& cp932) { return "\"" + DisplayText(cp932) + "\""; }

std::string HexBytes(const std::string& bytes) {
  std::string out;
  char hex[8];
  for (unsigned char b : bytes) {
    snprintf(hex, sizeof hex, "%s0x%02X", out.empty() ? "" : " ", b);
    out += hex;
  }
  return out;
}

bool BeginsWith(const char* text, const char* start) {
  return strncmp(text, start, strlen(start)) == 0;
}

bool BeginsWithAnyCase(const char* text, const char* start) {
  for (; *start; ++text, ++start) {
    if (AsciiLower(*text) != AsciiLower(*start)) {
      return false;
    }
  }
  return true;
}

std::string Suggestion(const std::string& word, const char* const* names, size_t count) {
  const char* nearest = NearestName(word, names, count);
  if (!nearest) return std::string();
  size_t limit = std::max<size_t>(2, word.size() / 2);
  if (EditDistance(word, nearest) > limit) return std::string();
  return std::string("; did you mean ") + nearest + "?";
}
