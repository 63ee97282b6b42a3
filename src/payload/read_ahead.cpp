#include "payload/read_ahead.h"

#include <windows.h>

#include <process.h>

#include <cstring>

#include "payload/delta_base.h"
#include "payload/delta_source.h"
#include "payload/inflate_entry.h"
#include "payload/walk.h"
#include "support/alloc_or_exit.h"
#include "support/ansi.h"

namespace {

// Sixteen chunks ahead keep the reader busy while a file is created, and
// cost 2 MiB.
constexpr int kSlots = 16;
constexpr DWORD kIdleMs = 20;

struct Slot {
  ReadAheadEvent event;
  unsigned char* buffer;  // kPayloadChunkSize bytes, the chunk's data
};

struct Ring {
  CRITICAL_SECTION lock;
  CONDITION_VARIABLE filled;  // a slot was published
  CONDITION_VARIABLE freed;   // a slot was given back, or the caller gave up
  Slot slots[kSlots];
  int head;   // the caller's next slot
  int count;  // published slots not yet given back
  bool stop;  // the caller gave up: the reader ends at its next step
  HANDLE thread;
  // The reader's own state.
  FILE* stream;
  uint32_t length;
  const char* destination;
  int tail;  // the reader's next slot
  unsigned char* in;
  unsigned char* out;
};
Ring g_ring;
bool g_ready = false;

// The reader: a free slot at the tail, or null when the caller gave up. It
// is the caller's once published.
Slot* Reserve() {
  EnterCriticalSection(&g_ring.lock);
  while (g_ring.count == kSlots && !g_ring.stop) {
    SleepConditionVariableCS(&g_ring.freed, &g_ring.lock, INFINITE);
  }
  bool stop = g_ring.stop;
  LeaveCriticalSection(&g_ring.lock);
  if (stop) return nullptr;
  return &g_ring.slots[g_ring.tail];
}

void Publish() {
  EnterCriticalSection(&g_ring.lock);
  g_ring.tail = (g_ring.tail + 1) % kSlots;
  g_ring.count++;
  WakeConditionVariable(&g_ring.filled);
  LeaveCriticalSection(&g_ring.lock);
}

// Publishes a slot without data; false when the caller gave up.
bool Send(int kind, const char* path, uint32_t size, uint64_t stamp, int result) {
  Slot* slot = Reserve();
  if (!slot) return false;
  ReadAheadEvent& e = slot->event;
  e.kind = kind;
  e.path[0] = '\0';
  if (path) {
    strncpy(e.path, path, sizeof e.path - 1);
    e.path[sizeof e.path - 1] = '\0';
  }
  e.size = size;
  e.stamp = stamp;
  e.data = nullptr;
  e.length = 0;
  e.result = result;
  Publish();
  return true;
}

void SendFolder(void*, const char* path) { Send(kAheadFolder, path, 0, 0, 0); }

// A chunk is copied into its slot here and published by ChunkDone, which
// the inflater calls after every write with the progress figures.
int CopyChunk(void*, const unsigned char* data, uint32_t size) {
  Slot* slot = Reserve();
  if (!slot) return 1;
  memcpy(slot->buffer, data, size);
  ReadAheadEvent& e = slot->event;
  e.kind = kAheadChunk;
  e.data = slot->buffer;
  e.length = size;
  return 0;
}

void ChunkDone(void*, uint32_t written, uint32_t position) {
  ReadAheadEvent& e = g_ring.slots[g_ring.tail].event;
  e.written = written;
  e.position = position;
  Publish();
}

int ReadEntry(void*, FILE* stream, const PayloadEntry& entry, const char* path, uint32_t position) {
  uint64_t stamp = 0;
  if (PayloadReadTimeStamp(stream, &stamp) != 0) return 1;
  if (!Send(kAheadFileBegin, path, entry.size, stamp, 0)) return 1;
  PayloadSink sink{nullptr, CopyChunk, ChunkDone};
  uint32_t written = 0;
  int result = PayloadInflateEntry(stream, entry.packedSize, position + kPayloadTimeStampBytes,
                                   g_ring.in, g_ring.out, sink, &written);
  if (!Send(kAheadFileEnd, nullptr, 0, 0, result)) return 1;
  return result;
}

// A delta entry, applied here like a stream inflated: the caller stages
// its chunks as any file's. The base is the game's file at path, still in
// place (staged files replace the game's only at the end); the delta is
// read from the payload by offset. The stream ends after the entry.
int ApplyEntry(void*, FILE* stream, const PayloadEntry& entry, const char* path,
               uint32_t position) {
  uint64_t stamp = 0;
  DeltaHeader header;
  int64_t start = 0;
  if (DeltaEntryBegin(stream, entry.packedSize, &stamp, &header, &start) != kDeltaOk) return 1;
  DeltaBase base;
  if (DeltaBaseOpen(&base, path) != 0) return 1;
  int result = 1;
  if (Send(kAheadFileBegin, path, header.newSize, stamp, 0)) {
    DeltaSource source;
    DeltaSourceOnStdio(&source, stream, start, entry.packedSize);
    PayloadSink sink{nullptr, CopyChunk, ChunkDone};
    uint32_t written = 0;
    int applied = DeltaApply(header, DeltaSourceReader(&source), DeltaBaseReader(&base), base.size,
                             sink, position + kPayloadTimeStampBytes, &written);
    result = applied == kDeltaOk ? 0 : 1;
    if (!Send(kAheadFileEnd, nullptr, 0, 0, result)) result = 1;
  }
  DeltaBaseClose(&base);
  if (result == 0 && _fseeki64(stream, start + entry.packedSize, SEEK_SET) != 0) result = 1;
  return result;
}

unsigned __stdcall Reader(void*) {
  PayloadWalkOps ops{nullptr, AnsiIsLeadByte, SendFolder, ReadEntry, ApplyEntry};
  int result = PayloadWalk(g_ring.stream, g_ring.length, g_ring.destination, kPayloadFullMode, ops);
  Send(kAheadWalkEnd, nullptr, 0, 0, result);
  return 0;
}

void Setup() {
  if (g_ready) return;
  InitializeCriticalSection(&g_ring.lock);
  InitializeConditionVariable(&g_ring.filled);
  InitializeConditionVariable(&g_ring.freed);
  for (Slot& slot : g_ring.slots) {
    slot.buffer = static_cast<unsigned char*>(AllocOrExit(kPayloadChunkSize));
  }
  g_ring.in = static_cast<unsigned char*>(AllocOrExit(kPayloadChunkSize));
  g_ring.out = static_cast<unsigned char*>(AllocOrExit(kPayloadChunkSize));
  g_ready = true;
}

}  // namespace

bool ReadAheadStart(FILE* stream, uint32_t length, const char* destination) {
  Setup();
  g_ring.head = 0;
  g_ring.tail = 0;
  g_ring.count = 0;
  g_ring.stop = false;
  g_ring.stream = stream;
  g_ring.length = length;
  g_ring.destination = destination;
  uintptr_t thread = _beginthreadex(nullptr, 0, Reader, nullptr, 0, nullptr);
  g_ring.thread = reinterpret_cast<HANDLE>(thread);
  return thread != 0;
}

const ReadAheadEvent* ReadAheadNext(void (*idle)()) {
  if (!g_ring.thread) return nullptr;
  EnterCriticalSection(&g_ring.lock);
  // The reader's last event is always its walk end, unless the caller gave
  // up first and asks no more.
  while (g_ring.count == 0) {
    if (!SleepConditionVariableCS(&g_ring.filled, &g_ring.lock, kIdleMs) && idle) {
      LeaveCriticalSection(&g_ring.lock);
      idle();
      EnterCriticalSection(&g_ring.lock);
    }
  }
  const ReadAheadEvent* event = &g_ring.slots[g_ring.head].event;
  LeaveCriticalSection(&g_ring.lock);
  return event;
}

void ReadAheadRelease() {
  EnterCriticalSection(&g_ring.lock);
  if (g_ring.count > 0) {
    g_ring.head = (g_ring.head + 1) % kSlots;
    g_ring.count--;
    WakeConditionVariable(&g_ring.freed);
  }
  LeaveCriticalSection(&g_ring.lock);
}

void ReadAheadStop() {
  if (!g_ring.thread) return;
  EnterCriticalSection(&g_ring.lock);
  g_ring.stop = true;
  WakeConditionVariable(&g_ring.freed);
  LeaveCriticalSection(&g_ring.lock);
  WaitForSingleObject(g_ring.thread, INFINITE);
  CloseHandle(g_ring.thread);
  g_ring.thread = nullptr;
}
