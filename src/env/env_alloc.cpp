#include "env/env_alloc.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void* MallocOrAbort(size_t size) {
  void* block = malloc(size ? size : 1);
  if (!block) {
    fputs("out of memory\n", stderr);
    abort();
  }
  return block;
}

EnvAllocFn g_alloc = MallocOrAbort;

}  // namespace

void EnvSetAllocator(EnvAllocFn alloc) { g_alloc = alloc ? alloc : MallocOrAbort; }

void* EnvAlloc(size_t size) {
  void* block = g_alloc(size);
  if (!block) return MallocOrAbort(size);  // an installed routine must not fail quietly
  return block;
}

char* EnvCopyText(const char* text, size_t length) {
  char* copy = static_cast<char*>(EnvAlloc(length + 1));
  memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}
