// A delta's base: the game's current file, opened for reading beside
// whoever else reads it, and read through Win32 with 64-bit seeks.
#pragma once

#include <windows.h>

#include "payload/delta_source.h"

struct DeltaBase {
  HANDLE file;
  uint32_t size;
  DeltaSource source;
  void (*idle)();  // run after every read (messages to pump); may be null
};

// 0, or -1 when the path names no regular file that can be read, or one of
// 2^31 bytes or more (no delta has such a base); kDeltaBaseInUse when
// another program holds it open without letting it be read.
constexpr int kDeltaBaseInUse = -2;
int DeltaBaseOpen(DeltaBase* base, const char* path, void (*idle)() = nullptr);
void DeltaBaseClose(DeltaBase* base);
DeltaReader DeltaBaseReader(DeltaBase* base);
