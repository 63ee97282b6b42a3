#include "updpack/report.h"

#include <unistd.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>

namespace {

bool g_quiet = false;
int g_limit = 0;  // messages still to show when limited
bool g_limited = false;
int g_heldBack = 0;

struct Progress {
  bool active = false;
  const char* label = "";
  uint64_t total = 0;
  std::chrono::steady_clock::time_point lastDraw;
};
Progress g_progress;

void Report(const char* kind, const char* file, const char* format, va_list args) {
  if (g_limited) {
    if (g_limit == 0) {
      ++g_heldBack;
      return;
    }
    --g_limit;
  }
  if (g_progress.active) fputc('\n', stderr);
  fputs("updpack: ", stderr);
  if (file) fprintf(stderr, "%s: ", file);
  fputs(kind, stderr);
  vfprintf(stderr, format, args);
  fputc('\n', stderr);
}

void Draw(uint64_t done) {
  const int width = 40;
  uint64_t total = g_progress.total ? g_progress.total : 1;
  if (done > total) done = total;
  int filled = static_cast<int>(done * width / total);
  fprintf(stderr, "\r%s [", g_progress.label);
  for (int i = 0; i < width; ++i) fputc(i < filled ? '#' : '.', stderr);
  fprintf(stderr, "] %3d%%", static_cast<int>(done * 100 / total));
  fflush(stderr);
}

}  // namespace

void SetQuiet(bool quiet) { g_quiet = quiet; }

bool IsQuiet() { return g_quiet; }

int ReportLimit(int limit) {
  int held = g_heldBack;
  g_heldBack = 0;
  g_limited = limit > 0;
  g_limit = limit;
  return held;
}

void ReportError(const char* file, const char* format, ...) {
  va_list args;
  va_start(args, format);
  Report("", file, format, args);
  va_end(args);
}

void ReportWarning(const char* file, const char* format, ...) {
  va_list args;
  va_start(args, format);
  Report("warning: ", file, format, args);
  va_end(args);
}

void ReportInfo(const char* format, ...) {
  if (g_quiet) return;
  va_list args;
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
}

void ProgressStart(const char* label, uint64_t total) {
  g_progress = Progress();
  if (g_quiet || !isatty(fileno(stderr))) return;
  g_progress.active = true;
  g_progress.label = label;
  g_progress.total = total;
  g_progress.lastDraw = std::chrono::steady_clock::now();
  Draw(0);
}

void ProgressUpdate(uint64_t done) {
  if (!g_progress.active) return;
  auto now = std::chrono::steady_clock::now();
  if (now - g_progress.lastDraw < std::chrono::milliseconds(100)) return;
  g_progress.lastDraw = now;
  Draw(done);
}

void ProgressEnd() {
  if (!g_progress.active) return;
  Draw(g_progress.total);
  fputc('\n', stderr);
  g_progress.active = false;
}

std::string HumanBytes(uint64_t n) {
  char buf[64];
  if (n >= (1ull << 30)) {
    snprintf(buf, sizeof buf, "%.2f GiB", n / 1073741824.0);
  } else if (n >= (1ull << 20)) {
    snprintf(buf, sizeof buf, "%.1f MiB", n / 1048576.0);
  } else if (n >= 1024) {
    snprintf(buf, sizeof buf, "%.1f KiB", n / 1024.0);
  } else {
    snprintf(buf, sizeof buf, "%llu bytes", static_cast<unsigned long long>(n));
  }
  return buf;
}
