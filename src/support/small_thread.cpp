#include "support/small_thread.h"

#include <process.h>

HANDLE StartSmallThread(unsigned(__stdcall* fn)(void*), void* arg) {
  uintptr_t thread =
      _beginthreadex(nullptr, 64 << 10, fn, arg, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  return reinterpret_cast<HANDLE>(thread);
}
