// Messages and progress display of updpack: errors and warnings go to stderr
// as "updpack: FILE: reason"; the progress bar is drawn only on a terminal.
#pragma once

#include <cstdint>
#include <string>

void SetQuiet(bool quiet);
bool IsQuiet();

// "updpack: FILE: message" (FILE left out when null) on stderr.
void ReportError(const char* file, const char* format, ...) __attribute__((format(printf, 2, 3)));
void ReportWarning(const char* file, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Shows at most `limit` more errors and warnings, counting the rest (0: no
// limit again). Returns how many were held back since the previous call.
int ReportLimit(int limit);

// A byte count as people read it: "512 bytes", "1.5 KiB", "3.2 MiB", "1.25 GiB".
std::string HumanBytes(uint64_t n);

// An informational line on stdout, suppressed by --quiet.
void ReportInfo(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A progress bar on stderr for long work; does nothing when stderr is not a
// terminal or --quiet is given. Update may be called often: it redraws at
// most a few times a second.
void ProgressStart(const char* label, uint64_t total);
void ProgressUpdate(uint64_t done);
void ProgressEnd();
