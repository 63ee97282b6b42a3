// The payload's walk and inflation on a thread of their own, running ahead of
// the thread that writes the files and keeps the windows alive. Inflating,
// creating files and painting the progress each take about as long as the
// others under some systems; done one after the other they add up.
//
// The reading thread walks the payload as the extraction would and hands on
// what it meets, in order, through a small ring of slots: a folder, the start
// of a file, each chunk inflated (or made by a delta: deltas are applied on
// this thread too), the end of a file, the end of the walk. The caller takes
// them one at a time (ReadAheadNext), does the work, and gives the slot back
// (ReadAheadRelease). It alone touches the disk and the windows.
#pragma once

#include <cstdint>
#include <cstdio>

#include "payload/format.h"

enum ReadAheadKind {
  kAheadFolder,     // path
  kAheadFileBegin,  // path, size, stamp
  kAheadChunk,      // data, length, written, position
  kAheadFileEnd,    // result: 0 when the file's stream inflated (or delta applied) whole
  kAheadWalkEnd,    // result: what PayloadWalk returned
};

struct ReadAheadEvent {
  int kind;
  char path[kPayloadPathMax];
  uint32_t size;
  uint64_t stamp;
  const unsigned char* data;
  uint32_t length;
  uint32_t written;   // inflated bytes of the file so far, this chunk included
  uint32_t position;  // payload position after the input read so far
  int result;
};

// Starts the reading thread on the stream (at the first entry), walking it
// in full mode. False when no thread could be started; nothing has been
// read then.
bool ReadAheadStart(FILE* stream, uint32_t length, const char* destination);

// The next event, waiting for it; while it waits, `idle` runs every few tens
// of milliseconds (messages to pump). Null only when nothing was started.
const ReadAheadEvent* ReadAheadNext(void (*idle)());

// Gives back the slot of the event ReadAheadNext returned last.
void ReadAheadRelease();

// Stops the reading thread (at once when the caller gave up; after the walk
// end otherwise) and waits for it to end. The stream is the caller's again.
void ReadAheadStop();
