#include "updpack/build/build_names.h"

#include <cstring>
#include <map>

#include "payload/entry.h"
#include "payload/format.h"
#include "support/sjis.h"
#include "support/text.h"
#include "updpack/report.h"

namespace {

// Device names that Windows reserves in every folder, with any extension.
const char* const kReserved[] = {"con",  "prn",  "aux",  "nul",  "com1",   "com2",
                                 "com3", "com4", "com5", "com6", "com7",   "com8",
                                 "com9", "lpt1", "lpt2", "lpt3", "lpt4",   "lpt5",
                                 "lpt6", "lpt7", "lpt8", "lpt9", "conin$", "conout$"};

bool IsReservedDevice(const std::string& part) {
  // Windows compares the part before the first dot, trailing spaces dropped.
  std::string base = part.substr(0, part.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = AsciiLower(c);
  for (const char* r : kReserved)
    if (base == r) return true;
  return false;
}

}  // namespace

const char* BuildNamePartProblem(const std::string& part) {
  if (part.empty()) return "an empty name";
  for (size_t i = 0; i < part.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(part[i]);
    if (IsLeadByte(c)) {
      if (i + 1 >= part.size()) return "the name ends in the middle of a double-byte character";
      ++i;  // a trail byte may be any value, "\" and "|" included
      continue;
    }
    if (c < 0x20) return "the name contains a control character";
    if (strchr("<>:\"/\\|?*", c))
      return "the name contains a character that Windows does not allow (<>:\"/\\|?*)";
  }
  char last = part.back();
  if (last == '.' || last == ' ') return "the name ends with a dot or a space, which Windows drops";
  if (IsReservedDevice(part)) return "the name is a device name that Windows reserves";
  return nullptr;
}

void BuildSplitName(const std::string& name, std::string* parent, std::string* part) {
  size_t end = name.size();
  if (end && name[end - 1] == '\\') --end;  // a folder's own backslash
  size_t cut = 0;
  for (size_t i = 0; i < end; ++i) {
    if (IsLeadByte(static_cast<unsigned char>(name[i])) && i + 1 < end) {
      ++i;
    } else if (name[i] == '\\') {
      cut = i + 1;
    }
  }
  *parent = name.substr(0, cut);
  *part = name.substr(cut, end - cut);
}

std::string BuildFoldCase(const std::string& cp932) {
  std::string folded = cp932;
  MbsLower(&folded[0], IsLeadByte);
  return folded;
}

int BuildCheckNames(const std::vector<BuildEntry>& entries) {
  int problems = 0;
  std::map<std::string, const BuildEntry*> seen;  // parent + folded part
  for (const BuildEntry& e : entries) {
    if (e.name.size() > kBuildNameBytesMax) {
      ReportError(e.shown.c_str(),
                  "the name in the update is %u bytes long; at most %u fit even the shortest "
                  "game folder",
                  static_cast<unsigned>(e.name.size()), static_cast<unsigned>(kBuildNameBytesMax));
      ++problems;
      continue;
    }
    if (!PayloadNameIsSafe(e.name.c_str(), e.isFolder, IsLeadByte)) {
      ReportError(e.shown.c_str(), "the updater would refuse this name as unsafe");
      ++problems;
      continue;
    }
    size_t room = kPayloadPathMax - 2 - e.name.size();  // the folder, "\" and NUL around the name
    if (room < kBuildFolderRoomWanted) {
      ReportWarning(e.shown.c_str(),
                    "long name (%u bytes): the update fails where the game folder's path is "
                    "longer than %u bytes",
                    static_cast<unsigned>(e.name.size()), static_cast<unsigned>(room));
    }
    if (!e.isFolder && e.size > kPayloadValueMax) {
      ReportError(e.shown.c_str(),
                  "the file is too large (%llu bytes); an update holds files below 2 GiB",
                  static_cast<unsigned long long>(e.size));
      ++problems;
    }
    std::string parent, part;
    BuildSplitName(e.name, &parent, &part);
    auto added = seen.emplace(parent + BuildFoldCase(part), &e);
    if (!added.second) {
      ReportError(e.shown.c_str(), "differs from %s only in letter case; Windows sees one name",
                  added.first->second->shown.c_str());
      ++problems;
    }
  }
  return problems;
}
