// The program's message boxes: owned by the main window, captioned with its
// title; the error boxes put their text on the clipboard too. GUI thread.
#pragma once

// Error with Retry and Cancel. Returns only on Retry; Cancel ends the program
// with exit code -1 (one of the program's ways out).
void ErrorRetryBox(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Error with Retry and Cancel that leaves the choice to the caller: 1 for
// Retry, 0 for Cancel.
int AskRetryCancel(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Error with OK.
void ErrorBox(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Yes/No question: 1 for Yes, 0 otherwise.
int AskYesNo(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Puts the text on the clipboard as CF_TEXT: 0, or -1 when no memory block
// could be had.
int CopyTextToClipboard(const char* text);
