// Text rules of the target folder that need no system calls: the folder
// suggested by the manual route, the normalisation and checks of what the
// user entered there, and the installed-version window. Shared with updpack.
#pragma once

#include "support/sjis.h"

// The folder text: a path of at most 259 bytes and its terminating zero.
constexpr int kTargetFolderSize = 260;

struct TargetFolderRules {
  const char* windowsDir;  // the system's Windows folder, e.g. "C:\WINDOWS"
  int instMakeFol;         // non-zero: complete the entry with INSTFOL and INSTTO
  const char* instFol;     // null or empty when not set
  const char* instTo;
};

enum TargetFolderCheck {
  kTargetFolderOk = 0,
  kTargetFolderNetwork,  // two backslashes in a row: a network path
  kTargetFolderRoot,     // a drive's root folder
  kTargetFolderTooLong,  // the result would not fit the folder text
};

// Writes the suggestion into folder (kTargetFolderSize bytes): the Windows
// folder's drive up to its first backslash, "Program Files\", INSTFOL and a
// backslash when set, then INSTTO. A suggestion that does not fit is refused
// (kTargetFolderTooLong, folder left empty): a cut path names another folder.
TargetFolderCheck TargetSuggestion(char* folder, const TargetFolderRules& rules, LeadByteFn isLead);

// Normalises an entry in place: "/" becomes "\", a network path is refused,
// one trailing backslash goes, the INSTMAKEFOL completion is appended, a
// missing drive is taken from the Windows folder, a backslash follows the
// drive's colon, and a root is refused. On a refusal folder is unchanged.
// folder holds a terminated text in kTargetFolderSize bytes.
TargetFolderCheck TargetNormalise(char* folder, const TargetFolderRules& rules, LeadByteFn isLead);

enum TargetVersionCheck {
  kTargetVersionOk = 0,
  kTargetVersionTooOld,  // below CHKREGVER
  kTargetVersionTooNew,  // above CHKREGVERHIGH
};

// Both bounds belong to the accepted window.
TargetVersionCheck TargetCheckVersion(int version, int low, int high);
