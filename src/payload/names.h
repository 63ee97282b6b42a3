// Name rules of the extraction: the start-up's selection of entries, the
// case-blind name match, and the output path.
#pragma once

#include <cstddef>

#include "payload/entry.h"
#include "support/sjis.h"

// True when the pattern occurs in the name without regard to letter case:
// both are copied into 260-byte buffers, lower-cased for code page 932
// (full-width capitals included) and searched so that a match never starts
// on the second byte of a double-byte character.
bool NameContains(const char* name, const char* pattern, LeadByteFn isLead);

enum PayloadStartupAction : int {
  kStartupSkip = 0,   // pass over (a file's time stamp and stream are skipped)
  kStartupWrite = 1,  // write into the work folder
  kStartupStop = 2,   // the walk ends here, quietly
};

// What the start-up walk does with an entry. A folder whose name has a
// separator with something after it (a sub-folder, "DirectX\sub\") ends the
// walk; other folders are passed over. A file is written when its name
// contains "insttscr.rct", "install.env" or ".txt", in any letter case.
PayloadStartupAction PayloadStartupSelect(const PayloadEntry& entry, LeadByteFn isLead);

// Joins "folder\name" into out (size bytes, 260 for the extraction). Returns
// 0, or -1 with out emptied when the whole path with its NUL does not fit.
int PayloadJoinPath(char* out, size_t size, const char* folder, const char* name);
