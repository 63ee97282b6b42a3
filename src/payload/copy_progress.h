// The copy progress window: a modeless dialog owned by the main window with
// an animation, the current file's path, a bar for the file and one for the
// whole payload. Its Cancel button only stops the animation.
#pragma once

#include <windows.h>

#include <cstdint>

// Opens the window (closing one that is still open) and sets the overall
// bar's range from the payload length. Null when the dialog cannot be made;
// the copy then runs without a window.
HWND OpenCopyProgress(uint32_t payloadLength);

// Painting the path and the bars on every change costs more than copying on
// some systems, and nobody reads 300 paths a second. Between frames the three
// controls take every text and position but do not paint: CopyProgressHold
// stops their painting, CopyProgressShowFrame paints what they hold now and
// stops it again. Both act on the open window only, and a frame only while
// it is held.
void CopyProgressHold(HWND window);
void CopyProgressShowFrame(HWND window);

// Destroys the window: 0, or 1 when none was open.
int CloseCopyProgress();

INT_PTR CALLBACK CopyProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
