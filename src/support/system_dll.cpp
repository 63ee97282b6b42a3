#include "support/system_dll.h"

#include <commctrl.h>

#include <cstring>

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32, spelled out: older headers hide it, and a
// Windows 7 without update KB2533623 knows neither it nor SetDefaultDllDirectories.
constexpr DWORD kSearchSystem32 = 0x00000800;
bool g_restricted = false;

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

}  // namespace

int SystemDllRestrictSearch() {
  // kernel32 is mapped into every process: no search happens here.
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto setDefault = kernel ? reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
                                 GetProcAddress(kernel, "SetDefaultDllDirectories")))
                           : nullptr;
  if (setDefault && setDefault(kSearchSystem32)) {
    g_restricted = true;
    return 0;
  }
  // Takes the current folder out; the program's folder stays, so every load
  // below goes by full path.
  SetDllDirectoryA("");
  return -1;
}

FARPROC SystemDllProc(const char* dll, const char* function) {
  HMODULE module = nullptr;
  if (g_restricted) {
    module = LoadLibraryExA(dll, nullptr, kSearchSystem32);
  } else {
    char path[MAX_PATH];
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    size_t name = strlen(dll);
    if (n == 0 || n + 1 + name >= MAX_PATH) return nullptr;
    path[n] = '\\';
    memcpy(path + n + 1, dll, name + 1);
    module = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  // Loaded for the life of the process: never freed.
  return module ? GetProcAddress(module, function) : nullptr;
}

DWORD SystemDllTimeGetTime() {
  using TimeGetTimeFn = DWORD(WINAPI*)();
  static TimeGetTimeFn timeGetTime = reinterpret_cast<TimeGetTimeFn>(
      reinterpret_cast<void*>(SystemDllProc("winmm.dll", "timeGetTime")));
  return timeGetTime ? timeGetTime() : GetTickCount();
}

int SystemDllInitCommonControls(DWORD classes) {
  using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  static InitFn init = reinterpret_cast<InitFn>(
      reinterpret_cast<void*>(SystemDllProc("comctl32.dll", "InitCommonControlsEx")));
  INITCOMMONCONTROLSEX request = {sizeof request, classes};
  return init && init(&request) ? 0 : -1;
}
