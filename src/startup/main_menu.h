// The main menu: the modal dialog "MAINDIALOG" with the title picture on the
// left and the command buttons on the right. It is the program's main
// window; when it ends, the work folder has been removed.
#pragma once

#include <windows.h>

// The dialog procedure. Every message gets FALSE; the dialog ends only with
// EndDialog(0), after the title picture is released and the work folder
// removed.
INT_PTR CALLBACK MainMenuProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
