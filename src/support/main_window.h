// The main window record, window placement and the message pump. GUI thread.
#pragma once

#include <windows.h>

// The registered main window: owner of every box and dialog, source of the
// module instance, and its title is the caption of every box.
void SetMainWindow(HWND window);
HWND MainWindow();
// Fills the 260-byte title buffer with the main window's title and returns it.
char* MainWindowTitle();

// Centres the window on the display, keeping its size and Z order.
void CenterWindow(HWND window);

// Dispatches every waiting message without blocking and returns their number.
// A WM_QUIT ends the program with its exit code: one of the program's ways
// out.
int PumpMessages();
