// A stand-in updater for the end-to-end tests: it runs the payload
// extraction on its own executable (the test appends a payload to a copy of
// it) with a main window, as the updater does.
//
//   payload_demo full|startup DEST [step]
//   payload_demo reopen
//
// "step" holds the program at the first message pump after each file's path
// appears in the progress window, until the test posts kDemoRelease; while held
// the windows keep working, and the main window's title says "held N".
// kDemoProbe asks whether the animation is moving; the answer is added to
// the title with the probe's number ("held N probe K moving" or "... still"). "reopen" opens the
// progress window twice, holding after each.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "e2e/payload/demo_protocol.h"
#include "payload/copy_progress.h"
#include "payload/extract.h"
#include "payload/format.h"
#include "resources/copy_progress_ids.h"
#include "startup/workfolder.h"
#include "support/main_window.h"
#include "win/payload/win_payload_fixture.h"

namespace {

HWND g_main = nullptr;
HWND g_dialog = nullptr;
int g_holds = 0;
int g_probes = 0;

void SetTitle(const std::string& text) { SetWindowTextA(g_main, text.c_str()); }

const char* ProbeAnimation() {
  HWND animation = g_dialog ? GetDlgItem(g_dialog, IDC_COPY_ANIMATION) : nullptr;
  if (!animation) return "none";
  std::vector<uint32_t> first = CaptureFrame(animation);
  return FrameChangesWithin(animation, first, 800) ? "moving" : "still";
}

// Runs the messages of every window until the test releases the hold.
void Hold() {
  std::string held = "held " + std::to_string(++g_holds);
  SetTitle(held);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd == g_main && msg.message == kDemoRelease) break;
    if (msg.hwnd == g_main && msg.message == kDemoProbe) {
      const char* answer = ProbeAnimation();
      SetTitle(held + " probe " + std::to_string(++g_probes) + " " + answer);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  SetTitle("running");
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kDemoHold) {
    Hold();
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Sees every path the extraction puts into the progress window's label.
LRESULT CALLBACK LabelHook(int code, WPARAM wParam, LPARAM lParam) {
  const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call->message == WM_SETTEXT &&
      GetDlgCtrlID(call->hwnd) == IDC_COPY_FILE_NAME && call->lParam &&
      reinterpret_cast<const char*>(call->lParam)[0] != '\0') {
    g_dialog = GetParent(call->hwnd);
    PostMessageA(g_main, kDemoHold, 0, 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  std::string mode = __argc > 1 ? __argv[1] : "";
  std::string destination = __argc > 2 ? __argv[2] : "";
  bool step = __argc > 3 && strcmp(__argv[3], "step") == 0;

  CreateWorkFolder();
  WNDCLASSA wc = {};
  wc.lpfnWndProc = MainProc;
  wc.hInstance = instance;
  wc.lpszClassName = kDemoClass;
  RegisterClassA(&wc);
  g_main = CreateWindowExA(0, kDemoClass, kDemoTitle, WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                           nullptr, instance, nullptr);
  SetMainWindow(g_main);

  if (mode == "reopen") {
    g_dialog = OpenCopyProgress(100);
    Hold();
    g_dialog = OpenCopyProgress(200);
    Hold();
    CloseCopyProgress();
  } else {
    if (step) SetWindowsHookExA(WH_CALLWNDPROC, LabelHook, nullptr, GetCurrentThreadId());
    ExtractPayload(destination.c_str(), mode == "startup" ? kPayloadStartupMode : kPayloadFullMode);
  }
  RemoveWorkFolder();
  return 0;
}
