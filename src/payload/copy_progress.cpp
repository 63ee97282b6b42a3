#include "payload/copy_progress.h"

#include <commctrl.h>

#include "payload/format.h"
#include "resources/copy_progress_ids.h"
#include "support/main_window.h"
#include "support/system_dll.h"

namespace {

HWND g_window = nullptr;
HWND g_animation = nullptr;
bool g_held = false;  // the path and the bars paint only in frames
uint32_t g_payloadTotal = 0;

// The dialog's bars and animation need their window classes. The common
// controls library registers them on request; doing it here, once, keeps the
// window working whichever version of the library the system provides.
void RegisterProgressClasses() {
  static bool done = false;
  if (done) return;
  done = SystemDllInitCommonControls(ICC_PROGRESS_CLASS | ICC_ANIMATE_CLASS) == 0;
}

void SetBar(HWND dialog, int id, uint32_t upper) {
  SendDlgItemMessageA(dialog, id, PBM_SETRANGE, 0, MAKELPARAM(0, upper & 0xFFFF));
  SendDlgItemMessageA(dialog, id, PBM_SETPOS, 0, 0);
}

const int kFramedControls[] = {IDC_COPY_FILE_NAME, IDC_COPY_FILE_BAR, IDC_COPY_TOTAL_BAR};

// A bar update repaints the bar at once and costs more than inflating a
// chunk on some systems, while nobody sees a change faster than this. The
// bars move at most this often, and always at a file's last chunk; while the
// window holds its painting, what changed is painted as one frame this often.
constexpr DWORD kBarIntervalMs = 40;

unsigned long SystemClock() { return GetTickCount(); }
unsigned long (*g_clock)() = SystemClock;

// What the bars of one window show now, so that unchanged positions are not
// sent again.
struct BarState {
  HWND window;
  DWORD lastTick;
  bool updated;  // lastTick is valid
  uint32_t fileRange;
  uint32_t file;
  uint32_t total;
};
BarState g_bars = {nullptr, 0, false, 1, 0, 0};

// A new window's bars stand at 0, the file bar's range 0 to 1.
void FollowWindow(HWND window) {
  if (g_bars.window != window) g_bars = BarState{window, 0, false, 1, 0, 0};
}

}  // namespace

void CopyProgressSetClock(unsigned long (*clock)()) { g_clock = clock ? clock : SystemClock; }

void CopyProgressFileStart(HWND window, const char* path, uint32_t size) {
  if (!window) return;
  SetDlgItemTextA(window, IDC_COPY_FILE_NAME, path);
  FollowWindow(window);
  uint32_t range = (size / kPayloadChunkSize) & 0xFFFF;
  if (range != g_bars.fileRange) {
    SendDlgItemMessageA(window, IDC_COPY_FILE_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, range));
    g_bars.fileRange = range;
  }
  if (g_bars.file != 0) {
    SendDlgItemMessageA(window, IDC_COPY_FILE_BAR, PBM_SETPOS, 0, 0);
    g_bars.file = 0;
  }
}

void CopyProgressChunk(HWND window, uint32_t size, uint32_t written, uint32_t position) {
  if (window) {
    FollowWindow(window);
    DWORD now = g_clock();
    bool last = written >= size;
    bool frame = !g_bars.updated || now - g_bars.lastTick >= kBarIntervalMs;
    if (last || frame) {
      uint32_t file = written / kPayloadChunkSize;
      uint32_t total = position / kPayloadChunkSize;
      if (file != g_bars.file) {
        SendDlgItemMessageA(window, IDC_COPY_FILE_BAR, PBM_SETPOS, file, 0);
        g_bars.file = file;
      }
      if (total != g_bars.total) {
        SendDlgItemMessageA(window, IDC_COPY_TOTAL_BAR, PBM_SETPOS, total, 0);
        g_bars.total = total;
      }
    }
    if (frame) {
      CopyProgressShowFrame(window);
      g_bars.lastTick = now;
      g_bars.updated = true;
    }
  }
  // Messages are pumped after every chunk whatever the bars do, so the
  // windows stay alive.
  PumpMessages();
}

void CopyProgressHold(HWND window) {
  if (!window || window != g_window) return;
  g_held = true;
  for (int id : kFramedControls) SendDlgItemMessageA(window, id, WM_SETREDRAW, FALSE, 0);
}

void CopyProgressShowFrame(HWND window) {
  if (!window || window != g_window || !g_held) return;
  for (int id : kFramedControls) {
    HWND control = GetDlgItem(window, id);
    SendMessageA(control, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    SendMessageA(control, WM_SETREDRAW, FALSE, 0);
  }
}

HWND OpenCopyProgress(uint32_t payloadLength) {
  g_payloadTotal = payloadLength;
  CloseCopyProgress();
  RegisterProgressClasses();
  HWND owner = MainWindow();
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
  g_window = CreateDialogParamA(instance, "COPYINGDELUX", owner, CopyProgressProc, 0);
  if (!g_window) return nullptr;
  PumpMessages();
  uint32_t chunks = g_payloadTotal / kPayloadChunkSize;
  SetBar(g_window, IDC_COPY_TOTAL_BAR, chunks > 1 ? chunks : 1);
  PumpMessages();
  return g_window;
}

int CloseCopyProgress() {
  if (!g_window) return 1;
  DestroyWindow(g_window);
  g_window = nullptr;
  g_held = false;
  g_bars.window = nullptr;  // a later window may get the same handle
  g_animation = nullptr;
  PumpMessages();
  return 0;
}

INT_PTR CALLBACK CopyProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CenterWindow(dialog);
      SetDlgItemTextA(dialog, IDC_COPY_FILE_NAME, "");
      SetBar(dialog, IDC_COPY_FILE_BAR, 1);
      SetBar(dialog, IDC_COPY_TOTAL_BAR, 1);
      g_animation = GetDlgItem(dialog, IDC_COPY_ANIMATION);
      // Instance 0: the control loads the clip from the module that made it.
      SendMessageA(g_animation, ACM_OPENA, 0, reinterpret_cast<LPARAM>("AVI_FILECOPY"));
      SendMessageA(g_animation, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF));
      ShowWindow(g_animation, SW_SHOW);
      return TRUE;
    case WM_COMMAND:
      // Cancel stops the animation and nothing else: the copy runs on.
      if (wParam == IDCANCEL) SendMessageA(g_animation, ACM_STOP, 0, 0);
      return FALSE;
    default:
      return FALSE;
  }
}
