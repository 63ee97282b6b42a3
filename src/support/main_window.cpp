#include "support/main_window.h"

#include <cstdlib>

namespace {

HWND g_mainWindow = nullptr;
char g_title[260];

}  // namespace

void SetMainWindow(HWND window) { g_mainWindow = window; }

HWND MainWindow() { return g_mainWindow; }

char* MainWindowTitle() {
  if (g_mainWindow) GetWindowTextA(g_mainWindow, g_title, sizeof g_title);
  return g_title;
}

void CenterWindow(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  HDC dc = GetDC(window);
  int displayWidth = GetDeviceCaps(dc, HORZRES);
  int displayHeight = GetDeviceCaps(dc, VERTRES);
  ReleaseDC(window, dc);
  int x = (displayWidth - (rect.right - rect.left)) / 2;
  int y = (displayHeight - (rect.bottom - rect.top)) / 2;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

int PumpMessages() {
  int count = 0;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) exit(static_cast<int>(msg.wParam));
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    ++count;
  }
  return count;
}
