// `updpack check`: reads install.env as the updater will and reports, with
// file and line, what would go wrong or differ from what the maker meant.
//
// For `updpack build`: call CheckEnvFile on DIR/install.env and refuse to
// build when it returns more than 0 (unless --force); pass fromUtf8 when the
// maker asks for a UTF-8 file to be converted, and pack the bytes returned in
// *cp932 instead of the file.
#pragma once

#include <string>
#include <vector>

#include "env/sections.h"

enum class CheckSeverity { kError, kWarning };

enum class CheckCode {
  // errors
  kCannotRead,
  kUtf16,
  kUtf8,
  kUnconvertible,
  kInvalidShiftJis,
  kUnterminatedSection,
  kBomBeforeShiftJis,
  kCrLineEnds,
  kDeletesOutside,
  kDeletionTooLong,
  // warnings
  kNulByte,
  kUnknownKey,
  kDuplicateKey,
  kValueCut,
  kValueTooLong,
  kNoValue,
  kNotANumber,
  kNeverRead,
  kLongLine,
  kEndByte,
  kIndentedClose,
  kIndentedHeader,
  kHeaderCase,
  kUnknownSection,
  kEofEntry,
  kKeyInSection,
  kRepeatedSection,
  kSectionsNeverRead,
  kSkippedIniLine,
  kSkippedRegLine,
  kPlaceholder,
  kTransferTooLong,
  kIniFileInWindows,
  kDeletesOwnFile,
  kOutsideGameFolder,
  kVersionWindowEmpty,
  kSuggestionTooLong,
};

struct CheckFinding {
  CheckSeverity severity;
  CheckCode code;
  int line;             // 0: the whole file
  int column;           // 0: none given
  std::string message;  // ready for the terminal
};

// A line the updater's section pass reads, with where it stands in the file.
struct CheckSectionLine {
  int line;       // physical line
  size_t offset;  // byte offset of the piece in its line: above 0 for the rest of a long line
  SectionLineKind kind;
  int header;        // the section a header opens, else kSectionNone
  int open;          // the section open when the line was read
  std::string text;  // as trimmed by the pass
};

struct EnvCheckResult {
  std::vector<CheckFinding> findings;
  int errors = 0;
  int warnings = 0;
  bool utf8 = false;                    // the file is UTF-8
  bool converted = false;               // and every character found its CP932 form
  std::string cp932;                    // what the updater reads: the file, or its conversion
  int lines = 0;                        // physical lines of the text
  int pieces = 0;                       // pieces (lines, or 511-byte parts of long lines)
  int piecesRead = 0;                   // pieces the key pass looks at
  int keyPassEndLine = 0;               // line of the "[EOF]" that ends the key pass, or 0
  std::vector<int> entryLines;          // line of each table entry, in table order
  int headerLines[kSectionCount] = {};  // line of each section's last header, 0: absent
  std::vector<CheckSectionLine> sectionLines;  // every line of the section pass, in order
  int sectionOpenAtEnd = kSectionNone;         // what the pass returned
  int neverReadHeaderLine = 0;  // the first header after the line that ends the pass, or 0
  int neverReadHeader = kSectionNone;
};

// Analyses the bytes of an install.env. A UTF-8 file is an error unless
// fromUtf8 is set; it is converted either way so that the rest can be
// checked. Afterwards the environment table, the accessors and the section
// lists hold what the updater would read from result->cp932.
void CheckEnvText(const std::string& bytes, bool fromUtf8, EnvCheckResult* result);

// Prints "updpack: FILE:LINE: ..." on stderr: errors always, warnings unless
// quiet.
void PrintEnvFindings(const char* path, const EnvCheckResult& result, bool quiet);

// Reads and analyses the file and prints its findings. Returns the number of
// errors (a file that cannot be read counts as one). cp932, when not null,
// receives the bytes the updater should get: the file unchanged, or its
// conversion when fromUtf8 is set and the file is UTF-8.
int CheckEnvFile(const char* path, bool quiet, bool fromUtf8 = false, std::string* cp932 = nullptr);
