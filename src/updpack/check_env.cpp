#include "updpack/check_env.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>

#include "env/env_keys.h"
#include "env/env_pieces.h"
#include "env/env_table.h"
#include "support/sjis.h"
#include "updpack/check_codepage.h"
#include "updpack/check_keys.h"
#include "updpack/check_suggest.h"
#include "updpack/report.h"

namespace {

constexpr size_t kMaxEncodingReports = 20;

void Add(EnvCheckResult* r, CheckSeverity severity, CheckCode code, int line, int column,
         const std::string& message) {
  r->findings.push_back({severity, code, line, column, message});
  if (severity == CheckSeverity::kError) {
    ++r->errors;
  } else {
    ++r->warnings;
  }
}

void Error(EnvCheckResult* r, CheckCode code, int line, const std::string& message) {
  Add(r, CheckSeverity::kError, code, line, 0, message);
}

void Warn(EnvCheckResult* r, CheckCode code, int line, const std::string& message) {
  Add(r, CheckSeverity::kWarning, code, line, 0, message);
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

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// Whether text begins with start, ASCII letters compared without case.
bool BeginsWithAnyCase(const char* text, const char* start) {
  for (; *start; ++text, ++start) {
    if (tolower(static_cast<unsigned char>(*text)) != tolower(static_cast<unsigned char>(*start))) {
      return false;
    }
  }
  return true;
}

// "did you mean" when the nearest name is close enough to be a likely typo.
std::string Suggestion(const std::string& word, const char* const* names, size_t count) {
  const char* nearest = NearestName(word, names, count);
  if (!nearest) return std::string();
  size_t limit = std::max<size_t>(2, word.size() / 2);
  if (EditDistance(word, nearest) > limit) return std::string();
  return std::string("; did you mean ") + nearest + "?";
}

// ---------------------------------------------------------------- encoding

// A UTF-8 character of the file, shown beside its code point where the
// terminal can show it (natively; the Windows console runs in code page 932).
std::string Utf8ForDisplay(const std::string& utf8) {
#ifdef _WIN32
  (void)utf8;
  return std::string();
#else
  return " \"" + utf8 + "\"";
#endif
}

// Decides what the updater will read. False when nothing more can be checked.
bool CheckEncoding(const std::string& bytes, bool fromUtf8, EnvCheckResult* r) {
  if (HasUtf16Bom(bytes)) {
    Error(r, CheckCode::kUtf16, 0,
          "the file is UTF-16; the updater reads Shift-JIS (code page 932): save it as "
          "Shift-JIS");
    return false;
  }
  if (LooksLikeUtf8(bytes)) {
    r->utf8 = true;
    std::vector<CodepageProblem> problems;
    r->cp932 = Utf8ToCp932(bytes, &problems);
    for (const CodepageProblem& p : problems) {
      char code[32];
      snprintf(code, sizeof code, p.codePoint ? "U+%04X" : "byte", p.codePoint);
      std::string what = p.codePoint ? std::string(code) + Utf8ForDisplay(p.bytes)
                                     : "the byte " + HexBytes(p.bytes);
      Add(r, CheckSeverity::kError, CheckCode::kUnconvertible, p.line, p.column,
          "character " + what + " has no Shift-JIS (code page 932) form");
    }
    r->converted = problems.empty();
    if (!fromUtf8) {
      Error(r, CheckCode::kUtf8, 0,
            "the file is UTF-8 but the updater reads Shift-JIS (code page 932): convert it "
            "with --from-utf8 -o OUT");
    }
    return true;
  }
  r->cp932 = bytes;
  std::vector<CodepageProblem> problems = FindInvalidCp932(bytes);
  for (size_t i = 0; i < problems.size() && i < kMaxEncodingReports; ++i) {
    Add(r, CheckSeverity::kError, CheckCode::kInvalidShiftJis, problems[i].line,
        problems[i].column,
        HexBytes(problems[i].bytes) + " is not a Shift-JIS (code page 932) character");
  }
  if (problems.size() > kMaxEncodingReports) {
    Error(r, CheckCode::kInvalidShiftJis, 0,
          "and " + std::to_string(problems.size() - kMaxEncodingReports) +
              " more bytes that are not Shift-JIS");
  }
  return true;
}

// A byte 0x1A ends the file for the updater's text-mode reading.
void CheckEndByte(EnvCheckResult* r) {
  size_t at = r->cp932.find('\x1A');
  if (at == std::string::npos) return;
  bool textAfter = false;
  for (size_t i = at + 1; i < r->cp932.size() && !textAfter; ++i) textAfter = !IsBlank(r->cp932[i]);
  if (!textAfter) return;
  int line = 1;
  for (size_t i = 0; i < at; ++i) line += r->cp932[i] == '\n';
  Warn(r, CheckCode::kEndByte, line,
       "the byte 0x1A ends the file for the updater: nothing after it is read");
}

// ---------------------------------------------------------------- sections

// Lines of the section pass that are not plain entries but look meant as one
// of its own lines: an indented "-" or header, a header in the wrong case, a
// misspelt header.
void CheckSectionLikeLine(const char* line, int open, int lineNo, EnvCheckResult* r) {
  size_t start = 0;
  while (line[start] != '\0' && IsBlank(line[start])) ++start;
  const char* text = line + start;
  std::string where = open != kSectionNone
                          ? std::string("it is read as an entry of ") + SectionHeader(open)
                          : std::string("it is ignored");
  int caseMatch = kSectionNone;
  for (int id = 0; id < kSectionCount; ++id) {
    const char* header = SectionHeader(id);
    if (BeginsWithAnyCase(text, header)) caseMatch = id;
  }
  if (start > 0) {
    if (text[0] == '-' && open != kSectionNone) {
      Warn(r, CheckCode::kIndentedClose, lineNo,
           std::string("an indented \"-\" does not close ") + SectionHeader(open) +
               ": it is read as one of its entries; write \"-\" at the start of the line");
    } else if (caseMatch != kSectionNone) {
      Warn(r, CheckCode::kIndentedHeader, lineNo,
           std::string("an indented ") + SectionHeader(caseMatch) +
               " is not a section header (" + where + "); write it at the start of the line");
    }
    return;
  }
  if (text[0] != '[' || BeginsWith(text, "[EOF]")) return;
  if (caseMatch != kSectionNone) {
    const char* header = SectionHeader(caseMatch);
    Warn(r, CheckCode::kHeaderCase, lineNo,
         Quoted(std::string(text, strlen(header))) + " is not a section header (" + where +
             "): headers are written in lower case, " + header);
    return;
  }
  if (open != kSectionNone) return;  // [reg] sections hold bracketed key lines
  const char* close = strchr(text, ']');
  if (!close) return;
  std::string name(text, static_cast<size_t>(close - text + 1));
  for (char c : name.substr(1, name.size() - 2)) {
    if (!isalnum(static_cast<unsigned char>(c)) && c != '_') return;
  }
  const char* headers[kSectionCount];
  for (int id = 0; id < kSectionCount; ++id) headers[id] = SectionHeader(id);
  Warn(r, CheckCode::kUnknownSection, lineNo,
       "unknown section " + name + " is ignored" + Suggestion(name, headers, kSectionCount));
}

// The section pass, line by line as the updater runs it, recording which
// pieces belong to it (headers, "-" lines, entries of an open section, the
// line that ends it).
void TraceSections(EnvCheckResult* r, std::vector<bool>* sectionPiece) {
  EnvTextInput input;
  EnvTextInputInit(&input, r->cp932.data(), r->cp932.size());
  char line[kEnvLineSize];
  int open = kSectionNone;
  int openLine = 0;
  int passEndLine = 0;
  bool reportedAfterEnd = false;
  int eofEntryLine = 0;  // an "[EOF]" line read as an entry of the open section
  auto reportEofEntry = [&]() {
    if (eofEntryLine) {
      Warn(r, CheckCode::kEofEntry, eofEntryLine,
           std::string("\"[EOF]\" is read as an entry of ") + SectionHeader(open) +
               ", which is still open here");
    }
    eofEntryLine = 0;
  };
  while (ReadTrimmedLine(line, EnvTextSource(&input))) {
    int lineNo = input.pieceLine;
    int header;
    SectionLineKind kind = SectionClassifyLine(line, &header);
    if (passEndLine) {
      sectionPiece->push_back(false);
      if (kind == kSectionLineHeader && !reportedAfterEnd) {
        Warn(r, CheckCode::kSectionsNeverRead, lineNo,
             std::string(SectionHeader(header)) + " is never read: the line beginning with " +
                 "\"EOF\" on line " + std::to_string(passEndLine) + " ends the section pass");
        reportedAfterEnd = true;
      }
      continue;
    }
    bool belongs = kind == kSectionLineEnd || kind == kSectionLineClose ||
                   kind == kSectionLineHeader || (kind == kSectionLineText && open != kSectionNone);
    sectionPiece->push_back(belongs);
    switch (kind) {
      case kSectionLineEnd:
        passEndLine = lineNo;
        break;
      case kSectionLineClose:
        reportEofEntry();
        open = kSectionNone;
        break;
      case kSectionLineHeader:
        reportEofEntry();
        if (r->headerLines[header]) {
          Warn(r, CheckCode::kRepeatedSection, lineNo,
               std::string("a second ") + SectionHeader(header) + ": the entries of the one on line " +
                   std::to_string(r->headerLines[header]) + " are dropped");
        }
        r->headerLines[header] = lineNo;
        open = header;
        openLine = lineNo;
        break;
      case kSectionLineText:
        CheckSectionLikeLine(line, open, lineNo, r);
        if (open != kSectionNone && BeginsWith(line, "[EOF]")) eofEntryLine = lineNo;
        if (open == kSectionIni && !strchr(line, '=')) {
          Warn(r, CheckCode::kSkippedIniLine, lineNo,
               "an [ini] line without \"=\" is skipped: write KEY=VALUE");
        }
        break;
      default:
        break;
    }
  }
  if (open == kSectionNone) return;
  char message[256];
  snprintf(message, sizeof message, "[設定.env]の[%s]が終了していません", SectionName(open));
  std::string why = passEndLine ? "before the line beginning with \"EOF\" on line " +
                                      std::to_string(passEndLine) + ", which ends the pass"
                                : std::string("before the end of the file");
  if (eofEntryLine) {
    why += " (\"[EOF]\" on line " + std::to_string(eofEntryLine) + " is read as one of its entries)";
  }
  Error(r, CheckCode::kUnterminatedSection, openLine,
        std::string(SectionHeader(open)) + " is not closed by a \"-\" line " + why +
            ": the updater stops with \"" + message + "\"");
}

// ---------------------------------------------------------------- key lines

bool IsDecimal(const std::string& text) {
  size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (i >= text.size()) return false;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

// Checks the value of a known key on a line the updater reads.
void CheckKnownValue(const KnownEnvKey& key, const std::string& value, const std::string& rest,
                     int lineNo, EnvCheckResult* r) {
  std::string name = key.name;
  if (!rest.empty() && !BeginsWith(rest.c_str(), "//") && rest[0] != ';') {
    std::string shown = value;
    for (char& c : shown) c = c == '|' ? ' ' : c;
    Warn(r, CheckCode::kValueCut, lineNo,
         "the value of " + name + " ends at the blank: the updater reads " + Quoted(shown) +
             " and drops " + Quoted(rest) +
             "; write \"|\" for a blank inside a value and begin a comment with \"//\"");
  }
  if (key.kind == EnvKeyKind::kNumber) {
    if (!IsDecimal(value)) {
      Warn(r, CheckCode::kNotANumber, lineNo,
           "the value of " + name + " is not a number: the updater reads " +
               std::to_string(EnvGetInt(key.name, 0)));
    }
  } else if (value.size() > kEnvKeptBytes) {
    size_t whole = MbsFitLength(value.c_str(), kEnvKeptBytes, IsLeadByte);
    std::string note = whole < kEnvKeptBytes ? ", cutting a double-byte character in two" : "";
    std::string who = key.kind == EnvKeyKind::kReadme ? "the main menu keeps" : "the updater keeps";
    Warn(r, CheckCode::kValueTooLong, lineNo,
         "the value of " + name + " is " + std::to_string(value.size()) + " bytes long; " + who +
             " its first " + std::to_string(kEnvKeptBytes) + note);
  }
}

// The key pass over every piece: what the updater reads, and the key lines it
// never reaches.
void TraceKeyLines(EnvCheckResult* r, const std::vector<bool>& sectionPiece) {
  EnvTextInput input;
  EnvTextInputInit(&input, r->cp932.data(), r->cp932.size());
  char line[kEnvLineSize];
  char original[kEnvLineSize];
  std::map<std::string, int> firstLine;
  std::vector<const char*> names;
  for (size_t i = 0; i < kKnownEnvKeyCount; ++i) names.push_back(kKnownEnvKeys[i].name);
  int lastLongLine = 0;
  bool ended = false;
  for (int piece = 0;; ++piece) {
    memset(line, 0, sizeof line);
    if (!EnvReadTextPiece(&input, line, sizeof line)) break;
    int lineNo = input.pieceLine;
    ++r->pieces;
    if (input.pieceOffset > 0 && lineNo != lastLongLine) {
      lastLongLine = lineNo;
      Warn(r, CheckCode::kLongLine, lineNo,
           "the line is longer than 511 bytes: the updater reads the rest as a line of its own");
    }
    bool read = !ended && piece < kEnvMaxPieces;
    if (read) ++r->piecesRead;
    memcpy(original, line, sizeof line);
    EnvKeyLine parsed;
    EnvLineKind kind = EnvParseLine(line, &parsed);
    bool inSection = static_cast<size_t>(piece) < sectionPiece.size() && sectionPiece[piece];
    if (kind == kEnvLineEnd) {
      if (read) {
        ended = true;
        r->keyPassEndLine = lineNo;
      }
      continue;
    }
    if (kind == kEnvLineIgnored) continue;
    std::string key(line, parsed.keyLength);
    const KnownEnvKey* known = FindKnownEnvKey(key.c_str());
    if (kind == kEnvLineNoValue) {
      if (read && known && !inSection) {
        Warn(r, CheckCode::kNoValue, lineNo,
             parsed.valueTooFar
                 ? key + ": the value begins more than 99 blanks after the key, so the line is "
                         "ignored"
                 : key + " has no value: the line is ignored");
      }
      continue;
    }
    std::string value(line + parsed.valueOffset, parsed.valueLength);
    if (read) r->entryLines.push_back(lineNo);
    if (inSection) {
      if (read && known) {
        Warn(r, CheckCode::kKeyInSection, lineNo,
             key + " is inside a section and also read as one of its entries; is a \"-\" "
                   "line missing above it?");
      }
      continue;
    }
    if (!read) {
      Warn(r, CheckCode::kNeverRead, lineNo,
           ended ? "the updater never reads " + DisplayText(key) + ": it comes after \"[EOF]\" on line " +
                       std::to_string(r->keyPassEndLine)
                 : "the updater never reads " + DisplayText(key) + ": it reads only the first " +
                       std::to_string(kEnvMaxPieces) +
                       " lines (a line over 511 bytes counts once for every 511 bytes)");
      continue;
    }
    if (!known) {
      if (key[0] == ';' || key[0] == '[') continue;  // a comment or header of the other pass
      Warn(r, CheckCode::kUnknownKey, lineNo,
           "unknown key " + Quoted(key) + " is ignored" +
               Suggestion(key, names.data(), names.size()));
      continue;
    }
    auto first = firstLine.find(key);
    if (first != firstLine.end()) {
      Warn(r, CheckCode::kDuplicateKey, lineNo,
           key + " is already set on line " + std::to_string(first->second) +
               ": the first one wins and this line is ignored");
      continue;
    }
    firstLine[key] = lineNo;
    // What follows the value on the line, as written (zero bytes the piece
    // carried count as blanks, as they do for the updater).
    size_t from = parsed.valueOffset + parsed.valueLength;
    size_t to = sizeof original;
    while (to > from && IsBlank(original[to - 1])) --to;
    while (from < to && IsBlank(original[from])) ++from;
    CheckKnownValue(*known, value, std::string(original + from, to - from), lineNo, r);
  }
}

int CountLines(const std::string& text) {
  if (text.empty()) return 0;
  int lines = 1;
  for (size_t i = 0; i + 1 < text.size(); ++i) lines += text[i] == '\n';
  return lines;
}

}  // namespace

void CheckEnvText(const std::string& bytes, bool fromUtf8, EnvCheckResult* result) {
  *result = EnvCheckResult();
  EnvFree();
  EnvResetAccessors();
  for (int id = 0; id < kSectionCount; ++id) SectionListClear(SectionListOf(id));
  if (!CheckEncoding(bytes, fromUtf8, result)) return;
  result->lines = CountLines(result->cp932);
  CheckEndByte(result);

  // The updater's own reading, into the table and the lists.
  EnvTextInput input;
  EnvTextInputInit(&input, result->cp932.data(), result->cp932.size());
  EnvReadTable(EnvTextSource(&input), IsLeadByte);
  EnvTextInputInit(&input, result->cp932.data(), result->cp932.size());
  SectionListsRead(EnvTextSource(&input));

  std::vector<bool> sectionPiece;
  TraceSections(result, &sectionPiece);
  TraceKeyLines(result, sectionPiece);
}

void PrintEnvFindings(const char* path, const EnvCheckResult& result, bool quiet) {
  std::vector<CheckFinding> findings = result.findings;
  std::stable_sort(findings.begin(), findings.end(),
                   [](const CheckFinding& a, const CheckFinding& b) { return a.line < b.line; });
  for (const CheckFinding& f : findings) {
    bool error = f.severity == CheckSeverity::kError;
    if (!error && quiet) continue;
    std::string where = path;
    if (f.line > 0) where += ":" + std::to_string(f.line);
    if (f.line > 0 && f.column > 0) where += ":" + std::to_string(f.column);
    if (error) {
      ReportError(where.c_str(), "%s", f.message.c_str());
    } else {
      ReportWarning(where.c_str(), "%s", f.message.c_str());
    }
  }
}

bool ReadWholeFile(const char* path, std::string* bytes) {
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  bytes->clear();
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes->append(buffer, n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

int CheckEnvFile(const char* path, bool quiet, bool fromUtf8, std::string* cp932) {
  std::string bytes;
  if (!ReadWholeFile(path, &bytes)) {
    ReportError(path, "cannot read the file");
    return 1;
  }
  EnvCheckResult result;
  CheckEnvText(bytes, fromUtf8, &result);
  PrintEnvFindings(path, result, quiet);
  if (cp932) *cp932 = result.utf8 && fromUtf8 ? result.cp932 : bytes;
  return result.errors;
}
