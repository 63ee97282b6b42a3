// Which files a deletion-list line deletes, by the rules of the Windows file
// search the updater runs with it: wildcards in the last part only, letter
// case ignored (full-width capitals too), "*.*" for every name. Platform-free,
// so that `updpack check` and `updpack apply` judge lines as the updater does.
#pragma once

#include "support/sjis.h"

// True when the last part of a line (pattern: "*" any run, "?" one
// character, a double-byte character counting as one) matches a file name.
// A pattern ending in "." also matches names without a dot ("*." picks those).
bool DeletionPatternMatches(const char* pattern, const char* name, LeadByteFn isLead);

// True when the line deletes the file at path (relative to the game's folder,
// "\" between parts): the folders are equal without regard to case and the
// last part matches.
bool DeletionLineMatches(const char* line, const char* path, LeadByteFn isLead);

// True when the line names exactly one file: no "*" or "?" in it.
bool DeletionLineIsExact(const char* line, LeadByteFn isLead);
