#include <algorithm>

#include "payload/format.h"
#include "updpack/build/build_entries.h"
#include "updpack/build/build_names.h"
#include "updpack/fsys/fsys.h"
#include "updpack/report.h"

namespace {

struct Scan {
  std::string root;               // DIR, canonical
  std::vector<std::string> open;  // canonical folders being scanned, DIR first
  std::vector<BuildEntry>* entries;
};

// Links in DIR: one to a file or folder inside DIR is followed (its target
// is packed under the link's name); one that leads out of DIR, nowhere, or
// back to a folder being scanned (a loop) is refused. Returns null to
// follow, else the reason.
const char* LinkProblem(const Scan& scan, const std::string& path, const FsItem& item,
                        std::string* target) {
  *target = FsCanonical(path);
  if (target->empty()) return "a symbolic link that leads nowhere";
  if (!FsIsInside(*target, scan.root)) return "a symbolic link that leads outside the folder";
  if (item.isFolder) {
    for (const std::string& open : scan.open)
      if (FsIsInside(open, *target)) return "a symbolic link that loops back to a folder above it";
  }
  return nullptr;
}

int ScanInto(Scan* scan, const std::string& folder, const std::string& prefix) {
  std::vector<BuildEntry>* entries = scan->entries;
  std::vector<FsItem> items;
  std::string error;
  if (FsListFolder(folder, &items, &error) != 0) {
    ReportError(FsShown(folder).c_str(), "cannot read the folder: %s", error.c_str());
    return 1;
  }
  // A fixed order keeps the messages in the same order on every run.
  std::sort(items.begin(), items.end(),
            [](const FsItem& a, const FsItem& b) { return a.name < b.name; });
  int problems = 0;
  for (const FsItem& item : items) {
    std::string path = FsJoin(folder, item.name);
    std::string part;
    if (!FsUtf8ToCp932(item.name, &part)) {
      ReportError(FsShown(path).c_str(), "the name cannot be written in code page 932 (Shift-JIS)");
      ++problems;
      continue;
    }
    if (const char* why = BuildNamePartProblem(part)) {
      ReportError(FsShown(path).c_str(), "%s", why);
      ++problems;
      continue;
    }
    std::string canonical;
    if (item.isLink) {
      if (const char* why = LinkProblem(*scan, path, item, &canonical)) {
        ReportError(FsShown(path).c_str(), "%s%s%s; not packed", why, canonical.empty() ? "" : " (",
                    canonical.empty() ? "" : (FsShown(canonical) + ")").c_str());
        ++problems;
        continue;
      }
    }
    BuildEntry entry;
    entry.name = prefix + part;
    entry.shown = FsShown(path);
    entry.fileTime = item.fileTime;
    if (item.isFolder) {
      entry.name += '\\';
      entry.isFolder = true;
      entries->push_back(entry);
      // Names only grow below here: past the limit (a link that loops back,
      // say) there is nothing to gain from going deeper.
      if (entry.name.size() + 1 <= kPayloadNameMax) {
        scan->open.push_back(canonical.empty() ? FsCanonical(path) : canonical);
        problems += ScanInto(scan, path, entry.name);
        scan->open.pop_back();
      }
    } else if (item.isFile) {
      entry.path = path;
      entry.size = item.size;
      entries->push_back(entry);
    } else {
      ReportError(FsShown(path).c_str(), "not a regular file or folder");
      ++problems;
    }
  }
  return problems;
}

}  // namespace

int BuildScanFolder(const std::string& root, std::vector<BuildEntry>* entries) {
  FsItem item;
  std::string error;
  if (FsStat(root, &item, &error) != 0) {
    ReportError(FsShown(root).c_str(), "%s", error.c_str());
    return 1;
  }
  if (!item.isFolder) {
    ReportError(FsShown(root).c_str(), "not a folder");
    return 1;
  }
  Scan scan;
  scan.root = FsCanonical(root);
  scan.open.push_back(scan.root);
  scan.entries = entries;
  return ScanInto(&scan, root, "");
}

int BuildPutGenerated(std::vector<BuildEntry>* entries, const std::string& name,
                      std::vector<uint8_t> contents, uint64_t fileTime, const std::string& shown) {
  std::string part;
  if (!FsUtf8ToCp932(name, &part) || BuildNamePartProblem(part)) {
    ReportError(FsShown(shown).c_str(), "cannot be stored as \"%s\"", FsShown(name).c_str());
    return -1;
  }
  BuildEntry* entry = BuildFindEntry(entries, part);
  if (!entry) {
    entries->push_back(BuildEntry());
    entry = &entries->back();
  }
  entry->name = part;
  entry->shown = FsShown(shown);
  entry->isFolder = false;
  entry->path.clear();
  entry->size = contents.size();
  entry->contents = std::move(contents);
  entry->fileTime = fileTime;
  return 0;
}

BuildEntry* BuildFindEntry(std::vector<BuildEntry>* entries, const std::string& name) {
  std::string folded = BuildFoldCase(name);
  for (BuildEntry& e : *entries)
    if (BuildFoldCase(e.name) == folded) return &e;
  return nullptr;
}
