// Loads each DLL named on its command line the plain way (the program's own
// folder first): proof that a planted DLL beside it is taken where the
// search allows it. Exit code: how many loads failed.
#include <windows.h>

#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  int failed = 0;
  for (char* name = strtok(commandLine, " "); name; name = strtok(nullptr, " ")) {
    if (!LoadLibraryA(name)) ++failed;
  }
  return failed;
}
