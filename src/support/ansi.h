// The process's ANSI code page lead-byte rule, for the pure text helpers.
#pragma once

// True when the byte starts a double-byte character in the ANSI code page.
bool AnsiIsLeadByte(unsigned char b);
