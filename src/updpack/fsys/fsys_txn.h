// The update's all-or-nothing file operations (TxnFs) over updpack's file
// system layer, for `updpack apply`. The transaction core names paths as the
// updater does, "folder\name" in code page 932; here the folder is
// kFsTxnFolder, which stands for the game's folder, and every name is found
// without regard to letter case, as Windows finds it.
#pragma once

#include <string>

#include "txn/txn_apply.h"

constexpr char kFsTxnFolder[] = ".";

struct FsTxnContext {
  std::string root;  // the game's folder (UTF-8)
};

// The operations, with context pointing at a FsTxnContext.
TxnFs FsTxnTable(FsTxnContext* context);

// The local path of "folder\name" (as the core names it) or of a payload
// name below root: converted to UTF-8, "/" between parts, each existing
// part spelt as on the disk when it differs only in letter case. False when
// the name is not code page 932 text.
bool FsTxnLocal(const std::string& root, const std::string& cp932, std::string* local);
