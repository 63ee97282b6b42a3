// The section pass of `updpack check`.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "env/env_pieces.h"
#include "env/sections.h"
#include "updpack/check/check_internal.h"

namespace {

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
           std::string("an indented ") + SectionHeader(caseMatch) + " is not a section header (" +
               where + "); write it at the start of the line");
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

}  // namespace

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
               std::string("a second ") + SectionHeader(header) +
                   ": the entries of the one on line " + std::to_string(r->headerLines[header]) +
                   " are dropped");
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
    why +=
        " (\"[EOF]\" on line " + std::to_string(eofEntryLine) + " is read as one of its entries)";
  }
  Error(r, CheckCode::kUnterminatedSection, openLine,
        std::string(SectionHeader(open)) + " is not closed by a \"-\" line " + why +
            ": the updater stops with \"" + message + "\"");
}
