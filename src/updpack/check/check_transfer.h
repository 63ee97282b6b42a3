// `updpack check` on what the update writes and deletes: the [ini] and [reg]
// lines as they will be written, and the lines that will not do what they
// seem to.
#pragma once

#include "updpack/check/check_env.h"

// Adds the findings about [ini], [reg], INI_FILE and [delfiles_afterinst].
// Runs after the updater's view of the file has been loaded.
void TraceTransfer(EnvCheckResult* r);

// Prints, for every [ini] and [reg] line, what the update writes, with the
// target folder and the drive shown as their placeholders.
void PrintTransfer(const EnvCheckResult& r);
