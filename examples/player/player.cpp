// Plays the example update as a person would, through its windows, on a
// display (the x11 driver): the main menu, "アップデート", the confirmation,
// the copy progress window and the completion dialog with "ゲームの実行"
// checked. Each window is saved as a BMP picture once it has settled, and
// the menu's title picture is checked against the original at the place
// where the menu centres it.
//
//   player UPDATE.exe SHOTS_FOLDER TITLE.bmp
//
// Exit code 0 when the update ran to its end and the updater ended with 0.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/driver/uidriver.h"

namespace {

constexpr int kWaitMs = 60000;
constexpr int kSettleMs = 700;

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // top row first
};

int Fail(const char* what) {
  fprintf(stderr, "player: %s\n", what);
  return 1;
}

// The screen's pixels in the rectangle, top row first.
Picture Capture(const RECT& r) {
  Picture p;
  p.width = r.right - r.left;
  p.height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = p.width;
  info.bmiHeader.biHeight = -p.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, p.width, p.height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  int stride = (p.width * 3 + 3) & ~3;
  p.rgb.resize(static_cast<size_t>(p.width) * p.height * 3);
  for (int y = 0; y < p.height; ++y) {
    const uint8_t* row = static_cast<const uint8_t*>(bits) + static_cast<size_t>(y) * stride;
    for (int x = 0; x < p.width; ++x) {
      uint8_t* out = &p.rgb[(static_cast<size_t>(y) * p.width + x) * 3];
      out[0] = row[x * 3 + 2];
      out[1] = row[x * 3 + 1];
      out[2] = row[x * 3];
    }
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return p;
}

bool SaveBmp(const Picture& p, const std::string& path) {
  int stride = (p.width * 3 + 3) & ~3;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(stride * p.height);
  info.biSize = sizeof info;
  info.biWidth = p.width;
  info.biHeight = p.height;  // bottom row first
  info.biPlanes = 1;
  info.biBitCount = 24;
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  fwrite(&file, sizeof file, 1, f);
  fwrite(&info, sizeof info, 1, f);
  std::vector<uint8_t> row(stride, 0);
  for (int y = p.height - 1; y >= 0; --y) {
    for (int x = 0; x < p.width; ++x) {
      const uint8_t* in = &p.rgb[(static_cast<size_t>(y) * p.width + x) * 3];
      row[x * 3] = in[2];
      row[x * 3 + 1] = in[1];
      row[x * 3 + 2] = in[0];
    }
    fwrite(row.data(), 1, row.size(), f);
  }
  return fclose(f) == 0;
}

// A 24-bit BMP file as written by the converter of the main job.
bool LoadBmp(const std::string& path, Picture* p) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  BITMAPFILEHEADER file;
  BITMAPINFOHEADER info;
  bool ok = fread(&file, sizeof file, 1, f) == 1 && fread(&info, sizeof info, 1, f) == 1 &&
            info.biBitCount == 24 && info.biCompression == BI_RGB && info.biWidth > 0;
  if (ok) {
    p->width = info.biWidth;
    p->height = info.biHeight < 0 ? -info.biHeight : info.biHeight;
    int stride = (p->width * 3 + 3) & ~3;
    std::vector<uint8_t> row(stride);
    p->rgb.resize(static_cast<size_t>(p->width) * p->height * 3);
    fseek(f, static_cast<long>(file.bfOffBits), SEEK_SET);
    for (int i = 0; ok && i < p->height; ++i) {
      ok = fread(row.data(), 1, row.size(), f) == row.size();
      int y = info.biHeight < 0 ? i : p->height - 1 - i;
      for (int x = 0; x < p->width; ++x) {
        uint8_t* out = &p->rgb[(static_cast<size_t>(y) * p->width + x) * 3];
        out[0] = row[x * 3 + 2];
        out[1] = row[x * 3 + 1];
        out[2] = row[x * 3];
      }
    }
  }
  fclose(f);
  return ok;
}

// The share of the picture's pixels that the client area shows at (ox, oy).
double MatchAt(const Picture& client, const Picture& picture, int ox, int oy) {
  long same = 0;
  long total = 0;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      int cx = ox + x;
      int cy = oy + y;
      if (cx < 0 || cy < 0 || cx >= client.width || cy >= client.height) continue;
      ++total;
      const uint8_t* a = &client.rgb[(static_cast<size_t>(cy) * client.width + cx) * 3];
      const uint8_t* b = &picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3];
      if (abs(a[0] - b[0]) <= 2 && abs(a[1] - b[1]) <= 2 && abs(a[2] - b[2]) <= 2) ++same;
    }
  }
  return total ? static_cast<double>(same) / (picture.width * picture.height) : 0.0;
}

RECT WindowRect(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return r;
}

RECT ClientRectOnScreen(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  OffsetRect(&r, origin.x, origin.y);
  return r;
}

bool Shoot(HWND window, const std::string& folder, const char* name) {
  Sleep(kSettleMs);
  std::string path = folder + "\\" + name + ".bmp";
  if (!SaveBmp(Capture(WindowRect(window)), path)) return false;
  printf("player: %s.bmp saved\n", name);
  return true;
}

HWND FindButton(HWND dialog, const char* text) {
  for (const DrvControl& c : DrvListControls(dialog)) {
    if (c.className == "Button" && c.text == text) return c.hwnd;
  }
  return nullptr;
}

// The top-level dialog of the process whose message contains the text.
HWND WaitBoxSaying(const DrvProcess& p, const char* text) {
  HWND found = nullptr;
  DrvWaitFor(
      [&] {
        for (HWND w : DrvTopWindows(p)) {
          if (DrvClassName(w) == "#32770" && DrvBoxMessage(w).find(text) != std::string::npos) {
            found = w;
            return true;
          }
        }
        return false;
      },
      kWaitMs);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: player UPDATE.exe SHOTS_FOLDER TITLE.bmp\n");
    return 2;
  }
  std::string update = argv[1];
  std::string shots = argv[2];
  Picture title;
  if (!LoadBmp(argv[3], &title)) return Fail("cannot read the title picture");

  DrvProcess p;
  DrvGuard guard{&p};
  if (!DrvStart(&p, update)) return Fail("cannot start the update");

  // The main menu, with its title picture where the menu centres it: in a
  // square of the client height's side at the left edge.
  HWND menu = nullptr;
  DrvWaitFor(
      [&] {
        for (HWND w : DrvTopWindows(p)) {
          if (DrvClassName(w) == "#32770" &&
              DrvWindowText(w).find("アップデータ") != std::string::npos) {
            menu = w;
            return true;
          }
        }
        return false;
      },
      kWaitMs);
  if (!menu) return Fail("no main menu");
  printf("player: main menu \"%s\"\n", DrvUtf8(DrvWindowText(menu)).c_str());
  if (!Shoot(menu, shots, "1-main-menu")) return Fail("cannot save the menu");
  RECT clientRect = ClientRectOnScreen(menu);
  Picture client = Capture(clientRect);
  int ox = (client.height - title.width) / 2;
  int oy = (client.height - title.height) / 2;
  double here = MatchAt(client, title, ox, oy);
  double left = MatchAt(client, title, ox - 1, oy);
  double right = MatchAt(client, title, ox + 1, oy);
  printf(
      "player: client %d x %d; title picture at (%d, %d): %.1f%% of its pixels match "
      "(%.1f%% one pixel left, %.1f%% one pixel right)\n",
      client.width, client.height, ox, oy, 100 * here, 100 * left, 100 * right);
  if (here < 0.98 || left >= here || right >= here)
    return Fail("the title picture is not where it belongs");

  HWND update_button = FindButton(menu, "アップデート");
  if (!update_button) return Fail("no アップデート button");
  DrvClick(menu, GetDlgCtrlID(update_button));

  HWND confirm = WaitBoxSaying(p, "をアップデートします");
  if (!confirm) return Fail("no confirmation");
  printf("player: confirmation \"%s\"\n", DrvUtf8(DrvBoxMessage(confirm)).c_str());
  if (!Shoot(confirm, shots, "2-confirmation")) return Fail("cannot save the confirmation");
  DrvClick(confirm, IDYES);

  // The copy progress window: held still for its picture once its label and
  // both bars show the copy under way.
  HWND progress = DrvWaitWindow(p, "#32770", "ファイルのコピー中...", kWaitMs);
  if (!progress) return Fail("no progress window");
  DrvWaitFor(
      [&] {
        return !DrvFindControl(progress, 1012).text.empty() &&
               DrvFindControl(progress, 1019).position > 0 &&
               DrvFindControl(progress, 1010).position > 0;
      },
      kWaitMs);
  printf("player: copying \"%s\"\n", DrvUtf8(DrvFindControl(progress, 1012).text).c_str());
  HANDLE thread =
      OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(progress, nullptr));
  if (!thread) return Fail("cannot hold the updater");
  Sleep(300);  // the last drawing reaches the display
  // Held, the updater answers no messages: nothing here may ask it anything.
  SuspendThread(thread);
  bool saved = Shoot(progress, shots, "3-progress");
  ResumeThread(thread);
  CloseHandle(thread);
  if (!saved) return Fail("cannot save the progress window");

  HWND done = DrvWaitWindow(p, "#32770", "インストール終了", kWaitMs);
  if (!done) return Fail("no completion dialog");
  DrvControl runGame = DrvFindControl(done, 1009);
  printf("player: completion dialog, \"%s\" %s\n", DrvUtf8(runGame.text).c_str(),
         runGame.checked ? "checked" : "not checked");
  if (!runGame.checked) return Fail("ゲームの実行 is not checked");
  if (!Shoot(done, shots, "4-completion")) return Fail("cannot save the completion dialog");
  DrvClick(done, IDOK);

  int code = 0xBAD;
  if (!DrvWaitExit(&p, &code, kWaitMs)) return Fail("the updater did not end");
  printf("player: the updater ended with exit code %d\n", code);
  return code == 0 ? 0 : 1;
}
