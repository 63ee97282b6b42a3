// The payload archive appended to the updater's image. All integers are
// unsigned little-endian.
//
//   [image: P bytes][entry]...[end marker: 4 zero bytes][trailer: u32 P]
//
// entry:  u16 name length (NUL included; 0 is the end marker)
//         name (code page 932, "\" separators, NUL-terminated;
//               a folder's name ends with "\")
//         u32 size (inflated length; 0xFFFFFFFF marks a folder)
//         u32 packed size (length of the zlib stream)
// file entries continue with:
//         u64 time stamp (FILETIME: 100 ns units since 1601-01-01 UTC)
//         zlib stream (RFC 1950) of exactly packed size bytes
//
// Order: a folder's entry comes before everything inside it, one level at a
// time; the files the updater needs at start ("install.env", "insttscr.rct",
// readme ".txt" files) are at the top level before the first folder entry
// that names a sub-folder, where the start-up walk ends; no file in a folder
// before that entry has a name containing one of those patterns.
//
// Names are relative paths: no drive, no colon, no leading separator, no
// empty component and no "." or ".." component; anything else is a corrupt
// archive, since it would write outside the destination folder. The top
// level name kPayloadStagingName is the updater's own (see below) and is
// refused too.
#pragma once

#include <cstdint>

constexpr uint32_t kPayloadChunkSize = 131072;  // read, inflate and write unit
constexpr uint32_t kPayloadFolderSize = 0xFFFFFFFFu;
constexpr uint32_t kPayloadNameMax = 260;           // name length, NUL included
constexpr uint32_t kPayloadPathMax = 260;           // destination\name, NUL included
constexpr uint32_t kPayloadValueMax = 0x7FFFFFFFu;  // sizes and offsets are signed 32-bit
constexpr uint32_t kPayloadHeaderFixedBytes = 10;   // name length, size, packed size
constexpr uint32_t kPayloadNameLengthBytes = 2;
constexpr uint32_t kPayloadTimeStampBytes = 8;
constexpr uint32_t kPayloadEndMarkerBytes = 4;
constexpr uint32_t kPayloadTrailerBytes = 4;

// The folder, at the top of the game's folder, where an update keeps the new
// files, the ones they replace and its journal until the update is complete.
// No entry may be called so at the top level, in any letter case, nor by a
// spelling Windows trims to it (trailing dots and spaces).
constexpr const char kPayloadStagingName[] = "~updtxn";

// Name patterns of the files the start-up takes, tested in this order,
// without regard to letter case.
constexpr const char* kPayloadStartupPatterns[] = {"insttscr.rct", "install.env", ".txt"};

// Extraction modes: every entry into the target folder, or only the files
// the start-up needs into the work folder.
constexpr int kPayloadFullMode = 0;
constexpr int kPayloadStartupMode = 1;

// Delta entries. A file the player already has may travel as a delta
// against that file (the base, the file of the same name in the game's
// folder). The header is a file entry's, with size kPayloadDeltaSize:
//
//   u16 name length, name, u32 size = 0xFFFFFFFE, u32 packed size
//   u64 time stamp (of the new file)
//   delta stream of exactly packed size bytes
//
// Every reader that does not know deltas refuses that size (2^31 or more,
// and not the folder mark) as a corrupt header, and, since the walk checks
// every header before it writes anything, refuses the whole update before
// its first file. Should any reader take it for a file anyway, the stream
// starts with "UDLT", which is no zlib header (its low nibble is not 8):
// inflation fails at the first byte. A delta entry obeys a file entry's
// order rules, and its name never matches a start-up pattern (those files
// are always whole).
//
// Delta stream (all integers little-endian):
//   0  4  magic "UDLT"
//   4  4  base size (below 2^31)
//   8 32  SHA-256 of the base
//  40  4  new size (below 2^31)
//  44 32  SHA-256 of the new file
//  76  4  C: bytes of the control stream
//  80  4  D: bytes of the difference stream
//  84  4  L: bytes of the literal stream
//  88     control, difference and literal streams, each one zlib stream;
//         88 + C + D + L is the packed size exactly.
//
// The control stream, inflated, is a list of instructions that build the
// new file from its start; each begins with a varint v (7 bits a byte, low
// first, at most 5 bytes), n = v >> 2 bytes (n >= 1), of kind v & 3:
//   0 copy:    a varint m places it in the base: at recent[m & 3] plus
//              the zigzag value m >> 2 (zigzag: 0, -1, 1, -2, ...), where
//              recent[0..3] are the ends of the last four copies and adds,
//              latest first (0 before there were any); then n base bytes
//              are output;
//   1 add:     as copy, with some bytes changed: the difference stream
//              gives pairs of runs, a varint of unchanged bytes and a
//              varint of changed ones followed by that many differences
//              (added mod 256), until the n bytes are covered; a pair may
//              not reach past them, nor be two zeros;
//   2 literal: the next n bytes of the literal stream are output;
//   3 refused.
// A copy or add outside the base, output beyond the new size, and anything
// left in any of the three streams when the new file is complete make the
// delta corrupt. The base is read with seeks, so applying needs the base,
// three inflaters and a chunk or two of memory, whatever the file's size.
constexpr uint32_t kPayloadDeltaSize = 0xFFFFFFFEu;
constexpr uint32_t kDeltaHeaderBytes = 88;
constexpr const char kDeltaMagic[] = "UDLT";
constexpr uint32_t kDeltaKindCopy = 0;
constexpr uint32_t kDeltaKindAdd = 1;
constexpr uint32_t kDeltaKindLiteral = 2;
constexpr uint32_t kDeltaRecentEnds = 4;
