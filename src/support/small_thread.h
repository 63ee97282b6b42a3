// Threads that only wait on the system and call small functions: a small
// stack each, so that many of them cost little address space in a 32-bit
// process.
#pragma once

#include <windows.h>

// Starts fn(arg) on a thread with a 64 KiB stack; its handle, or null when
// no thread could be started.
HANDLE StartSmallThread(unsigned(__stdcall* fn)(void*), void* arg);
