// `updpack check` on the deletion lists ([delfiles], [delfiles_user],
// [delfiles_afterinst]).
#pragma once

#include <vector>

#include "updpack/check/check_internal.h"

// Errors for lines that reach outside the game's folder and for lines the
// updater cuts in two; warnings for [delfiles_afterinst] lines that delete
// the game's executable or its readme.
void TraceDeletions(EnvCheckResult* r, const std::vector<CheckListLine>& lines);
