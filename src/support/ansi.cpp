#include "support/ansi.h"

#include <windows.h>

bool AnsiIsLeadByte(unsigned char b) { return IsDBCSLeadByte(b) != FALSE; }
