#include "startup/menu_commands.h"

const int kMenuButtonIds[kMenuButtonCount] = {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008};

int MenuAssignCommands(bool hasDirectX, bool hasReadme, int commands[kMenuButtonCount]) {
  int n = 0;
  commands[n++] = kMenuQuit;
  if (hasDirectX) commands[n++] = kMenuDirectX;
  if (hasReadme) commands[n++] = kMenuReadme;
  commands[n++] = kMenuUpdate;
  for (int i = n; i < kMenuButtonCount; ++i) commands[i] = kMenuNone;
  return n;
}

int MenuFindSlot(unsigned long long commandParam) {
  for (int i = 0; i < kMenuButtonCount; ++i) {
    if (commandParam == static_cast<unsigned long long>(kMenuButtonIds[i])) return i;
  }
  return -1;
}
