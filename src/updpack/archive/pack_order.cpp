#include "updpack/archive/pack_order.h"

#include "payload/names.h"
#include "support/sjis.h"
#include "updpack/build/build_names.h"

const char* OrderCheckEntry(OrderCheck* check, const PayloadEntry& entry) {
  bool folder = PayloadIsFolder(entry);
  std::string parent, part;
  BuildSplitName(entry.name, &parent, &part);
  std::string folded = BuildFoldCase(entry.name);
  bool seen = !check->names.insert(folded).second;
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
