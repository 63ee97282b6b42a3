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

constexpr uint32_t kPayloadChunkSize = 131072;     // read, inflate and write unit
constexpr uint32_t kPayloadFolderSize = 0xFFFFFFFFu;
constexpr uint32_t kPayloadNameMax = 260;          // name length, NUL included
constexpr uint32_t kPayloadPathMax = 260;          // destination\name, NUL included
constexpr uint32_t kPayloadValueMax = 0x7FFFFFFFu; // sizes and offsets are signed 32-bit
constexpr uint32_t kPayloadHeaderFixedBytes = 10;  // name length, size, packed size
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
