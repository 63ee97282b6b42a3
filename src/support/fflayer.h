// The resource file layer: opens the program's data files by name, directly
// (under an optional prefix) or from a chain of registered sources.
#pragma once

#include <cstdio>

#include "support/ffsource.h"

constexpr int kFfpathSize = 260;

// Opens the name, asking Retry or Cancel after each failure; Cancel ends the
// program with exit code -1. Returns only with an open file.
FILE* Ffopen(const char* name, const char* mode);

// One search; null when the name is not found or does not open. An archive
// member comes back as the archive positioned at the member's first byte.
FILE* FfopenOnce(const char* name, const char* mode);

// The path at which the name would be opened, in output (kFfpathSize bytes);
// null with an empty output when it is not found. Leaves no file open.
char* FfresolvePath(const char* name, char* output);

// 1 when FfresolvePath finds the name, else 0.
int Ffexists(const char* name);

// Lets a name be opened unchanged when the prefix is empty.
void FfsetDirectOpen(int on);

// Sets the base-folder prefix put in front of names (it must end with "\"
// itself). Returns 0, or -1 when it does not fit and is left unchanged.
int FfsetPrefix(const char* prefix);

// Appends a source to the chain; the caller keeps the record alive.
void FfaddSource(FileSource* source);
// Empties the chain (the records stay the caller's).
void FfclearSources();
