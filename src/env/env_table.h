// The environment table: the key lines of install.env (a key, blanks, a
// value) as an ordered list of entries, and the lookups every setting is read
// through. The table is module-level, filled at start-up and read-only after.
#pragma once

#include <cstddef>

#include "env/env_pieces.h"
#include "support/sjis.h"

struct EnvEntry {
  char* key;    // no byte 0x00-0x20 in it
  char* value;  // "|" already replaced by a blank
  EnvEntry* next;
};

// Only the first 400 pieces of the file are looked at.
constexpr int kEnvMaxPieces = 400;
// The value must start within this many separator bytes after the key.
constexpr int kEnvValueWindow = 99;

enum EnvLineKind {
  kEnvLineEnd,      // begins with "[EOF]": reading stops
  kEnvLineIgnored,  // blank first byte or "/": not a key line
  kEnvLineNoValue,  // a key without a value within the window
  kEnvLineEntry,    // a key and its value
};

struct EnvKeyLine {
  size_t keyLength = 0;
  size_t valueOffset = 0;  // in the line buffer
  size_t valueLength = 0;
  bool valueTooFar = false;  // kEnvLineNoValue with text beyond the window
};

// Applies the key-line rules to one piece in a kEnvLineSize-byte buffer that
// was cleared before the piece was read. For a line that is not ignored every
// byte 0x00-0x20 of the buffer is turned into a zero byte, so afterwards the
// key is the text at line and the value the text at line + valueOffset.
EnvLineKind EnvParseLine(char* line, EnvKeyLine* parsed);

// Replaces every free-standing "|" by a blank; a 0x7C trail byte stays.
void EnvReplaceBars(char* value, LeadByteFn isLead);

// The reading loop: at most kEnvMaxPieces pieces, up to a "[EOF]" line; every
// key line with a value is appended. An existing table is kept.
void EnvReadTable(const EnvPieceSource& source, LeadByteFn isLead);

// The first entry whose key equals key byte for byte, or null.
const EnvEntry* EnvFind(const char* key);
// The table in file order (null when empty), for listing.
const EnvEntry* EnvFirstEntry();

// Copies the value of key, or def when it is absent, into buffer: at most
// size bytes, the rest of the buffer zero-filled, buffer[size - 1] always 0
// (a longer value is cut byte-wise). A size of 0 leaves the buffer untouched.
// Returns buffer.
char* EnvGetString(const char* key, char* buffer, size_t size, const char* def);

// The value read as a decimal integer (leading sign and digits; no digits
// gives 0; out-of-range values stop at INT_MIN/INT_MAX), or def when absent.
int EnvGetInt(const char* key, int def);

// Frees every entry and leaves the table empty.
void EnvFree();
