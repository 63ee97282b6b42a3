#include <cstdio>
#include <cstdlib>

#include "env/env_alloc.h"
#include "env/env_load.h"
#include "env/sections.h"
#include "support/alloc_or_exit.h"
#include "support/message_box.h"

void SectionListsLoad(const char* name) {
  FILE* file = fopen(name, "rt");
  if (!file) {
    ErrorRetryBox("[%s]ファイルを開けませんでした。", name);
    exit(-1);  // Retry does not try again: the start-up cannot go on
  }
  EnvSetAllocator(AllocOrExit);
  int open = SectionListsRead(EnvStdioSource(file));
  if (open != kSectionNone) {
    ErrorRetryBox("[設定.env]の[%s]が終了していません", SectionName(open));
    exit(-1);
  }
  fclose(file);
}
