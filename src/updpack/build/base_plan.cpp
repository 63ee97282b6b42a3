#include "updpack/build/base_plan.h"

#include <unordered_map>

#include "env/env_pieces.h"
#include "env/sections.h"
#include "support/sjis.h"
#include "update/deletion_match.h"
#include "update/deletion_rules.h"
#include "updpack/build/build_names.h"

namespace {

// The folder a name lies in ("" at the top level), with its final "\".
std::string ParentOf(const std::string& name) {
  std::string parent, part;
  BuildSplitName(name, &parent, &part);
  return parent;
}

// Folder levels of a name: 1 for a top-level file or folder.
int Depth(const std::string& name) {
  int depth = 1;
  std::string parent = ParentOf(name);
  while (!parent.empty()) {
    ++depth;
    parent = ParentOf(parent);
  }
  return depth;
}

}  // namespace

void BaseMatchNames(const std::vector<BaseItem>& old, const std::vector<BaseItem>& fresh,
                    BasePlan* plan) {
  std::unordered_map<std::string, int> byName;
  for (size_t i = 0; i < old.size(); ++i) {
    std::string key = BuildFoldCase(old[i].name);
    // "x" and "x\" are one name to Windows.
    if (!key.empty() && key.back() == '\\') key.pop_back();
    byName.emplace(key, static_cast<int>(i));
  }
  plan->match.assign(fresh.size(), -1);
  for (size_t i = 0; i < fresh.size(); ++i) {
    std::string key = BuildFoldCase(fresh[i].name);
    if (!key.empty() && key.back() == '\\') key.pop_back();
    auto it = byName.find(key);
    if (it != byName.end()) plan->match[i] = it->second;
  }
}

bool BaseNeedsCompare(const std::vector<BaseItem>& old, const std::vector<BaseItem>& fresh,
                      const BasePlan& plan, size_t i) {
  int m = plan.match[i];
  if (m < 0 || fresh[i].isFolder || old[m].isFolder) return false;
  return fresh[i].size == old[m].size;
}

const char* BaseDeletionLineProblem(const std::string& line) {
  if (line.empty()) return "the name is empty";
  if (line.size() >= static_cast<size_t>(kEnvLineSize)) return "the line would outgrow 511 bytes";
  unsigned char first = static_cast<unsigned char>(line.front());
  unsigned char last = static_cast<unsigned char>(line.back());
  if (first <= 0x20 || last <= 0x20) return "the section reader cuts blanks the name holds";
  int header = kSectionNone;
  if (SectionClassifyLine(line.c_str(), &header) != kSectionLineText)
    return "the section reader takes such a line for a comment, a header or the section's end";
  if (!DeletionLineIsExact(line.c_str(), IsLeadByte))
    return "the name holds a wildcard and would delete other files";
  if (!DeletionLineStaysInside(line.c_str(), IsLeadByte))
    return "the updater skips such a line (it could leave the game's folder)";
  return nullptr;
}

void BaseDecide(const std::vector<BaseItem>& old, const std::vector<BaseItem>& fresh,
                const std::vector<uint8_t>& same, bool keepTimes, BasePlan* plan) {
  size_t n = fresh.size();
  plan->state.assign(n, kBaseNew);
  plan->packed.assign(n, 0);
  std::vector<uint8_t> oldMatched(old.size(), 0);
  std::unordered_map<std::string, size_t> freshFolders;  // folded name -> index
  for (size_t i = 0; i < n; ++i) {
    const BaseItem& f = fresh[i];
    if (f.isFolder) freshFolders.emplace(BuildFoldCase(f.name), i);
    int m = plan->match[i];
    if (m >= 0) oldMatched[m] = 1;
    if (m >= 0 && old[m].isFolder != f.isFolder) {
      // The updater writes before it deletes, into a place that is taken.
      plan->problems.push_back(
          {f.name, f.isFolder ? "a file in the old version is a folder in the new one; an update "
                                "cannot replace a file with a folder (ship one update that "
                                "deletes it, then another)"
                              : "a folder in the old version is a file in the new one; an update "
                                "cannot replace a folder with a file (ship one update that "
                                "empties it, then another)"});
      continue;
    }
    if (m >= 0 && old[m].name != f.name) {
      plan->notes.push_back({f.name, "differs from the old name " + old[m].name +
                                         " only in letter case: the player's folder keeps the old "
                                         "spelling (Windows ignores case)"});
    }
    if (f.isFolder) {
      plan->state[i] = m >= 0 ? kBaseKept : kBaseNew;
      if (m < 0) plan->packed[i] = 1;  // a new folder, empty ones included
      continue;
    }
    uint8_t state = kBaseNew;
    if (m >= 0) {
      bool equal = same.size() > i && same[i];
      if (equal && keepTimes && old[m].fileTime != f.fileTime) equal = false;
      state = equal ? kBaseSame : kBaseChanged;
    }
    plan->state[i] = state;
    plan->packed[i] = state != kBaseSame || f.always;
    plan->count[state]++;
    plan->bytes[state] += f.size;
  }
  // Every folder on the way to a packed entry is packed too, so that the
  // updater can make it when the player's copy lacks it.
  for (size_t i = 0; i < n; ++i) {
    if (!plan->packed[i]) continue;
    for (std::string p = ParentOf(fresh[i].name); !p.empty(); p = ParentOf(p)) {
      auto it = freshFolders.find(BuildFoldCase(p));
      if (it == freshFolders.end() || plan->packed[it->second]) break;
      plan->packed[it->second] = 1;
    }
  }
  // What the new version no longer has: exact lines for files, and for a
  // top-level folder the line "name\", which deletes nothing and lets the
  // updater remove the folder once empty. Deeper folders it cannot remove.
  std::vector<std::string> folderLines;
  for (size_t j = 0; j < old.size(); ++j) {
    if (oldMatched[j]) continue;
    const BaseItem& o = old[j];
    if (o.isFolder) {
      if (Depth(o.name) == 1) {
        folderLines.push_back(o.name);
      } else {
        plan->notes.push_back({o.name,
                               "the updater removes only top-level folders: this one "
                               "stays, emptied, in the player's folder"});
      }
      continue;
    }
    if (const char* why = BaseDeletionLineProblem(o.name)) {
      plan->problems.push_back({o.name, std::string("cannot be deleted by the update: ") + why});
      continue;
    }
    plan->deletions.push_back(o.name);
    plan->deleted.push_back(o.name);
    plan->deletedFiles++;
    plan->deletedBytes += o.size;
  }
  for (const std::string& line : folderLines) {
    if (const char* why = BaseDeletionLineProblem(line)) {
      plan->problems.push_back({line, std::string("cannot be removed by the update: ") + why});
      continue;
    }
    plan->deletions.push_back(line);
    plan->deleted.push_back(line);
  }
}
