// Loading DLLs only from the system folder. The updater is run from download
// folders where anything may lie beside it: it imports only known DLLs (which
// Windows always takes from the system folder) and loads every other DLL
// through here, after the process has taken its own folder and the current
// folder out of the DLL search.
#pragma once

#include <windows.h>

// Restricts the process's DLL search to the system folder. Call first thing,
// before anything can load a DLL. Returns 0, or -1 when only the weaker
// fall-back (no current folder in the search) could be applied.
int SystemDllRestrictSearch();

// A function of a DLL in the system folder (name such as "winmm.dll"), or null.
FARPROC SystemDllProc(const char* dll, const char* function);

// timeGetTime from winmm.dll; GetTickCount where winmm cannot be loaded.
DWORD SystemDllTimeGetTime();

// InitCommonControlsEx from comctl32.dll for the ICC_* classes. Returns 0, or
// -1 when the library or the classes could not be had.
int SystemDllInitCommonControls(DWORD classes);
