// Records and pure rules of the resource file layer: registered sources,
// name hashes and the archive index search.
#pragma once

#include <cstdint>

#include "support/sjis.h"

struct ArchiveIndexEntry {
  uint32_t nameHash;
  uint32_t offset;  // of the member's first byte from the archive's start
};

struct FolderIndexEntry {
  uint32_t nameHash;
  const char* folder;  // without a trailing separator
};

enum FileSourceKind : int32_t { kFolderListSource = 0, kArchiveSource = 1 };

struct FileSource {
  const char* path;  // the archive file (archive sources)
  int32_t archiveCount;
  const ArchiveIndexEntry* archiveTable;  // sorted by nameHash, unsigned
  const FolderIndexEntry* folderTable;
  int32_t folderCount;
  int32_t kind;
  FileSource* next;
};

// CRC-32 of the text without its terminator.
uint32_t FfnameHash(const char* text);

// The hash a lookup uses: of the name's file-name part and extension,
// lower-cased under the given lead-byte rule.
uint32_t FflookupHash(const char* name, LeadByteFn isLead);

// True for a name whose extension is ".ogg" or ".wav" in any ASCII case.
bool FfisSoundName(const char* name, LeadByteFn isLead);

// Binary search of a sorted archive index; null when the hash is absent.
const ArchiveIndexEntry* FffindArchiveEntry(const ArchiveIndexEntry* table, int32_t count,
                                            uint32_t hash);
