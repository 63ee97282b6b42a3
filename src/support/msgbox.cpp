#include "support/msgbox.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/ansi.h"
#include "support/sjis.h"
#include "support/text.h"

namespace {

HWND g_mainWindow = nullptr;
char g_title[260];

constexpr size_t kMessageSize = 1024;

// Formats into the message buffer; a text over 1023 bytes is cut at the last
// whole character that fits, so the box never shows half a character.
void FormatMessage(char* buffer, const char* format, va_list args) {
  int n = FormatTextV(buffer, kMessageSize, format, args);
  if (n >= static_cast<int>(kMessageSize)) {
    buffer[MbsFitLength(buffer, kMessageSize - 1, AnsiIsLeadByte)] = '\0';
  }
}

int ShowBox(const char* format, va_list args, UINT flags, bool toClipboard) {
  char message[kMessageSize];
  FormatMessage(message, format, args);
  SetForegroundWindow(g_mainWindow);
  if (toClipboard) CopyTextToClipboard(message);
  return MessageBoxA(g_mainWindow, message, MainWindowTitle(), flags);
}

}  // namespace

void SetMainWindow(HWND window) { g_mainWindow = window; }

HWND MainWindow() { return g_mainWindow; }

char* MainWindowTitle() {
  if (g_mainWindow) GetWindowTextA(g_mainWindow, g_title, sizeof g_title);
  return g_title;
}

void ErrorRetryBox(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int answer = ShowBox(format, args, MB_RETRYCANCEL | MB_ICONERROR, true);
  va_end(args);
  if (answer == IDCANCEL) exit(-1);
}

int AskRetryCancel(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int answer = ShowBox(format, args, MB_RETRYCANCEL | MB_ICONERROR, true);
  va_end(args);
  return answer == IDRETRY ? 1 : 0;
}

void ErrorBox(const char* format, ...) {
  va_list args;
  va_start(args, format);
  ShowBox(format, args, MB_OK | MB_ICONERROR, true);
  va_end(args);
}

int AskYesNo(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int answer = ShowBox(format, args, MB_YESNO | MB_ICONQUESTION, false);
  va_end(args);
  return answer == IDYES ? 1 : 0;
}

int CopyTextToClipboard(const char* text) {
  size_t size = strlen(text) + 1;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (!block) return -1;
  void* p = GlobalLock(block);
  if (p) {
    memcpy(p, text, size);
    GlobalUnlock(block);
  }
  // Failures of the clipboard calls are not the user's concern: the box is
  // shown all the same.
  OpenClipboard(GetActiveWindow());
  EmptyClipboard();
  SetClipboardData(CF_TEXT, block);
  CloseClipboard();
  return 0;
}

void* AllocOrExit(size_t size) {
  void* block = malloc(size ? size : 1);  // malloc(0) may rightly give null
  if (!block) {
    MessageBoxA(nullptr, "メモリ容量が不足しています。処理を中断します。", "malloc",
                MB_OK | MB_ICONERROR);
    exit(-1);
  }
  return block;
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
