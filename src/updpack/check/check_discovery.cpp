#include "updpack/check/check_discovery.h"

#include <cstring>
#include <string>

#include "env/env_keys.h"
#include "env/env_table.h"
#include "support/sjis.h"
#include "target/folder_rules.h"
#include "updpack/check/check_codepage.h"
#include "updpack/check/check_internal.h"
#include "updpack/report.h"

namespace {

// Discovery runs on the player's machine; the usual Windows folder stands in
// for it here.
const char kTypicalWindowsDir[] = "C:\\WINDOWS";

TargetFolderRules Rules() {
  return {kTypicalWindowsDir, EnvInstMakeFol(), EnvInstFol(), EnvInstTo()};
}

// The line of the table entry with this key, or 0 when it is absent.
int KeyLine(const EnvCheckResult& r, const char* key) {
  size_t index = 0;
  for (const EnvEntry* e = EnvFirstEntry(); e; e = e->next, ++index) {
    if (strcmp(e->key, key) == 0) return index < r.entryLines.size() ? r.entryLines[index] : 0;
  }
  return 0;
}

// The suggestion as the dialog would build it, whether it fits or not.
std::string FullSuggestion() {
  const char* instFol = EnvInstFol();
  return std::string("C:\\Program Files\\") + (instFol ? std::string(instFol) + "\\" : "") +
         EnvInstTo();
}

}  // namespace

void CheckDiscovery(EnvCheckResult* r) {
  if (EnvChkReg()) {
    int low = EnvChkRegVer();
    int high = EnvChkRegVerHigh();
    bool highSet = EnvFind("CHKREGVERHIGH") != nullptr;
    if (!highSet || high < low) {
      int line = highSet ? KeyLine(*r, "CHKREGVERHIGH") : KeyLine(*r, "CHKREG");
      std::string why = highSet
                            ? "CHKREGVERHIGH " + std::to_string(high) + " is below CHKREGVER " +
                                  std::to_string(low)
                            : std::string("CHKREG is set but CHKREGVERHIGH is not (it reads 0)");
      CheckWarn(r, CheckCode::kVersionWindowEmpty, line,
                why + ": every installed version " +
                    (!highSet && low <= 0 ? std::string("above 0 ") : std::string()) +
                    "is refused; set CHKREGVERHIGH to the highest version to update");
    }
  }
  char folder[kTargetFolderSize];
  if (TargetSuggestion(folder, Rules(), IsLeadByte) == kTargetFolderTooLong) {
    CheckWarn(r, CheckCode::kSuggestionTooLong, KeyLine(*r, "INSTTO"),
              "the folder the SETUP dialog suggests, " + Quoted(FullSuggestion()) + ", has " +
                  std::to_string(FullSuggestion().size()) +
                  " bytes, more than the 259 a folder can have: the manual route refuses to start "
                  "when no folder is recorded; shorten INSTFOL or INSTTO");
  }
}

void PrintDiscovery() {
  ReportInfo("Target folder discovery:\n");
  std::string key =
      std::string("HKEY_CURRENT_USER\\Software\\") + EnvRegGlobal() + "\\" + EnvRegLocal();
  ReportInfo("  %-17s %s (values \"IsInst\", \"InstTo\")\n", "registry key",
             DisplayText(key).c_str());
  if (const char* value = EnvChkReg()) {
    int low = EnvChkRegVer();
    int high = EnvChkRegVerHigh();
    ReportInfo("  %-17s value %s: versions %d to %d %s\n", "installed version",
               Quoted(value).c_str(), low, high,
               high < low ? "admit none: every installation is refused" : "are updated");
  } else {
    ReportInfo("  %-17s not checked (CHKREG not set)\n", "installed version");
  }
  char folder[kTargetFolderSize];
  if (TargetSuggestion(folder, Rules(), IsLeadByte) == kTargetFolderOk) {
    ReportInfo("  %-17s %s when no folder is recorded (Windows on C:)\n", "suggested folder",
               Quoted(folder).c_str());
  } else {
    ReportInfo("  %-17s too long: the manual route refuses to start\n", "suggested folder");
  }
  if (const char* keyFile = EnvKeyFile()) {
    ReportInfo("  %-17s %s must be in the folder\n", "key file", Quoted(keyFile).c_str());
  } else {
    ReportInfo("  %-17s not set: any folder is accepted\n", "key file");
  }
  if (EnvInstMakeFol() != 0) {
    const char* instFol = EnvInstFol();
    std::string tail =
        std::string("\\") + (instFol ? std::string(instFol) + "\\" : "") + EnvInstTo();
    ReportInfo("  %-17s an entry without %s gets %s appended\n", "folder completion",
               Quoted(EnvInstTo()).c_str(), Quoted(tail).c_str());
  }
}
