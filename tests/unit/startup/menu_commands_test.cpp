// The main menu's column: which command each slot carries, and which slot a
// click names.
#include "startup/menu_commands.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> Assigned(bool hasDirectX, bool hasReadme, int* used) {
  int commands[kMenuButtonCount];
  for (int& c : commands) c = -1;
  *used = MenuAssignCommands(hasDirectX, hasReadme, commands);
  return std::vector<int>(commands, commands + kMenuButtonCount);
}

TEST(MenuAssignCommands, QuitAtTheBottomUpdateOnTopOfWhatThereIs) {
  const int x = kMenuNone;  // button destroyed
  struct {
    bool directX, readme;
    std::vector<int> slots;
  } cases[] = {
      {false, false, {kMenuQuit, kMenuUpdate, x, x, x, x, x, x, x}},
      {true, false, {kMenuQuit, kMenuDirectX, kMenuUpdate, x, x, x, x, x, x}},
      {false, true, {kMenuQuit, kMenuReadme, kMenuUpdate, x, x, x, x, x, x}},
      {true, true, {kMenuQuit, kMenuDirectX, kMenuReadme, kMenuUpdate, x, x, x, x, x}},
  };
  for (const auto& c : cases) {
    int used = 0;
    EXPECT_EQ(Assigned(c.directX, c.readme, &used), c.slots)
        << "DirectX " << c.directX << ", readme " << c.readme;
    EXPECT_EQ(used, 2 + c.directX + c.readme);
  }
}

TEST(MenuFindSlot, OnlyAPlainClickOnAColumnButton) {
  EXPECT_EQ(MenuFindSlot(kMenuButtonIds[0]), 0);
  EXPECT_EQ(MenuFindSlot(kMenuButtonIds[kMenuButtonCount - 1]), kMenuButtonCount - 1);
  EXPECT_EQ(MenuFindSlot(kMenuButtonIds[0] - 1), -1);
  EXPECT_EQ(MenuFindSlot(kMenuButtonIds[kMenuButtonCount - 1] + 1), -1);
  // A notification other than a click (code 1 in the high half) is none.
  EXPECT_EQ(MenuFindSlot((1ull << 16) | kMenuButtonIds[0]), -1);
}

}  // namespace
