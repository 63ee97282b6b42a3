// The main menu's command slots: which command each of the nine buttons
// carries, from the bottom of the column up. Platform-free.
#pragma once

constexpr int kMenuButtonCount = 9;

// Control ids by slot: slot 0 is the lowest button of the column, slot 8
// the small button at the top right.
extern const int kMenuButtonIds[kMenuButtonCount];

enum MenuCommand {
  kMenuNone = 0,     // button destroyed
  kMenuUpdate = 1,   // "アップデート"
  kMenuDirectX = 2,  // "DirectXインストール"
  kMenuQuit = 3,     // "終了"
  kMenuReadme = 5,   // the INSTREADME caption
};

// Fills the slots: "終了" at the bottom, then "DirectXインストール" when
// there is a DirectX folder, the readme button when there is a readme
// caption, "アップデート", and nothing above. Returns the number in use.
int MenuAssignCommands(bool hasDirectX, bool hasReadme, int commands[kMenuButtonCount]);

// The slot whose control id is the whole command parameter (a click's
// notification code 0 in the high half), or -1.
int MenuFindSlot(unsigned long long commandParam);
