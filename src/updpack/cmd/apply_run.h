// `updpack apply` as a function, for the tests: fs replaces the file
// operations of the commit (its context is set to the game's), null for the
// real ones. Returns the exit code.
#pragma once

#include <string>

#include "txn/txn_apply.h"

int ApplyRun(const std::string& update, const std::string& game, const TxnFs* fs);
