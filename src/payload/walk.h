// The extraction's walk over the entries, in full or start-up mode, with
// the platform's work (folders, files) behind callbacks.
#pragma once

#include <cstdint>
#include <cstdio>

#include "payload/entry.h"
#include "support/sjis.h"

struct PayloadWalkOps {
  void* context;
  LeadByteFn isLead;
  // A folder entry: create the folder; an existing one is fine and the
  // result is not looked at.
  void (*makeFolder)(void* context, const char* path);
  // A file entry, the stream at its time stamp: write the file at path.
  // `position` is the payload position after the entry's header. 0 on
  // success, non-zero on failure.
  int (*extractFile)(void* context, FILE* stream, const PayloadEntry& entry, const char* path,
                     uint32_t position);
  // A delta entry (full mode), the stream at its time stamp, as extractFile.
  // Null: a delta entry fails the walk.
  int (*applyDelta)(void* context, FILE* stream, const PayloadEntry& entry, const char* path,
                    uint32_t position);
};

// Walks the payload from the stream's position (the first entry) with
// `length` payload bytes (PayloadLocation::length). Full mode
// (kPayloadFullMode) creates every folder and writes every file below the
// destination; start-up mode (kPayloadStartupMode) writes only what
// PayloadStartupSelect picks and ends quietly at a sub-folder entry; it
// passes over delta entries, which are never start-up files.
// Each output path is "destination\name" and must fit 260 bytes; an empty
// destination is a failure.
//
// Returns 0 when the walk ended normally, -1 on any failure: a corrupt
// header or unsafe name, an output path that does not fit, a failed file.
// `reason`, when given, receives a short English text on failure.
int PayloadWalk(FILE* stream, uint32_t length, const char* destination, int mode,
                const PayloadWalkOps& ops, const char** reason = nullptr);

// Reads every entry header from the stream's position without inflating
// anything (the data are skipped) and checks what the full walk would:
// every header, every name, and that every output path "destination\name"
// fits 260 bytes (not checked when destination is null; an empty one fails).
// Delta entries are read as such. A visitor, when given, is shown every
// file entry in order (`file`, may be null) and each delta entry (`delta`,
// with the stream at its time stamp, free to read from there, so that its
// base can be checked before anything is written).
// The stream goes back to where it was. 0, or -1 with `reason` when given
// (a delta visitor's failure gives "delta base does not match").
struct PayloadScanVisitor {
  void* context;
  // path: "destination\name", or the entry's name without a destination.
  // 0 to go on.
  int (*delta)(void* context, FILE* stream, const PayloadEntry& entry, const char* path);
  void (*file)(void* context, const PayloadEntry& entry, const char* path);
};
int PayloadScan(FILE* stream, uint32_t length, const char* destination, LeadByteFn isLead,
                const char** reason = nullptr, const PayloadScanVisitor* visitor = nullptr);
