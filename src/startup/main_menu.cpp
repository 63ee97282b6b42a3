#include "startup/main_menu.h"

#include <sys/stat.h>

#include "env/env_keys.h"
#include "env/env_table.h"
#include "image/rct_load.h"
#include "startup/menu_commands.h"
#include "startup/workfolder.h"
#include "support/fflayer.h"
#include "support/main_window.h"
#include "update/launch.h"
#include "update/run_update.h"

namespace {

constexpr const char kTitlePicture[] = "insttscr.rct";

int g_commands[kMenuButtonCount];
int g_busy = 0;
Surface* g_title = nullptr;
POINT g_origin = {0, 0};
// The readme caption, then the readme file name.
char g_text[128];

// A folder of that name in the current folder (the work folder).
bool HasFolder(const char* name) {
  struct stat status;
  return stat(name, &status) == 0 && (status.st_mode & S_IFMT) == S_IFDIR;
}

void AssignButtons(HWND dialog) {
  bool directX = HasFolder("DirectX");
  EnvGetString(kEnvInstReadmeKey, g_text, sizeof g_text, kEnvInstReadmeDefault);
  bool readme = g_text[0] != '-';
  MenuAssignCommands(directX, readme, g_commands);
  for (int i = 0; i < kMenuButtonCount; ++i) {
    HWND button = GetDlgItem(dialog, kMenuButtonIds[i]);
    switch (g_commands[i]) {
      case kMenuQuit:
        SetWindowTextA(button, "終了");
        break;
      case kMenuDirectX:
        SetWindowTextA(button, "DirectXインストール");
        break;
      case kMenuReadme:
        SetWindowTextA(button, g_text);
        break;
      case kMenuUpdate:
        SetWindowTextA(button, "アップデート");
        break;
      default:
        DestroyWindow(button);
        break;
    }
  }
}

void PressKey(BYTE key) {
  keybd_event(key, 0, 0, 0);
  keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
}

// A payload without the picture, or a picture that does not decode, leaves
// the menu without one: asking the user to retry a file that will not come
// would only stand in the way of the update.
void LoadTitlePicture(HWND dialog) {
  g_title = Ffexists(kTitlePicture) ? RctLoad(kTitlePicture) : nullptr;
  g_origin = POINT{0, 0};
  if (!g_title) return;
  RECT client;
  GetClientRect(dialog, &client);
  // Centred in a square of the client height's side at the left edge.
  int side = client.bottom - client.top;
  g_origin.x = (side - g_title->width) / 2;
  g_origin.y = (side - g_title->height) / 2;
}

void Start(HWND dialog) {
  SetMainWindow(dialog);
  CenterWindow(dialog);
  g_busy = 0;
  SetWindowTextA(dialog, EnvUpdaterTitle());
  AssignButtons(dialog);
  PressKey(VK_DOWN);
  PressKey(VK_UP);
  LoadTitlePicture(dialog);
}

void Paint(HWND dialog) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog, &paint);
  if (g_title) {
    StretchDIBits(dc, g_origin.x, g_origin.y, g_title->width, g_title->height, 0, 0, g_title->width,
                  g_title->height, g_title->bits, g_title->header, DIB_RGB_COLORS, SRCCOPY);
  }
  EndPaint(dialog, &paint);
}

void End(HWND dialog) {
  SurfaceFree(g_title);
  g_title = nullptr;
  RemoveWorkFolder();
  EndDialog(dialog, 0);
}

void Command(HWND dialog, WPARAM param) {
  if (g_busy) return;
  g_busy = 1;
  int slot = MenuFindSlot(param);
  switch (slot < 0 ? kMenuNone : g_commands[slot]) {
    case kMenuUpdate:
      if (RunUpdate() == 0) End(dialog);
      break;
    case kMenuDirectX:
      StartProgram("DirectX\\dxsetup.exe");
      break;
    case kMenuQuit:
      End(dialog);
      break;
    case kMenuReadme:
      EnvGetString(kEnvInstReadmeFlKey, g_text, sizeof g_text, kEnvInstReadmeFlDefault);
      OpenDocument(g_text);
      break;
    default:
      break;
  }
  --g_busy;
}

}  // namespace

INT_PTR CALLBACK MainMenuProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Start(dialog);
      break;
    case WM_PAINT:
      Paint(dialog);
      break;
    case WM_CLOSE:
      if (!g_busy) End(dialog);
      break;
    case WM_COMMAND:
      Command(dialog, wParam);
      break;
    default:
      break;
  }
  return FALSE;
}
