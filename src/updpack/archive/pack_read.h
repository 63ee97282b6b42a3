// Opening an update for reading (list, verify, extract): the file, its
// trailer and the payload it points to, with the shared format core.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "payload/entry.h"

struct PackReader {
  FILE* f = nullptr;
  std::string shown;  // the file's name for messages
  PayloadLocation location{};
  uint32_t position = 0;  // payload bytes consumed so far
  int index = 0;          // entries read so far
};

// Opens the file and finds its payload. Returns 0, or -1 after reporting.
int PackOpen(const std::string& path, PackReader* reader);
void PackClose(PackReader* reader);

// Reads the next entry header; delta entries are read as such
// (PayloadIsDelta). Returns kPayloadEntryRead, kPayloadEndReached,
// or kPayloadCorrupt after reporting (naming the entry before it).
int PackNextEntry(PackReader* reader, PayloadEntry* entry, const std::string& previous);

// Skips a file entry's time stamp and stream. Returns 0 or -1 (reported).
int PackSkipData(PackReader* reader, const PayloadEntry& entry);

// Reads a file entry's time stamp and inflates its stream into out (null:
// only checked), never writing more than the header's size. Returns 0, or
// -1 with the reason in *why (not reported): a damaged stream, data beyond
// the declared size, a size that disagrees, or out's write error.
int PackInflate(PackReader* reader, const PayloadEntry& entry, FILE* out, uint64_t* stamp,
                std::string* why);

// PackInflate into memory: the whole contents of a (small) file entry.
int PackReadWhole(PackReader* reader, const PayloadEntry& entry, std::string* bytes,
                  std::string* why);

// The packed install.env of an update (its name in any letter case, as the
// updater opens it). Returns 0; 1 when the update has none; -1 after
// reporting a damaged payload.
int PackReadInstallEnv(const std::string& path, std::string* bytes);

// True when the open file ends with a whole, well-formed payload (every
// entry header readable up to the end marker before the trailer).
bool PackHasPayload(FILE* f);

// "YYYY-MM-DD hh:mm:ss" (UTC) of a FILETIME.
std::string PackFormatTime(uint64_t fileTime);
