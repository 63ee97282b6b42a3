// `updpack build --base`: which files of the new version an update carries
// and which files of the old one it deletes. Platform-free: the trees come
// in as lists, and the contents are compared by the caller.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BaseItem {
  std::string name;  // payload name: code page 932, "\" between parts; a folder's ends with "\"
  bool isFolder = false;
  uint64_t size = 0;
  uint64_t fileTime = 0;
  bool always = false;  // packed whatever the old version holds
};

enum BaseState : uint8_t {
  kBaseNew = 0,      // not in the old version
  kBaseChanged = 1,  // in both, other bytes (or, with --keep-times, another time)
  kBaseSame = 2,     // in both, the same bytes: left out
  kBaseKept = 3,     // a folder in both: packed only when it holds packed entries
};

struct BaseFinding {
  std::string name;  // code page 932
  std::string text;  // English
};

struct BasePlan {
  std::vector<int> match;       // per new item: the old item of that name (case ignored), or -1
  std::vector<uint8_t> state;   // per new item: BaseState
  std::vector<uint8_t> packed;  // per new item: 1 when it goes into the update
  std::vector<std::string> deletions;  // [delfiles_afterinst] lines, files first
  std::vector<std::string> deleted;    // the old names they delete, for the listing
  std::vector<BaseFinding> problems;   // why no sound update can be made
  std::vector<BaseFinding> notes;      // what the update leaves other than the new version
  uint64_t count[4] = {};              // files per BaseState (kBaseKept unused)
  uint64_t bytes[4] = {};
  uint64_t deletedFiles = 0, deletedBytes = 0;
};

// Step 1: pairs every new item with the old one of the same name, letter case
// ignored as on Windows.
void BaseMatchNames(const std::vector<BaseItem>& old, const std::vector<BaseItem>& fresh,
                    BasePlan* plan);

// True when the contents of new item i must be compared with its old one:
// both are files of one size.
bool BaseNeedsCompare(const std::vector<BaseItem>& old, const std::vector<BaseItem>& fresh,
                      const BasePlan& plan, size_t i);

// Step 2: with same[i] set where the compared contents are equal, decides
// what is packed and what is deleted, and finds the changes that no update
// can make. keepTimes packs equal files whose time differs.
void BaseDecide(const std::vector<BaseItem>& old, const std::vector<BaseItem>& fresh,
                const std::vector<uint8_t>& same, bool keepTimes, BasePlan* plan);

// Why a deletion line for this old name would not delete just it (read as
// something else by the section pass, a wildcard, a blank the reader cuts),
// or null when it is sound.
const char* BaseDeletionLineProblem(const std::string& line);
