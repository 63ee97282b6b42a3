// Double-byte text rules for byte strings in the ANSI code page (Shift-JIS).
// Pure code takes the lead-byte rule as a parameter: natively the fixed
// Shift-JIS table, on Windows the process's ANSI code page (AnsiIsLeadByte).
#pragma once

#include <cstddef>

// True when the byte starts a double-byte character.
using LeadByteFn = bool (*)(unsigned char);

// The fixed Shift-JIS table: 0x81-0x9F and 0xE0-0xFC are lead bytes.
bool IsLeadByte(unsigned char b);

// First occurrence of a single-byte character; a trail byte never matches.
const char* MbsChr(const char* text, unsigned char ch, LeadByteFn isLead);
char* MbsChr(char* text, unsigned char ch, LeadByteFn isLead);

// Last occurrence of a single-byte character; a trail byte never matches.
const char* MbsRChr(const char* text, unsigned char ch, LeadByteFn isLead);

// First occurrence of a substring; a match never starts on a trail byte.
const char* MbsStr(const char* text, const char* pattern, LeadByteFn isLead);
char* MbsStr(char* text, const char* pattern, LeadByteFn isLead);

// Code page 932 lower-casing in place: ASCII capitals, and the full-width
// Latin, Greek and Cyrillic capitals of the double-byte range.
char* MbsLower(char* text, LeadByteFn isLead);

// Length of the longest prefix of at most maxBytes bytes that does not end
// inside a double-byte character.
size_t MbsFitLength(const char* text, size_t maxBytes, LeadByteFn isLead);
