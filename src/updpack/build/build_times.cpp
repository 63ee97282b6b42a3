#include "updpack/build/build_times.h"

#include <cstdio>

#include "payload/filetime.h"
#include "updpack/report.h"

namespace {

// Reads exactly `digits` decimal digits.
bool Digits(const char*& p, int digits, int* value) {
  *value = 0;
  for (int i = 0; i < digits; ++i, ++p) {
    if (*p < '0' || *p > '9') return false;
    *value = *value * 10 + (*p - '0');
  }
  return true;
}

bool Expect(const char*& p, char c) {
  if (*p != c) return false;
  ++p;
  return true;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

bool ParseDate(const char* p, int64_t* seconds) {
  int y, mo, d, h = 0, mi = 0, s = 0;
  if (!Digits(p, 4, &y) || !Expect(p, '-') || !Digits(p, 2, &mo) || !Expect(p, '-') ||
      !Digits(p, 2, &d))
    return false;
  if (*p == ' ' || *p == 'T') {
    ++p;
    if (!Digits(p, 2, &h) || !Expect(p, ':') || !Digits(p, 2, &mi) || !Expect(p, ':') ||
        !Digits(p, 2, &s))
      return false;
  }
  if (*p == 'Z') ++p;
  if (*p || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return false;
  *seconds = DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
  return true;
}

bool ParseSeconds(const char* p, int64_t* seconds) {
  if (*p == '@') ++p;
  if (!*p) return false;
  int64_t value = 0;
  for (; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    // Far beyond any FILETIME a payload can hold; stops the overflow.
    if (value > 100000000000LL) return false;
    value = value * 10 + (*p - '0');
  }
  *seconds = value;
  return true;
}

}  // namespace

// Parses a time given as seconds since 1970 ("1700000000" or "@1700000000")
// or as a UTC date "YYYY-MM-DD", "YYYY-MM-DD hh:mm:ss" or with a "T" between
// them. Returns false for anything else, or a time before 1970.
static bool BuildParseTime(const std::string& text, uint64_t* fileTime) {
  int64_t seconds = 0;
  if (!ParseSeconds(text.c_str(), &seconds) && !ParseDate(text.c_str(), &seconds)) return false;
  if (seconds < 0) return false;
  *fileTime = PayloadTimeFromUnix(seconds, 0);
  return true;
}

int BuildTimesFrom(const std::string& mtime, const char* sourceDateEpoch, BuildTimes* times) {
  if (!mtime.empty()) {
    if (!BuildParseTime(mtime, &times->fileTime)) {
      ReportError(nullptr, "--mtime: \"%s\" is not seconds since 1970 nor YYYY-MM-DD[ hh:mm:ss]",
                  mtime.c_str());
      return -1;
    }
    times->rule = BuildTimeRule::kSet;
    return 0;
  }
  if (!sourceDateEpoch || !*sourceDateEpoch) return 0;
  // Only the plain number is the variable's format; a date here is a mistake.
  std::string value = sourceDateEpoch;
  if (value[0] == '@' || !BuildParseTime(value, &times->fileTime) ||
      value.find('-') != std::string::npos) {
    ReportError(nullptr, "SOURCE_DATE_EPOCH: \"%s\" is not seconds since 1970", sourceDateEpoch);
    return -1;
  }
  times->rule = BuildTimeRule::kClamp;
  return 0;
}

void BuildApplyTimes(const BuildTimes& times, std::vector<BuildEntry>* entries) {
  for (BuildEntry& e : *entries) {
    if (e.isFolder) continue;
    if (times.rule == BuildTimeRule::kSet ||
        (times.rule == BuildTimeRule::kClamp && e.fileTime > times.fileTime)) {
      e.fileTime = times.fileTime;
    }
  }
}
