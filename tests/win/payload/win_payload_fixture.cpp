#include "win/payload/win_payload_fixture.h"

#include <cstdio>

#include "support/main_window.h"

HWND CreateTestMainWindow() {
  HWND window = CreateWindowExA(0, "STATIC", "payload test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetMainWindow(window);
  return window;
}

std::string MakeTempFolder(const char* prefix) {
  static int counter = 0;
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  char path[MAX_PATH];
  snprintf(path, sizeof path, "%s%s%lu_%d\\", temp, prefix, GetCurrentProcessId(), ++counter);
  CreateDirectoryA(path, nullptr);
  return path;
}

std::vector<uint32_t> CaptureFrame(HWND animation) {
  RECT rect;
  GetClientRect(animation, &rect);
  int width = rect.right, height = rect.bottom;
  std::vector<uint32_t> pixels;
  if (width <= 0 || height <= 0) return pixels;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(animation);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  SendMessageA(animation, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
  GdiFlush();
  const uint32_t* p = static_cast<const uint32_t*>(bits);
  pixels.assign(p, p + static_cast<size_t>(width) * height);
  for (uint32_t& px : pixels) px &= 0xFFFFFF;
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(animation, screen);
  return pixels;
}

bool FrameChangesWithin(HWND animation, const std::vector<uint32_t>& from, int ms) {
  DWORD start = GetTickCount();
  while (static_cast<int>(GetTickCount() - start) < ms) {
    Sleep(30);
    if (CaptureFrame(animation) != from) return true;
  }
  return false;
}
