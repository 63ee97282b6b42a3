#include "env/env_load.h"

#include <cstdio>
#include <cstdlib>

#include "env/env_alloc.h"
#include "env/env_table.h"
#include "support/alloc_or_exit.h"
#include "support/ansi.h"
#include "support/fflayer.h"

void EnvLoad(const char* name) {
  static bool freeAtExit = false;
  if (!freeAtExit) {
    atexit(EnvFree);
    freeAtExit = true;
  }
  FILE* file = Ffopen(name, "rt");  // returns only with an open file
  // An entry that cannot be stored stops the program with the memory message
  // instead of quietly falling back to a default.
  EnvSetAllocator(AllocOrExit);
  EnvReadTable(EnvStdioSource(file), AnsiIsLeadByte);
  fclose(file);
}
