// `updpack check`: what target folder discovery will do with the file, so
// that a game maker sees the registry key, the version window, the folder
// the SETUP dialog suggests and the key file before shipping.
#pragma once

#include "updpack/check/check_env.h"

// Warns about settings that make discovery refuse every installation: a
// version window that admits nothing, a suggestion too long for a folder.
// Runs on the table that CheckEnvText has just loaded.
void CheckDiscovery(EnvCheckResult* r);

// The summary lines, on stdout.
void PrintDiscovery();
