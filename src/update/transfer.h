// Turning one [ini] or [reg] line into the two texts the update writes: the
// placeholders for the CD-ROM drive and the target folder are put in, a
// pasted registry export is unescaped, and the line is split. Platform-free:
// the target folder, the drive and the lead-byte rule come from the caller.
// The working texts are module-level, so none of this is reentrant.
#pragma once

#include <cstddef>

#include "support/sjis.h"

// Width of every working text and of each output (511 bytes of text).
constexpr size_t kTransferTextSize = 512;

// Gives the CD-ROM drive text, such as "Q:\".
using CdromDriveFn = const char* (*)();

// The target folder that "REP_INSTALL" stands for. The update run sets it
// once the folder is known and clears it (null) when it ends; null reads as
// the empty text. The text is referred to, not copied.
void SetTransferTargetFolder(const char* folder);

// Where the drive text comes from (asked only when a line holds a drive
// placeholder, and again for every such line; null gives "E:\") and the
// lead-byte rule of every search (null gives the fixed Shift-JIS table).
void SetTransferPlatform(CdromDriveFn cdromDrive, LeadByteFn isLead);

// The line with its first "REP_CDROMDRIVE" replaced by the drive text, then
// its first "REP_INSTALL" by the target folder. The result lives in the [ini]
// working text until the next call. Null when the line or its replaced form
// is longer than 511 bytes: such a line is skipped, never written cut.
const char* ReplaceIniPlaceholders(const char* line);

// The same for [reg] lines, with "REP_CDROM" in place of "REP_CDROMDRIVE".
const char* ReplaceRegPlaceholders(const char* line);

// The line with every backslash escape undone: a backslash is dropped and the
// character after it (both bytes of a double-byte character) kept as it is.
// Null for a line over 511 bytes.
const char* UnescapeRegText(const char* line);

// key=value. 0 with key and value (kTransferTextSize bytes each) filled, -1
// for a line without "=" or one that does not fit (outputs untouched).
int ParseIniLine(const char* line, char* key, char* value);

// "name"="text" as a registry export writes a string value. 0 with name and
// data (kTransferTextSize bytes each) filled; -1 for a line without "=" in
// quotes (key lines, the default value, dword: and hex: values) or one that
// does not fit.
int ParseRegLine(const char* line, char* name, char* data);
