// The entries of an update being built: what `updpack build` packs, in the
// order it is written. Entries come from a folder on disk, and a caller may
// add files whose contents were made in memory (a converted picture...).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BuildEntry {
  std::string name;   // payload name: code page 932, "\" between parts; a folder's ends with "\"
  std::string shown;  // how messages name it: the source path (UTF-8)
  bool isFolder = false;
  std::string path;               // the source file; empty when the contents are in memory
  std::vector<uint8_t> contents;  // the bytes of a file made in memory
  uint64_t size = 0;
  uint64_t fileTime = 0;  // last write, FILETIME units
  // With --base: the delta stream against the old version's file when the
  // file travels as a delta (empty: whole), and the sizes it was chosen by
  // (0: not tried).
  std::vector<uint8_t> delta;
  uint64_t deltaBytes = 0;
  uint64_t wholeBytes = 0;
};

// Adds every file and sub-folder below root, named relative to it. Names
// that Windows cannot use are reported (naming the file) and left out.
// Returns the number of problems reported.
int BuildScanFolder(const std::string& root, std::vector<BuildEntry>* entries);

// Adds a top-level file made in memory under the given UTF-8 name, in place
// of a file of the same name (letter case ignored) from the folder. shown
// names its source for messages. Returns 0, or -1 (reported) when the name
// cannot be written in code page 932.
int BuildPutGenerated(std::vector<BuildEntry>* entries, const std::string& name,
                      std::vector<uint8_t> contents, uint64_t fileTime, const std::string& shown);

// The entry of that payload name (code page 932), letter case ignored; null
// when there is none.
BuildEntry* BuildFindEntry(std::vector<BuildEntry>* entries, const std::string& name);
