// Path text rules that need no file system.
#pragma once

#include <cstddef>

#include "support/sjis.h"

// Removes a final backslash unless it is the second byte of a double-byte
// character (judged by the fixed Shift-JIS table). Changes text in place.
char* StripTrailingBackslash(char* text);

// Appends a backslash unless the text already ends with one that is not the
// second byte of a double-byte character. The caller's buffer must have room
// for one more byte.
char* AddTrailingBackslash(char* text);

// Parts of a path as the platform's path splitting yields them: "C:",
// "\dir\sub\", "name", ".ext". Each part is cut to its buffer.
struct PathParts {
  char drive[3];
  char dir[256];
  char name[256];
  char ext[256];
};

// Splits at the last "\" or "/" (a trail byte never counts) and at the last
// "." of the final part.
void SplitPath(const char* path, PathParts* parts, LeadByteFn isLead);
