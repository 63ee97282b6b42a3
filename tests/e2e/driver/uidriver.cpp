#include "e2e/driver/uidriver.h"

#include <commctrl.h>

#include <cstdio>

namespace {

struct EnumContext {
  DWORD pid;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectTopWindow(HWND window, LPARAM param) {
  EnumContext* context = reinterpret_cast<EnumContext*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == context->pid && IsWindowVisible(window)) context->windows.push_back(window);
  return TRUE;
}

bool IsProgressBar(const std::string& className) {
  return _stricmp(className.c_str(), PROGRESS_CLASSA) == 0;
}

bool IsButton(const std::string& className) { return _stricmp(className.c_str(), "Button") == 0; }

}  // namespace

std::string DrvProgramFolder() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, n);
  size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

bool DrvStart(DrvProcess* p, const std::string& program, const std::string& args,
              const char* folder) {
  std::string path = program;
  if (path.find_first_of("\\/:") == std::string::npos) path = DrvProgramFolder() + program;
  std::string commandLine = "\"" + path + "\"";
  if (!args.empty()) commandLine += " " + args;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  std::vector<char> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back('\0');
  if (!CreateProcessA(path.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, folder,
                      &startup, &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  p->process = info.hProcess;
  p->pid = info.dwProcessId;
  return true;
}

std::vector<HWND> DrvTopWindows(const DrvProcess& p) {
  EnumContext context = {p.pid, {}};
  EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&context));
  return context.windows;
}

std::string DrvWindowText(HWND window) {
  char text[4096];
  // WM_GETTEXT works across processes for any window class. A window whose
  // thread stops answering is named in the log, and then waited for, so
  // that the time limit of the run finds that thread where it stopped.
  DWORD_PTR n = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                           SMTO_BLOCK, 60000, &n) &&
      GetLastError() == ERROR_TIMEOUT) {
    DWORD pid = 0;
    DWORD thread = GetWindowThreadProcessId(window, &pid);
    fprintf(stderr, "uidriver: window %p (%s) of process %04lx, thread %04lx, does not answer\n",
            static_cast<void*>(window), DrvClassName(window).c_str(), pid, thread);
    fflush(stderr);
    n = static_cast<DWORD_PTR>(
        SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text)));
  }
  return std::string(text, static_cast<LRESULT>(n) > 0 ? n : 0);
}

std::string DrvClassName(HWND window) {
  char name[256];
  int n = GetClassNameA(window, name, sizeof name);
  return std::string(name, n > 0 ? static_cast<size_t>(n) : 0);
}

HWND DrvWaitWindow(const DrvProcess& p, const char* className, const char* title, int timeoutMs) {
  HWND found = nullptr;
  DrvWaitFor(
      [&] {
        for (HWND w : DrvTopWindows(p)) {
          if (className && DrvClassName(w) != className) continue;
          if (title && DrvWindowText(w) != title) continue;
          found = w;
          return true;
        }
        return false;
      },
      timeoutMs);
  return found;
}

HWND DrvWaitBox(const DrvProcess& p, int timeoutMs) {
  return DrvWaitWindow(p, "#32770", nullptr, timeoutMs);
}

HWND DrvWaitDialogWith(const DrvProcess& p, HWND except, int controlId, int timeoutMs) {
  HWND found = nullptr;
  DrvWaitFor(
      [&] {
        for (HWND w : DrvTopWindows(p)) {
          if (w != except && DrvClassName(w) == "#32770" && GetDlgItem(w, controlId)) found = w;
        }
        return found != nullptr;
      },
      timeoutMs);
  return found;
}

std::vector<DrvControl> DrvListControls(HWND window) {
  std::vector<DrvControl> controls;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    DrvControl c;
    c.hwnd = child;
    c.id = GetDlgCtrlID(child);
    c.className = DrvClassName(child);
    c.text = DrvWindowText(child);
    c.visible = IsWindowVisible(child) != FALSE;
    if (IsButton(c.className)) c.checked = static_cast<int>(SendMessageA(child, BM_GETCHECK, 0, 0));
    if (IsProgressBar(c.className)) {
      c.rangeLow = static_cast<int>(SendMessageA(child, PBM_GETRANGE, TRUE, 0));
      c.rangeHigh = static_cast<int>(SendMessageA(child, PBM_GETRANGE, FALSE, 0));
      c.position = static_cast<int>(SendMessageA(child, PBM_GETPOS, 0, 0));
    }
    controls.push_back(c);
  }
  return controls;
}

DrvControl DrvFindControl(HWND window, int id) {
  for (const DrvControl& c : DrvListControls(window)) {
    if (c.id == id) return c;
  }
  return DrvControl();
}

std::string DrvBoxMessage(HWND box) {
  // The message is the static control with the id 0xFFFF.
  HWND text = GetDlgItem(box, 0xFFFF);
  return text ? DrvWindowText(text) : std::string();
}

bool DrvClick(HWND window, int id) {
  HWND button = GetDlgItem(window, id);
  if (!button) return false;
  return PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(button)) != FALSE;
}

bool DrvType(HWND window, int id, const std::string& text) {
  HWND edit = GetDlgItem(window, id);
  if (!edit) return false;
  return SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) != FALSE;
}

bool DrvClose(HWND window) { return PostMessageA(window, WM_CLOSE, 0, 0) != FALSE; }

bool DrvKey(HWND window, int virtualKey) {
  if (!PostMessageA(window, WM_KEYDOWN, virtualKey, 1)) return false;
  // The key down may already have closed the window (Enter on a dialog that
  // then ends): nobody is left for the key up, and that is no failure.
  PostMessageA(window, WM_KEYUP, virtualKey, 0xC0000001);
  return true;
}

bool DrvAnswerBox(const DrvProcess& p, int buttonId, std::string* caption, std::string* message,
                  int timeoutMs) {
  HWND box = DrvWaitBox(p, timeoutMs);
  if (!box) return false;
  if (caption) *caption = DrvWindowText(box);
  if (message) *message = DrvBoxMessage(box);
  if (!DrvClick(box, buttonId)) return false;
  return DrvWaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, timeoutMs);
}

std::string DrvReadClipboard() {
  std::string text;
  for (int attempt = 0; attempt < 50 && !OpenClipboard(nullptr); ++attempt) Sleep(20);
  HANDLE data = GetClipboardData(CF_TEXT);
  if (data) {
    const char* p = static_cast<const char*>(GlobalLock(data));
    if (p) text = p;
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

bool DrvWaitExit(DrvProcess* p, int* exitCode, int timeoutMs) {
  if (!p->process) return false;
  if (WaitForSingleObject(p->process, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
    DrvKill(p);
    return false;
  }
  DWORD code = 0;
  GetExitCodeProcess(p->process, &code);
  *exitCode = static_cast<int>(code);
  CloseHandle(p->process);
  p->process = nullptr;
  return true;
}

void DrvKill(DrvProcess* p) {
  if (!p->process) return;
  TerminateProcess(p->process, 0xDEAD);
  WaitForSingleObject(p->process, 5000);
  CloseHandle(p->process);
  p->process = nullptr;
}

std::string DrvUtf8(const std::string& ansi) {
  int wide = MultiByteToWideChar(932, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(932, 0, ansi.data(), static_cast<int>(ansi.size()), &w[0], wide);
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, &out[0], n, nullptr, nullptr);
  return out;
}

bool DrvSync(HWND window, int timeoutMs) {
  // A sent message goes before posted ones when the thread reads its queue,
  // so one round trip proves only that it reads it; posted messages go one
  // per read. A few round trips let what was posted before be dispatched.
  for (int i = 0; i < 4; ++i) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result)) {
      return false;
    }
  }
  return true;
}
