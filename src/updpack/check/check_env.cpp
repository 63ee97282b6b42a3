#include "updpack/check/check_env.h"

#include <algorithm>
#include <cstdio>

#include "env/env_keys.h"
#include "env/env_pieces.h"
#include "env/env_table.h"
#include "support/sjis.h"
#include "updpack/check/check_codepage.h"
#include "updpack/check/check_discovery.h"
#include "updpack/check/check_internal.h"
#include "updpack/check/check_transfer.h"
#include "updpack/fsys/fsys.h"
#include "updpack/report.h"

namespace {

constexpr size_t kMaxEncodingReports = 20;

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
    CheckError(r, CheckCode::kUtf16, 0,
               "the file is UTF-16; the updater reads Shift-JIS (code page 932): save it as "
               "Shift-JIS");
    return false;
  }
  if (Utf8BomLength(bytes) && !LooksLikeUtf8(bytes.substr(Utf8BomLength(bytes))) &&
      FindInvalidCp932(bytes.substr(Utf8BomLength(bytes))).empty()) {
    CheckError(r, CheckCode::kBomBeforeShiftJis, 1,
               "the file starts with a UTF-8 byte order mark (EF BB BF) but its text is Shift-JIS: "
               "remove the mark, the updater reads it as part of the first line");
    r->cp932 = bytes;
    return true;
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
      CheckAdd(r, CheckSeverity::kError, CheckCode::kUnconvertible, p.line, p.column,
               "character " + what + " has no Shift-JIS (code page 932) form");
    }
    r->converted = problems.empty();
    if (!fromUtf8) {
      CheckError(r, CheckCode::kUtf8, 0,
                 "the file is UTF-8 but the updater reads Shift-JIS (code page 932): convert it "
                 "with --from-utf8 -o OUT");
    }
    return true;
  }
  r->cp932 = bytes;
  std::vector<CodepageProblem> problems = FindInvalidCp932(bytes);
  for (size_t i = 0; i < problems.size() && i < kMaxEncodingReports; ++i) {
    CheckAdd(r, CheckSeverity::kError, CheckCode::kInvalidShiftJis, problems[i].line,
             problems[i].column,
             HexBytes(problems[i].bytes) + " is not a Shift-JIS (code page 932) character");
  }
  if (problems.size() > kMaxEncodingReports) {
    CheckError(r, CheckCode::kInvalidShiftJis, 0,
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
  CheckWarn(r, CheckCode::kEndByte, line,
            "the byte 0x1A ends the file for the updater: nothing after it is read");
}

// Line ends and bytes that a text editor hides but the updater's reading
// does not.
void CheckLineBytes(EnvCheckResult* r) {
  const std::string& t = r->cp932;
  size_t cr = t.find('\r');
  if (cr != std::string::npos && t.find('\n') == std::string::npos && cr + 1 < t.size()) {
    CheckError(r, CheckCode::kCrLineEnds, 1,
               "the lines end with CR alone: the updater reads the whole file as one line and "
               "finds no key in it; save it with CR LF line ends");
  }
  size_t nul = t.find('\0');
  if (nul != std::string::npos) {
    int line = 1;
    for (size_t i = 0; i < nul; ++i) line += t[i] == '\n';
    CheckWarn(r, CheckCode::kNulByte, line,
              "a NUL byte (0x00), which the updater reads as a blank; is this a text file?");
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
  CheckLineBytes(result);

  // The updater's own reading, into the table and the lists.
  EnvTextInput input;
  EnvTextInputInit(&input, result->cp932.data(), result->cp932.size());
  EnvReadTable(EnvTextSource(&input), IsLeadByte);
  CheckReadSections(result);

  std::vector<bool> sectionPiece;
  TraceSections(result, &sectionPiece);
  TraceKeyLines(result, sectionPiece);
  CheckDiscovery(result);
  TraceTransfer(result);
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

int CheckEnvFile(const char* path, bool quiet, bool fromUtf8, std::string* cp932) {
  std::string bytes;
  if (!FsReadAll(path, &bytes)) {
    ReportError(path, "cannot read the file");
    return 1;
  }
  EnvCheckResult result;
  CheckEnvText(bytes, fromUtf8, &result);
  PrintEnvFindings(path, result, quiet);
  if (cp932) *cp932 = result.utf8 && fromUtf8 ? result.cp932 : bytes;
  return result.errors;
}
