// Test support: drives Windows programs through their windows, under Wine.
// Starts a program, waits for its windows, lists and works their controls,
// answers message boxes, reads the clipboard and collects the exit code.
// Every wait has a time limit; a program that outlives its test is killed.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct DrvProcess {
  HANDLE process = nullptr;
  DWORD pid = 0;
};

struct DrvControl {
  HWND hwnd = nullptr;
  int id = 0;
  std::string className;
  std::string text;  // in the ANSI code page
  bool visible = false;
  int checked = 0;   // BM_GETCHECK, buttons only
  int rangeLow = 0;  // progress bars only
  int rangeHigh = 0;
  int position = 0;
};

constexpr int kDrvDefaultTimeoutMs = 10000;

// Starts "program args" (program resolved beside the running test when it is
// a bare name) in the given folder (null: the current one). False on failure.
bool DrvStart(DrvProcess* p, const std::string& program, const std::string& args = "",
              const char* folder = nullptr);

// Waits for a visible top-level window of the process whose class (and title,
// when not null) match. Null after the time limit.
HWND DrvWaitWindow(const DrvProcess& p, const char* className, const char* title = nullptr,
                   int timeoutMs = kDrvDefaultTimeoutMs);

// Waits for a message box (or any dialog of class #32770) of the process.
HWND DrvWaitBox(const DrvProcess& p, int timeoutMs = kDrvDefaultTimeoutMs);
// A dialog of the process other than `except` (a main window that is a
// dialog too) with a control of that id; null after the timeout.
HWND DrvWaitDialogWith(const DrvProcess& p, HWND except, int controlId,
                       int timeoutMs = kDrvDefaultTimeoutMs);

// All visible top-level windows of the process.
std::vector<HWND> DrvTopWindows(const DrvProcess& p);

std::string DrvWindowText(HWND window);
std::string DrvClassName(HWND window);

// The window's direct child controls in Z (template) order.
std::vector<DrvControl> DrvListControls(HWND window);
// The control with that id; id 0 and an empty class when there is none.
DrvControl DrvFindControl(HWND window, int id);

// The static text of a message box (its message).
std::string DrvBoxMessage(HWND box);

// Clicks the button with that id as the user would (BN_CLICKED to its parent).
bool DrvClick(HWND window, int id);
// Replaces the text of an edit control.
bool DrvType(HWND window, int id, const std::string& text);
// Asks the window to close (WM_CLOSE).
bool DrvClose(HWND window);
// Sends a key press and release (WM_KEYDOWN/WM_KEYUP) to the window; false
// when the press cannot be posted (a release to a window the press closed is
// not a failure).
bool DrvKey(HWND window, int virtualKey);

// Waits for a message box, reads its caption and message, and presses the
// button with that id (IDOK, IDCANCEL, IDRETRY, IDYES, IDNO...).
bool DrvAnswerBox(const DrvProcess& p, int buttonId, std::string* caption = nullptr,
                  std::string* message = nullptr, int timeoutMs = kDrvDefaultTimeoutMs);

// The clipboard's CF_TEXT, or an empty text.
std::string DrvReadClipboard();

// Waits for the process to end and gives its exit code as a signed number.
// On the time limit the process is killed and false is returned.
bool DrvWaitExit(DrvProcess* p, int* exitCode, int timeoutMs = kDrvDefaultTimeoutMs);

// Kills the process if it still runs and releases the handle.
void DrvKill(DrvProcess* p);

// Kills the process when a test leaves its scope early (a failed assertion).
struct DrvGuard {
  DrvProcess* p;
  ~DrvGuard() { DrvKill(p); }
};

// Runs until the condition holds or the time runs out; true when it held.
template <typename Condition>
bool DrvWaitFor(Condition condition, int timeoutMs = kDrvDefaultTimeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (static_cast<int>(GetTickCount() - start) >= timeoutMs) return false;
    Sleep(20);
  }
}

// Runs while the condition holds, for at most ms milliseconds; true when it
// held all along. For "nothing happens" checks, after DrvSync.
template <typename Condition>
bool DrvHolds(Condition condition, int ms) {
  DWORD start = GetTickCount();
  for (;;) {
    if (!condition()) return false;
    if (static_cast<int>(GetTickCount() - start) >= ms) return true;
    Sleep(10);
  }
}

// Round trips to the window's thread until the messages posted to it before
// have been taken from its queue (each round trip is answered only when the
// thread next reads its queue). False when it does not answer in time.
bool DrvSync(HWND window, int timeoutMs = kDrvDefaultTimeoutMs);

// The folder of the running test program, with a trailing backslash.
std::string DrvProgramFolder();

// UTF-8 literal helper for readable assertions: converts code page 932 text
// to UTF-8 so that failures print legibly.
std::string DrvUtf8(const std::string& ansi);
