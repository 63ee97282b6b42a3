// A small GUI program that calls the support services as the updater does,
// one scenario per run, for the end-to-end tests to drive:
//   support_app SCENARIO
// It ends with an exit code that tells the test how far it got.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/alloc_or_exit.h"
#include "support/fflayer.h"
#include "support/main_window.h"
#include "support/message_box.h"

namespace {

const char kMainTitle[] = "テスト用メイン画面";

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_APP) exit(99);  // must never be dispatched behind a WM_QUIT
  return DefWindowProcA(window, message, w, l);
}

HWND MakeMainWindow(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = MainProc;
  wc.hInstance = instance;
  wc.lpszClassName = "SupportAppMain";
  RegisterClassA(&wc);
  HWND window = CreateWindowA("SupportAppMain", kMainTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                              10, 300, 200, nullptr, nullptr, instance, nullptr);
  SetMainWindow(window);
  return window;
}

int Run(const std::string& scenario, HINSTANCE instance) {
  if (scenario == "retry") {
    ErrorRetryBox("再試行しますか[%s]", "abc");
    return 5;  // Retry returns to the caller
  }
  if (scenario == "errorbox") {
    ErrorBox("エラーが起きました[%s]", "表示");
    return 3;
  }
  if (scenario == "ask") return 10 + AskYesNo("[%s]をアップデートします", "ゲーム");
  if (scenario == "owned") {
    MakeMainWindow(instance);
    ErrorBox("所有者付き");
    return 4;
  }
  if (scenario == "long") {
    // 1500 bytes: ASCII up to byte 1022, then double-byte characters, so the
    // cut at 1023 bytes falls inside a character.
    std::string text(1021, 'a');
    for (int i = 0; i < 240; ++i) text += "表";
    ErrorBox("%s", text.c_str());
    return 6;
  }
  if (scenario == "quit") {
    HWND window = MakeMainWindow(instance);
    PostMessageA(window, WM_QUIT, 42, 0);
    PostMessageA(window, WM_APP, 0, 0);
    PumpMessages();
    return 7;  // not reached: the quit message ends the program
  }
  if (scenario == "pump-empty") {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    return 100 + PumpMessages();
  }
  if (scenario == "alloc") {
    void* block = AllocOrExit(SIZE_MAX - 4096);  // more than any address space holds
    return block ? 8 : 9;
  }
  if (scenario == "center") {
    HWND window = MakeMainWindow(instance);
    SetWindowPos(window, nullptr, 0, 0, 301, 203, SWP_NOZORDER);
    CenterWindow(window);
    ErrorBox("centred");  // keeps the window up while the test measures it
    return 11;
  }
  if (scenario == "ffopen") {
    FfsetDirectOpen(1);
    FILE* f = Ffopen("missing.dat", "rb");
    char c = 0;
    size_t n = fread(&c, 1, 1, f);
    fclose(f);
    return (n == 1 && c == 'Z') ? 12 : 13;
  }
  return 2;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  return Run(commandLine, instance);
}
