// Test program: runs the section pass of the start-up on the file named on
// its command line. Ends with the number of entries read, or with the pass's
// own exit code when it stops the program.
#include <windows.h>

#include <cstdlib>

#include "env/env_load.h"
#include "env/sections.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc < 2) return 100;
  SectionListsLoad(__argv[1]);
  int entries = 0;
  for (int id = 0; id < kSectionCount; ++id) {
    for (const SectionEntry* e = SectionListOf(id)->first; e; e = e->next) ++entries;
  }
  return entries;
}
