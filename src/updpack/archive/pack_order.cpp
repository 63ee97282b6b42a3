#include "updpack/archive/pack_order.h"

#include <cstring>

#include "payload/names.h"
#include "support/sjis.h"
#include "updpack/build/build_names.h"

bool PackIsStartupName(const char* name) {
  for (const char* pattern : kPayloadStartupPatterns)
    if (NameContains(name, pattern, IsLeadByte)) return true;
  return false;
}

const char* OrderCheckEntry(OrderCheck* check, const PayloadEntry& entry) {
  bool folder = PayloadIsFolder(entry);
  std::string parent, part;
  BuildSplitName(entry.name, &parent, &part);
  std::string folded = BuildFoldCase(entry.name);
  // "x" and "x\" are one name on the disk.
  std::string bare = folder ? folded.substr(0, folded.size() - 1) : folded;
  bool seen = !check->names.insert(bare).second;
  if (folder) check->folders.insert(folded);

  PayloadStartupAction action = PayloadStartupSelect(entry, IsLeadByte);
  bool endsWalk = action == kStartupStop && !check->walkEnded;
  if (action == kStartupStop) check->walkEnded = true;

  if (seen) return "a second entry of this name (letter case ignored)";
  if (!parent.empty() && !check->folders.count(BuildFoldCase(parent)))
    return "comes before the entry of its folder";
  if (action == kStartupWrite && !parent.empty() && !check->walkEnded)
    return "the start-up would take this file but cannot write it (it lies in a folder "
           "before the entry that ends the start-up walk)";
  if (action == kStartupWrite && parent.empty() && check->walkEnded && !endsWalk)
    return "a file the updater takes at start comes after the entry that ends the start-up walk";
  return nullptr;
}

const char* PackNameProblem(const PayloadEntry& entry) {
  size_t length = strlen(entry.name);
  if (length + 1 != entry.nameLength) return "the name holds a NUL byte before its end";
  if (length > kBuildNameBytesMax)
    return "the name is longer than 256 bytes, more than fits beside the shortest game folder";
  std::string name = entry.name;
  if (PayloadIsFolder(entry) && !name.empty() && name.back() == '\\') name.pop_back();
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && IsLeadByte(static_cast<unsigned char>(name[i])) && i + 1 < name.size()) {
      ++i;
      continue;
    }
    if (i < name.size() && name[i] != '\\') continue;
    if (const char* why = BuildNamePartProblem(name.substr(start, i - start))) return why;
    start = i + 1;
  }
  return nullptr;
}
