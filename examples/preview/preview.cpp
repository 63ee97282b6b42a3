// update-preview: runs a packed update through the parts of the updater that
// are built so far, so a game maker can see that the update unpacks, reads
// its configuration and shows its title picture:
//
//   update-preview.exe DEST      (with a payload appended by updpack build)
//
// It creates the work folder, takes the start-up files out of the payload,
// loads install.env and its sections, decodes the title picture into a window
// captioned with the updater title, extracts the whole payload into DEST
// behind the copy progress window, and writes what it saw to DEST\preview.log.
// The exit code is 0 on success; failures end it as the updater would (-1).
#include <windows.h>

#include <cstdio>

#include "env/env_keys.h"
#include "env/env_load.h"
#include "env/sections.h"
#include "image/rct_load.h"
#include "payload/extract.h"
#include "payload/format.h"
#include "startup/workfolder.h"
#include "support/fflayer.h"
#include "support/msgbox.h"
#include "support/text.h"

namespace {

Surface* g_title = nullptr;

LRESULT CALLBACK PreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (g_title) {
      StretchDIBits(dc, 0, 0, g_title->width, g_title->height, 0, 0, g_title->width,
                    g_title->height, g_title->bits, g_title->header, DIB_RGB_COLORS, SRCCOPY);
    }
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PreviewProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "UpdatePreview";
  RegisterClassA(&wc);
  RECT rect = {0, 0, g_title ? g_title->width : 256, g_title ? g_title->height : 256};
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
  AdjustWindowRect(&rect, style, FALSE);
  HWND window = CreateWindowA("UpdatePreview", EnvUpdaterTitle(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                              rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                              instance, nullptr);
  CenterWindow(window);
  UpdateWindow(window);
  return window;
}

int CountEntries(const SectionList& list) {
  int n = 0;
  for (const SectionEntry* e = list.first; e; e = e->next) ++n;
  return n;
}

void WriteLog(const char* destination) {
  char path[MAX_PATH];
  if (FormatText(path, sizeof path, "%s\\preview.log", destination) >= MAX_PATH) return;
  FILE* log = fopen(path, "w");
  if (!log) return;
  fprintf(log, "updater title: %s\n", EnvUpdaterTitle());
  fprintf(log, "registry key: Software\\%s\\%s\n", EnvRegGlobal(), EnvRegLocal());
  fprintf(log, "game folder name: %s\n", EnvInstTo());
  fprintf(log, "game executable: %s\n", EnvExeName());
  fprintf(log, "[ini] %d, [reg] %d, [delfiles_afterinst] %d entries\n", CountEntries(IniList),
          CountEntries(RegList), CountEntries(DelfilesAfterinstList));
  if (g_title) {
    fprintf(log, "title picture: %d x %d\n", g_title->width, g_title->height);
  } else {
    fprintf(log, "title picture: none\n");
  }
  fprintf(log, "payload: %u bytes extracted into %s\n", PayloadLength(), destination);
  fclose(log);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc < 2) {
    MessageBoxA(nullptr, "usage: update-preview.exe DEST", "update-preview", MB_ICONERROR);
    return 2;
  }
  const char* destination = __argv[1];

  FfsetDirectOpen(1);
  CreateWorkFolder();
  ExtractPayload(WorkFolderPath(), kPayloadStartupMode);
  char name[128] = "install.env";
  if (!Ffexists(name)) {
    ErrorBox("起動に必要なファイルが不足しています。\nインストールの異常終了、起動するフォルダ異常、等を確認してください。");
    RemoveWorkFolder();
    exit(-1);
  }
  EnvLoad(name);
  SectionListsLoad(name);
  g_title = Ffexists("insttscr.rct") ? RctLoad("insttscr.rct") : nullptr;

  SetMainWindow(MakeWindow(instance));
  PumpMessages();
  CreateDirectoryA(destination, nullptr);
  ExtractPayload(destination, kPayloadFullMode);
  WriteLog(destination);

  SurfaceFree(g_title);
  RemoveWorkFolder();
  return 0;
}
