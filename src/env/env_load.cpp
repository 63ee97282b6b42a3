#include "env/env_load.h"

#include <cstdio>
#include <cstdlib>

#include "env/env_alloc.h"
#include "env/env_table.h"
#include "support/ansi.h"
#include "support/fflayer.h"
#include "support/msgbox.h"

int EnvLoad(const char* name) {
  static bool freeAtExit = false;
  if (!freeAtExit) {
    atexit(EnvFree);
    freeAtExit = true;
  }
  FILE* file = Ffopen(name, "rt");
  if (!file) return -1;
  // An entry that cannot be stored stops the program with the memory message
  // instead of quietly falling back to a default.
  EnvSetAllocator(AllocOrExit);
  EnvReadTable(EnvStdioSource(file), AnsiIsLeadByte);
  fclose(file);
  return 0;
}
