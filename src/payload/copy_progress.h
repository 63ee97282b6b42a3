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

// A file's output is open: its path on the label, and the file bar starts
// over with the range of its chunks. A range or position the bar already has
// is not sent again (the small files of a payload mostly share 0 to 0).
void CopyProgressFileStart(HWND window, const char* path, uint32_t size);

// A chunk of a file of `size` bytes was written: `written` bytes of it so far,
// `position` bytes of the payload consumed. The bars move at most once a
// frame and always at a file's last chunk; messages are pumped every time,
// with or without a window.
void CopyProgressChunk(HWND window, uint32_t size, uint32_t written, uint32_t position);

// The clock the frames are timed by, in milliseconds (GetTickCount unless a
// test sets another; null puts it back).
void CopyProgressSetClock(unsigned long (*clock)());

// Destroys the window: 0, or 1 when none was open.
int CloseCopyProgress();

INT_PTR CALLBACK CopyProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
