#include "updpack/build/build_order.h"

#include <algorithm>

#include "payload/names.h"
#include "support/sjis.h"
#include "support/text.h"
#include "updpack/build/build_names.h"
#include "updpack/report.h"

namespace {

// What the updater's start-up walk does with the entry.
PayloadStartupAction StartupAction(const BuildEntry& e) {
  PayloadEntry entry{};
  CopyText(entry.name, sizeof entry.name, e.name.c_str());
  entry.size = e.isFolder ? kPayloadFolderSize : 0;
  return PayloadStartupSelect(entry, IsLeadByte);
}

bool InFolder(const BuildEntry& e) { return MbsChr(e.name.c_str(), '\\', IsLeadByte) != nullptr; }

int Group(const BuildEntry& e) {
  if (e.isFolder) return 1;
  if (!InFolder(e) && StartupAction(e) == kStartupWrite) return 0;
  return 2;
}

}  // namespace

int BuildOrder(std::vector<BuildEntry>* entries) {
  // Within the folders, a folder's name is a prefix of its sub-folders'
  // names and so sorts before them.
  std::sort(entries->begin(), entries->end(), [](const BuildEntry& a, const BuildEntry& b) {
    int ga = Group(a), gb = Group(b);
    if (ga != gb) return ga < gb;
    return a.name < b.name;
  });
  bool walkEnds = false;
  int problems = 0;
  for (const BuildEntry& e : *entries) {
    PayloadStartupAction action = StartupAction(e);
    if (action == kStartupStop) walkEnds = true;
    if (!walkEnds && InFolder(e) && action == kStartupWrite) {
      ReportError(e.shown.c_str(),
                  "the updater would take this file at start (its name contains \".txt\", "
                  "\"install.env\" or \"insttscr.rct\") but cannot, as it lies in a folder; "
                  "rename it, move it to the top level, or put any sub-folder into one of the "
                  "folders, which lets the start-up stop before it");
      ++problems;
    }
  }
  return problems;
}
