// Reading the payload archive: the trailer that locates it, and entry
// headers with every check the format allows. Pure stdio, no platform calls.
#pragma once

#include <cstdint>
#include <cstdio>

#include "payload/format.h"
#include "support/sjis.h"

// Where the payload sits in its file.
struct PayloadLocation {
  uint32_t first;             // P: file offset of the first entry
  uint32_t length;            // bytes from P up to the trailer, end marker included
  uint32_t end;               // file offset just after the trailer
  uint32_t certificateBytes;  // the signature's table after it (0: unsigned)
};

// Reads the trailer and seeks to the first entry. The trailer is the file's
// last four bytes, or, in a signed executable whose certificate table ends
// the file, the last four before the table and the zero padding the signing
// tool may have put in front of it. Returns 0, or -1 when the file is too
// short, the trailer cannot be read, or P lies beyond the trailer (a file
// with no payload, usually).
int PayloadLocate(FILE* stream, PayloadLocation* location);

struct PayloadEntry {
  uint32_t nameLength;         // bytes of the name, NUL included
  char name[kPayloadNameMax];  // NUL-terminated
  uint32_t size;               // inflated length, or kPayloadFolderSize
  uint32_t packedSize;         // zlib stream length (not used for folders)
};

inline bool PayloadIsFolder(const PayloadEntry& entry) { return entry.size == kPayloadFolderSize; }

// A delta entry (format.h): read only by a reader that asks for them.
inline bool PayloadIsDelta(const PayloadEntry& entry) { return entry.size == kPayloadDeltaSize; }

// Bytes of the entry header: name length field, name, size, packed size.
inline uint32_t PayloadHeaderBytes(const PayloadEntry& entry) {
  return entry.nameLength + kPayloadHeaderFixedBytes;
}

// Bytes that follow the header: time stamp and stream for a file or a
// delta, none for a folder.
inline uint32_t PayloadDataBytes(const PayloadEntry& entry) {
  return PayloadIsFolder(entry) ? 0 : kPayloadTimeStampBytes + entry.packedSize;
}

enum : int {
  kPayloadEntryRead = 0,
  kPayloadEndReached = 1,
  kPayloadCorrupt = -1,
};

// Reads the entry header at the current position. `available` is the number
// of payload bytes left from here to the trailer; nothing the header
// announces may reach past it. Returns kPayloadEntryRead, kPayloadEndReached
// (the end marker, which must be four zero bytes right before the trailer)
// or kPayloadCorrupt: a short read, a name length over 260, a name whose last
// byte is not 0, a size or packed size of 2^31 or more, an entry that runs
// past the payload, or an unsafe name. `reason`, when given, receives a short
// English text for the corrupt case.
//
// A delta entry is corrupt too unless `flags` has kPayloadDeltasKnown; then
// it is read as a file with PayloadIsDelta true, and its packed size must
// hold at least the delta stream's header.
int PayloadReadEntry(FILE* stream, uint32_t available, PayloadEntry* entry, LeadByteFn isLead,
                     const char** reason = nullptr, int flags = 0);

constexpr int kPayloadDeltasKnown = 1;

// True when writing the entry below a destination folder stays inside it:
// not empty, no leading separator ("\" or "/"), no colon (drive letters,
// streams), no empty component and no component made only of dots and
// spaces ("." and ".." and what Windows trims to them). A folder's name may
// end with one separator; a file's may not.
bool PayloadNameIsSafe(const char* name, bool isFolder, LeadByteFn isLead);
