#include "updpack/build_order.h"

#include <algorithm>

#include "support/sjis.h"
#include "updpack/build_names.h"
#include "updpack/report.h"

namespace {

// True when a backslash other than the name's last byte separates parts:
// a file inside a folder, or a folder entry that ends the start-up walk.
bool HasInnerBackslash(const std::string& name) {
  const char* slash = MbsChr(name.c_str(), '\\', IsLeadByte);
  return slash && slash[1] != '\0';
}

int Group(const BuildEntry& e) {
  if (e.isFolder) return 1;
  if (!HasInnerBackslash(e.name) && BuildIsStartupName(e.name)) return 0;
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
    if (e.isFolder && HasInnerBackslash(e.name)) walkEnds = true;
    if (!walkEnds && !e.isFolder && HasInnerBackslash(e.name) && BuildIsStartupName(e.name)) {
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
