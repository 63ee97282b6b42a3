// Message boxes, the main window record, placement, allocation and the
// message pump. Everything here runs on the GUI thread.
#pragma once

#include <windows.h>

#include <cstddef>

// The registered main window: owner of every box and dialog, source of the
// module instance, and its title is the caption of every box.
void SetMainWindow(HWND window);
HWND MainWindow();
// Fills the 260-byte title buffer with the main window's title and returns it.
char* MainWindowTitle();

// Error with Retry and Cancel. Returns only on Retry; Cancel ends the program
// with exit code -1. The text also goes to the clipboard.
void ErrorRetryBox(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Error with Retry and Cancel that leaves the choice to the caller: 1 for
// Retry, 0 for Cancel. The text also goes to the clipboard.
int AskRetryCancel(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Error with OK. The text also goes to the clipboard.
void ErrorBox(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Yes/No question: 1 for Yes, 0 otherwise.
int AskYesNo(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Puts the text on the clipboard as CF_TEXT: 0, or -1 when no memory block
// could be had.
int CopyTextToClipboard(const char* text);

// Heap allocation that never returns null: out of memory ends the program
// with exit code -1 after a message.
void* AllocOrExit(size_t size);

// Centres the window on the display, keeping its size and Z order.
void CenterWindow(HWND window);

// Dispatches every waiting message without blocking and returns their number.
// A WM_QUIT ends the program with its exit code.
int PumpMessages();
