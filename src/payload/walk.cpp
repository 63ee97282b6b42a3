#include "payload/walk.h"

#include "payload/names.h"

namespace {

int Failed(const char** reason, const char* text) {
  if (reason) *reason = text;
  return -1;
}

}  // namespace

int PayloadWalk(FILE* stream, uint32_t length, const char* destination, int mode,
                const PayloadWalkOps& ops, const char** reason) {
  // No folder (a temp path that could not be read, say) would join every
  // name to the drive's root: refuse before writing anything.
  if (!destination || destination[0] == '\0') return Failed(reason, "no destination folder");
  uint32_t position = 0;
  for (;;) {
    PayloadEntry entry;
    int read = PayloadReadEntry(stream, length - position, &entry, ops.isLead, reason,
                                kPayloadDeltasKnown);
    if (read == kPayloadEndReached) return 0;
    if (read != kPayloadEntryRead) return -1;
    position += PayloadHeaderBytes(entry);

    if (mode == kPayloadStartupMode) {
      PayloadStartupAction action =
          PayloadIsDelta(entry) ? kStartupSkip : PayloadStartupSelect(entry, ops.isLead);
      if (action == kStartupStop) return 0;
      if (action == kStartupSkip) {
        uint32_t skip = PayloadDataBytes(entry);
        if (skip > 0 && fseek(stream, static_cast<long>(skip), SEEK_CUR) != 0) {
          return Failed(reason, "cannot skip an entry");
        }
        position += skip;
        continue;
      }
    }

    char path[kPayloadPathMax];
    if (PayloadJoinPath(path, sizeof path, destination, entry.name) != 0) {
      return Failed(reason, "output path does not fit 260 bytes");
    }
    if (PayloadIsFolder(entry)) {
      ops.makeFolder(ops.context, path);
      continue;
    }
    if (PayloadIsDelta(entry)) {
      if (!ops.applyDelta) return Failed(reason, "delta entries are not applied here");
      if (ops.applyDelta(ops.context, stream, entry, path, position) != 0) {
        return Failed(reason, "delta could not be applied");
      }
    } else if (ops.extractFile(ops.context, stream, entry, path, position) != 0) {
      return Failed(reason, "file could not be written");
    }
    position += PayloadDataBytes(entry);
  }
}

int PayloadScan(FILE* stream, uint32_t length, const char* destination, LeadByteFn isLead,
                const char** reason, const PayloadScanVisitor* visitor) {
  if (destination && destination[0] == '\0') return Failed(reason, "no destination folder");
  long start = ftell(stream);
  if (start < 0) return Failed(reason, "cannot tell the stream's position");
  uint32_t position = 0;
  int result = 0;
  for (;;) {
    PayloadEntry entry;
    int read =
        PayloadReadEntry(stream, length - position, &entry, isLead, reason, kPayloadDeltasKnown);
    if (read == kPayloadEndReached) break;
    if (read != kPayloadEntryRead) {
      result = -1;
      break;
    }
    char path[kPayloadPathMax];
    if (destination && PayloadJoinPath(path, sizeof path, destination, entry.name) != 0) {
      result = Failed(reason, "output path does not fit 260 bytes");
      break;
    }
    position += PayloadHeaderBytes(entry);
    const char* shown = destination ? path : entry.name;
    if (visitor && visitor->file && !PayloadIsFolder(entry)) {
      visitor->file(visitor->context, entry, shown);
    }
    if (visitor && visitor->delta && PayloadIsDelta(entry) &&
        visitor->delta(visitor->context, stream, entry, shown) != 0) {
      result = Failed(reason, "delta base does not match");
      break;
    }
    // The visitor may have read on: go to the next header from the start.
    position += PayloadDataBytes(entry);
    if (fseek(stream, start + static_cast<long>(position), SEEK_SET) != 0) {
      result = Failed(reason, "cannot skip an entry");
      break;
    }
  }
  if (fseek(stream, start, SEEK_SET) != 0) return Failed(reason, "cannot go back to the start");
  return result;
}
