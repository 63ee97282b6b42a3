#include "support/message_box.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/ansi.h"
#include "support/main_window.h"
#include "support/sjis.h"
#include "support/text.h"

namespace {

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
  SetForegroundWindow(MainWindow());
  if (toClipboard) CopyTextToClipboard(message);
  return MessageBoxA(MainWindow(), message, MainWindowTitle(), flags);
}

}  // namespace

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
