#include "support/alloc_or_exit.h"

#include <windows.h>

#include <cstdlib>

void* AllocOrExit(size_t size) {
  void* block = malloc(size ? size : 1);  // malloc(0) may rightly give null
  if (!block) {
    MessageBoxA(nullptr, "メモリ容量が不足しています。処理を中断します。", "malloc",
                MB_OK | MB_ICONERROR);
    exit(-1);
  }
  return block;
}
