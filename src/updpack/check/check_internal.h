// Shared by the parts of `updpack check`: recording and wording findings,
// and the two passes over the file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "updpack/check/check_env.h"

// Findings are recorded through these three.
void CheckAdd(EnvCheckResult* r, CheckSeverity severity, CheckCode code, int line, int column,
              const std::string& message);
void CheckError(EnvCheckResult* r, CheckCode code, int line, const std::string& message);
void CheckWarn(EnvCheckResult* r, CheckCode code, int line, const std::string& message);

// A text of the file in double quotes, ready for the terminal.
std::string Quoted(const std::string& cp932);
// "0x83 0x41"
std::string HexBytes(const std::string& bytes);

bool BeginsWith(const char* text, const char* start);
// Whether text begins with start, ASCII letters compared without case.
bool BeginsWithAnyCase(const char* text, const char* start);
// The bytes 0x00-0x20 that separate and trim configuration lines.
inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// "; did you mean NAME?" when the nearest name is close enough to be a
// likely typo, else empty.
std::string Suggestion(const std::string& word, const char* const* names, size_t count);

// The two passes over the file, as the updater runs them.
// The updater's section pass, run on r->cp932: fills the section lists and
// records every line it reads in r->sectionLines.
void CheckReadSections(EnvCheckResult* r);
// Sections first: sectionPiece tells for every piece whether it belongs to
// the section pass (a header, a "-" line, an entry, the line that ends it).
void TraceSections(EnvCheckResult* r, std::vector<bool>* sectionPiece);
void TraceKeyLines(EnvCheckResult* r, const std::vector<bool>& sectionPiece);

// An entry the section lists hold, with its line.
struct CheckListLine {
  int section;
  int line;
  std::string text;
};
// The entries of every list in file order, as the pass left them (a
// repeated header drops the earlier ones). The lists must hold r's text.
std::vector<CheckListLine> CheckListLines(const EnvCheckResult& r);
