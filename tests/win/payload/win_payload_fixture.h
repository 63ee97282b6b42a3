// Test support for the Windows-side payload tests: a main window to own the
// progress window, temp files, and pictures of the animation control.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "win/common/temp_folder.h"

// A hidden top-level window registered as the main window.
HWND CreateTestMainWindow();

// A fresh folder under the temp path, with a trailing backslash.
std::string MakeTempFolder(const char* prefix);

// The animation control's current frame, painted into a memory bitmap
// through WM_PRINTCLIENT: one 0xRRGGBB value per pixel of its client area.
std::vector<uint32_t> CaptureFrame(HWND animation);

// Waits until the control shows a frame different from `from`; false when
// nothing changed within the time. The control plays on its own thread, so
// no messages are pumped here (a caller may be holding its queue).
bool FrameChangesWithin(HWND animation, const std::vector<uint32_t>& from, int ms);
