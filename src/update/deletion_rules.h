// Which deletion-list lines the update may carry out: a line names files
// below the game's folder, so one that could reach above it is refused by
// `updpack check` and skipped by the updater.
#pragma once

#include "support/sjis.h"

// False when the line has a colon (a drive, or a stream), starts (after
// blanks) with "\" or "/", or has a component of dots and blanks holding two
// dots or more: Windows trims trailing dots and blanks from names, so ".. "
// is refused with "..". Both "\" and "/" separate; a trail byte never does.
bool DeletionLineStaysInside(const char* line, LeadByteFn isLead);
