#include "updpack/check/check_deletion.h"

#include <cctype>
#include <cstring>
#include <string>

#include "env/env_keys.h"
#include "env/env_table.h"
#include "env/sections.h"
#include "support/sjis.h"
#include "support/text.h"
#include "update/deletion_match.h"
#include "update/deletion_rules.h"

namespace {

bool IsDeletionSection(int id) {
  return id == kSectionDelfiles || id == kSectionDelfilesUser || id == kSectionDelfilesAfterinst;
}

// Whether a [delfiles_afterinst] line deletes the file at this relative path,
// by the file search's rules (update/deletion_match.h).
bool Deletes(const std::string& line, const std::string& path) {
  return DeletionLineMatches(line.c_str(), path.c_str(), IsLeadByte);
}

void CheckOwnFiles(const CheckListLine& l, EnvCheckResult* r) {
  std::string exe = EnvExeName();
  char readme[kEnvLineSize];
  EnvGetString(kEnvInstReadmeFlKey, readme, sizeof readme, kEnvInstReadmeFlDefault);
  if (Deletes(l.text, exe)) {
    CheckWarn(r, CheckCode::kDeletesOwnFile, l.line,
              "this deletes the game's executable " + Quoted(exe) +
                  " (EXENAME), which the completion dialog offers to start");
  }
  if (Deletes(l.text, readme)) {
    CheckWarn(r, CheckCode::kDeletesOwnFile, l.line,
              "this deletes the readme " + Quoted(readme) +
                  " (INSTREADMEFL), which the completion dialog offers to open");
  }
}

// A line over 511 bytes reaches the pass as more than one piece; only the
// rest that is not blank becomes a line of its own.
void CheckCutLines(EnvCheckResult* r) {
  const std::vector<CheckSectionLine>& pass = r->sectionLines;
  for (size_t i = 0; i < pass.size(); ++i) {
    const CheckSectionLine& l = pass[i];
    if (l.offset == 0 || l.text.empty() || !IsDeletionSection(l.open)) continue;
    size_t length = l.offset + l.text.size();
    int section = l.open;
    while (i + 1 < pass.size() && pass[i + 1].line == l.line) {
      ++i;
      if (!pass[i].text.empty()) length = pass[i].offset + pass[i].text.size();
    }
    size_t rest = length - (kEnvLineSize - 1);
    CheckError(r, CheckCode::kDeletionTooLong, l.line,
               std::string("this ") + SectionHeader(section) + " line is " +
                   std::to_string(length) + " bytes long, longer than " +
                   std::to_string(kEnvLineSize - 1) + ": the updater reads its first " +
                   std::to_string(kEnvLineSize - 1) + " bytes as one line and the other " +
                   std::to_string(rest) +
                   (rest < kEnvLineSize ? " as a line of its own" : " as lines of their own"));
  }
}

}  // namespace

void TraceDeletions(EnvCheckResult* r, const std::vector<CheckListLine>& lines) {
  for (const CheckListLine& l : lines) {
    if (!IsDeletionSection(l.section)) continue;
    if (!DeletionLineStaysInside(l.text.c_str(), IsLeadByte)) {
      CheckError(r, CheckCode::kDeletesOutside, l.line,
                 Quoted(l.text) + " reaches outside the game's folder (a \"..\" part, a drive, " +
                     "or a leading \"\\\" or \"/\"): deletion lines name files below it, and " +
                     "the updater skips this one");
    } else if (l.section == kSectionDelfilesAfterinst) {
      CheckOwnFiles(l, r);
    }
  }
  CheckCutLines(r);
}
