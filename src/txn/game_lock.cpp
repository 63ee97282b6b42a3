#include "txn/game_lock.h"

#include <windows.h>

#include "support/ansi.h"
#include "txn/txn_names.h"

bool GameLockAcquire(const char* folder) {
  char name[64];
  TxnLockName(name, sizeof name, folder, AnsiIsLeadByte);
  HANDLE mutex = CreateMutexA(nullptr, TRUE, name);
  if (!mutex) return false;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    // Another update holds it; one that ended without letting it go leaves
    // it abandoned, and then it is ours.
    DWORD wait = WaitForSingleObject(mutex, 0);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
      CloseHandle(mutex);
      return false;
    }
  }
  // Held and left open until the process ends.
  return true;
}
