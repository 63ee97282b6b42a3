// The SETUP dialog of the manual route and the folder text it edits.
#pragma once

#include <windows.h>

// The module-level folder text (kTargetFolderSize bytes) shared by both
// routes and the dialog: shown when the dialog opens, replaced by a browse,
// and by the edit field's text on "次へ".
char* TargetFolderText();

// True when the last "次へ" found more than 259 bytes in the edit field; the
// folder text was left as it was rather than cut.
bool SetupEntryTooLong();

// The dialog procedure: result 1 for "次へ" (Enter), 0 for "ｷｬﾝｾﾙ" (Esc, the
// close box).
INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
