// The section pass of `updpack check`.
#include <algorithm>
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
      CheckWarn(r, CheckCode::kIndentedClose, lineNo,
                std::string("an indented \"-\" does not close ") + SectionHeader(open) +
                    ": it is read as one of its entries; write \"-\" at the start of the line");
    } else if (caseMatch != kSectionNone) {
      CheckWarn(r, CheckCode::kIndentedHeader, lineNo,
                std::string("an indented ") + SectionHeader(caseMatch) +
                    " is not a section header (" + where + "); write it at the start of the line");
    }
    return;
  }
  if (text[0] != '[' || BeginsWith(text, "[EOF]")) return;
  if (caseMatch != kSectionNone) {
    const char* header = SectionHeader(caseMatch);
    CheckWarn(r, CheckCode::kHeaderCase, lineNo,
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
  CheckWarn(r, CheckCode::kUnknownSection, lineNo,
            "unknown section " + name + " is ignored" + Suggestion(name, headers, kSectionCount));
}

struct PassRecord {
  EnvTextInput* input;
  EnvCheckResult* r;
};

void RecordLine(void* context, const SectionLineSeen& seen) {
  PassRecord* record = static_cast<PassRecord*>(context);
  record->r->sectionLines.push_back({record->input->pieceLine, record->input->pieceOffset,
                                     seen.kind, seen.header, seen.open, seen.text});
}

}  // namespace

void CheckReadSections(EnvCheckResult* r) {
  EnvTextInput input;
  EnvTextInputInit(&input, r->cp932.data(), r->cp932.size());
  PassRecord record{&input, r};
  SectionObserver observer{RecordLine, &record};
  r->sectionOpenAtEnd = SectionListsRead(EnvTextSource(&input), &observer);
  if (r->sectionLines.empty() || r->sectionLines.back().kind != kSectionLineEnd) return;
  // The updater stops at that line; a header further down is a mistake worth naming.
  char line[kEnvLineSize];
  while (ReadTrimmedLine(line, EnvTextSource(&input))) {
    int header;
    if (SectionClassifyLine(line, &header) == kSectionLineHeader) {
      r->neverReadHeaderLine = input.pieceLine;
      r->neverReadHeader = header;
      return;
    }
  }
}

void TraceSections(EnvCheckResult* r, std::vector<bool>* sectionPiece) {
  int openLine = 0;
  int passEndLine = 0;
  int eofEntryLine = 0;  // an "[EOF]" line read as an entry of the open section
  auto reportEofEntry = [&](int open) {
    if (eofEntryLine) {
      CheckWarn(r, CheckCode::kEofEntry, eofEntryLine,
                std::string("\"[EOF]\" is read as an entry of ") + SectionHeader(open) +
                    ", which is still open here");
    }
    eofEntryLine = 0;
  };
  for (const CheckSectionLine& l : r->sectionLines) {
    bool belongs = l.kind == kSectionLineEnd || l.kind == kSectionLineClose ||
                   l.kind == kSectionLineHeader ||
                   (l.kind == kSectionLineText && l.open != kSectionNone);
    sectionPiece->push_back(belongs);
    switch (l.kind) {
      case kSectionLineEnd:
        passEndLine = l.line;
        break;
      case kSectionLineClose:
        reportEofEntry(l.open);
        break;
      case kSectionLineHeader:
        reportEofEntry(l.open);
        if (r->headerLines[l.header]) {
          CheckWarn(r, CheckCode::kRepeatedSection, l.line,
                    std::string("a second ") + SectionHeader(l.header) +
                        ": the entries of the one on line " +
                        std::to_string(r->headerLines[l.header]) + " are dropped");
        }
        r->headerLines[l.header] = l.line;
        openLine = l.line;
        break;
      case kSectionLineText:
        CheckSectionLikeLine(l.text.c_str(), l.open, l.line, r);
        if (l.open != kSectionNone && BeginsWith(l.text.c_str(), "[EOF]")) eofEntryLine = l.line;
        if (l.open == kSectionIni && l.text.find('=') == std::string::npos) {
          CheckWarn(r, CheckCode::kSkippedIniLine, l.line,
                    "an [ini] line without \"=\" is skipped: write KEY=VALUE");
        }
        break;
      default:
        break;
    }
  }
  if (r->neverReadHeaderLine) {
    CheckWarn(r, CheckCode::kSectionsNeverRead, r->neverReadHeaderLine,
              std::string(SectionHeader(r->neverReadHeader)) +
                  " is never read: the line beginning with \"EOF\" on line " +
                  std::to_string(passEndLine) + " ends the section pass");
  }
  int open = r->sectionOpenAtEnd;
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
  CheckError(r, CheckCode::kUnterminatedSection, openLine,
             std::string(SectionHeader(open)) + " is not closed by a \"-\" line " + why +
                 ": the updater stops with \"" + message + "\"");
}

std::vector<CheckListLine> CheckListLines(const EnvCheckResult& r) {
  // A list holds the last entries read for its section: count them off from
  // the end of the pass.
  int kept[kSectionCount] = {};
  for (int id = 0; id < kSectionCount; ++id) {
    for (const SectionEntry* e = SectionListOf(id)->first; e; e = e->next) ++kept[id];
  }
  std::vector<CheckListLine> lines;
  for (auto l = r.sectionLines.rbegin(); l != r.sectionLines.rend(); ++l) {
    if (l->kind != kSectionLineText || l->open == kSectionNone || kept[l->open] == 0) continue;
    --kept[l->open];
    lines.push_back({l->open, l->line, l->text});
  }
  std::reverse(lines.begin(), lines.end());
  return lines;
}
