#include "updpack/check/check_transfer.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "env/env_keys.h"
#include "env/env_pieces.h"
#include "env/env_table.h"
#include "env/sections.h"
#include "support/sjis.h"
#include "update/deletion_match.h"
#include "update/transfer.h"
#include "updpack/check/check_codepage.h"
#include "updpack/check/check_internal.h"
#include "updpack/report.h"

namespace {

struct ListLine {
  int section;
  int line;
  std::string text;
};

// The entries of [ini], [reg] and [delfiles_afterinst] with their lines, as
// the section pass fills the lists (a repeated header drops the earlier ones).
std::vector<ListLine> ListLines(const std::string& cp932) {
  std::vector<ListLine> lines;
  EnvTextInput input;
  EnvTextInputInit(&input, cp932.data(), cp932.size());
  char line[kEnvLineSize];
  int open = kSectionNone;
  while (ReadTrimmedLine(line, EnvTextSource(&input))) {
    int header;
    SectionLineKind kind = SectionClassifyLine(line, &header);
    if (kind == kSectionLineEnd) break;
    if (kind == kSectionLineClose) {
      open = kSectionNone;
    } else if (kind == kSectionLineHeader) {
      std::vector<ListLine> kept;
      for (ListLine& l : lines) {
        if (l.section != header) kept.push_back(l);
      }
      lines.swap(kept);
      open = header;
    } else if (kind == kSectionLineText && open != kSectionNone) {
      lines.push_back({open, input.pieceLine, line});
    }
  }
  return lines;
}

// The line of the table entry that gives the key its value, or 0.
int KeyLine(const EnvCheckResult& r, const char* key) {
  size_t index = 0;
  for (const EnvEntry* e = EnvFirstEntry(); e; e = e->next, ++index) {
    if (strcmp(e->key, key) == 0) return index < r.entryLines.size() ? r.entryLines[index] : 0;
  }
  return 0;
}

const char* ShownIniDrive() { return "REP_CDROMDRIVE"; }
const char* ShownRegDrive() { return "REP_CDROM"; }
const char* RealDrive() { return "Q:\\"; }  // every drive root is 3 bytes

// Parses the line with the placeholders left standing (folder "REP_INSTALL",
// drive as its own placeholder). 0 with the outputs filled, else -1.
int ParseShown(int section, const char* line, char* a, char* b) {
  bool ini = section == kSectionIni;
  SetTransferPlatform(ini ? ShownIniDrive : ShownRegDrive, IsLeadByte);
  SetTransferTargetFolder("REP_INSTALL");
  int result = ini ? ParseIniLine(line, a, b) : ParseRegLine(line, a, b);
  SetTransferTargetFolder(nullptr);
  return result;
}

// The longest target folder with which the line still fits its 511 bytes.
int LongestFolder(int section, const char* line) {
  SetTransferPlatform(RealDrive, IsLeadByte);
  SetTransferTargetFolder("");
  const char* replaced = section == kSectionIni ? ReplaceIniPlaceholders(line)
                                                : ReplaceRegPlaceholders(UnescapeRegText(line));
  SetTransferTargetFolder(nullptr);
  if (!replaced) return -1;
  return static_cast<int>(kTransferTextSize - 1 - strlen(replaced));
}

bool Has(const std::string& text, const char* part) {
  return MbsStr(text.c_str(), part, IsLeadByte) != nullptr;
}

void CheckPlaceholders(const ListLine& l, EnvCheckResult* r) {
  const char* name = SectionHeader(l.section);
  if (l.section == kSectionReg && Has(l.text, "REP_CDROMDRIVE")) {
    Warn(r, CheckCode::kPlaceholder, l.line,
         "[reg] knows only REP_CDROM: REP_CDROMDRIVE becomes the drive followed by \"DRIVE\" "
         "(Q:\\DRIVE)");
  }
  if (l.section == kSectionIni && Has(l.text, "REP_CDROM") && !Has(l.text, "REP_CDROMDRIVE")) {
    Warn(r, CheckCode::kPlaceholder, l.line,
         "[ini] knows only REP_CDROMDRIVE: REP_CDROM is written as it stands");
  }
  const char* install = MbsStr(l.text.c_str(), "REP_INSTALL", IsLeadByte);
  if (install && MbsStr(install + 1, "REP_INSTALL", IsLeadByte)) {
    Warn(r, CheckCode::kPlaceholder, l.line,
         std::string("only the first REP_INSTALL of a line is replaced; the second is written "
                     "as it stands in ") +
             name);
  }
  int longest = LongestFolder(l.section, l.text.c_str());
  if (longest >= 0 && longest < 259) {
    Warn(r, CheckCode::kTransferTooLong, l.line,
         "the line is skipped when the game's folder is longer than " + std::to_string(longest) +
             " bytes: with it put in, the line would outgrow 511 bytes");
  }
}

// Why a [reg] line is skipped, for a line without "=" in quotes.
std::string RegSkipReason(const std::string& text) {
  if (text[0] == '[') {
    return "a key line is skipped: every [reg] value goes into HKEY_CURRENT_USER\\Software\\" +
           DisplayText(EnvRegGlobal()) + "\\" + DisplayText(EnvRegLocal());
  }
  if (text.compare(0, 2, "@=") == 0) return "the default value (@=) is skipped";
  if (Has(text, "=dword:") || Has(text, "=hex")) {
    return "only string values are written: a dword: or hex: value is skipped";
  }
  return "the line is skipped: a [reg] line is \"NAME\"=\"TEXT\" as a registry export writes it";
}

// Whether a [delfiles_afterinst] line deletes the file at this relative path.
bool Deletes(const std::string& line, const std::string& path) {
  return DeletionLineMatches(line.c_str(), path.c_str(), IsLeadByte);
}

void CheckDeletion(const ListLine& l, EnvCheckResult* r) {
  std::string exe = EnvExeName();
  char readme[kEnvLineSize];
  EnvGetString(kEnvInstReadmeFlKey, readme, sizeof readme, kEnvInstReadmeFlDefault);
  if (Deletes(l.text, exe)) {
    Warn(r, CheckCode::kDeletesOwnFile, l.line,
         "this deletes the game's executable " + Quoted(exe) +
             " (EXENAME), which the completion dialog offers to start");
  }
  if (Deletes(l.text, readme)) {
    Warn(r, CheckCode::kDeletesOwnFile, l.line,
         "this deletes the readme " + Quoted(readme) +
             " (INSTREADMEFL), which the completion dialog offers to open");
  }
}

void CheckIniFile(EnvCheckResult* r) {
  std::string file = EnvIniFile();
  if (file[0] == '-') return;  // nothing is written; the listing says so
  int fileLine = KeyLine(*r, "INI_FILE");
  if (!Has(file, "\\") && !Has(file, "/") && !Has(file, ":")) {
    Warn(r, CheckCode::kIniFileInWindows, fileLine,
         "INI_FILE " + Quoted(file) +
             " has no folder: the file is written in the Windows folder, not the game's");
  }
  if (Has(file, "REP_")) {
    Warn(r, CheckCode::kPlaceholder, fileLine,
         "placeholders are not replaced in INI_FILE: " + Quoted(file) + " is used as written");
  }
}

}  // namespace

void TraceTransfer(EnvCheckResult* r) {
  std::vector<ListLine> lines = ListLines(r->cp932);
  CheckIniFile(r);
  for (const ListLine& l : lines) {
    if (l.section == kSectionDelfilesAfterinst) {
      CheckDeletion(l, r);
      continue;
    }
    if (l.section != kSectionIni && l.section != kSectionReg) continue;
    if (l.section == kSectionReg && !Has(l.text, "\"=\"")) {
      Warn(r, CheckCode::kSkippedRegLine, l.line, RegSkipReason(l.text));
      continue;
    }
    if (l.section == kSectionIni && !Has(l.text, "=")) continue;  // reported by the section pass
    if (l.section == kSectionReg && (l.text[0] != '"' || l.text.back() != '"')) {
      Warn(r, CheckCode::kSkippedRegLine, l.line,
           "the line does not begin and end with a double quote: its first and last bytes are "
           "dropped all the same");
    }
    CheckPlaceholders(l, r);
  }
}

void PrintTransfer(const EnvCheckResult& r) {
  std::vector<ListLine> lines = ListLines(r.cp932);
  ReportInfo("What the update writes (the game's folder shown as REP_INSTALL):\n");
  if (EnvIniFile()[0] == '-') {
    ReportInfo("  [ini]  nothing: INI_FILE is not set\n");
  } else {
    ReportInfo("  [ini]  into file %s, section %s:\n", Quoted(EnvIniFile()).c_str(),
               Quoted(EnvIniSection()).c_str());
  }
  char a[kTransferTextSize];
  char b[kTransferTextSize];
  for (const ListLine& l : lines) {
    if (l.section != kSectionIni || EnvIniFile()[0] == '-') continue;
    if (ParseShown(l.section, l.text.c_str(), a, b) == 0) {
      ReportInfo("      line %d: key %s = %s\n", l.line, Quoted(a).c_str(), Quoted(b).c_str());
    } else {
      ReportInfo("      line %d: skipped\n", l.line);
    }
  }
  if (EnvRegGlobal()[0] == '-') {
    ReportInfo("  [reg]  nothing: REG_GLOBAL is not set\n");
    return;
  }
  ReportInfo("  [reg]  into HKEY_CURRENT_USER\\Software\\%s\\%s:\n",
             DisplayText(EnvRegGlobal()).c_str(), DisplayText(EnvRegLocal()).c_str());
  for (const ListLine& l : lines) {
    if (l.section != kSectionReg) continue;
    if (ParseShown(l.section, l.text.c_str(), a, b) == 0) {
      ReportInfo("      line %d: value %s = %s\n", l.line, Quoted(a).c_str(), Quoted(b).c_str());
    } else {
      ReportInfo("      line %d: skipped\n", l.line);
    }
  }
}
