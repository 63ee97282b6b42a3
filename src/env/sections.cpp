#include "env/sections.h"

#include <cstdlib>
#include <cstring>

#include "env/env_alloc.h"

SectionList DelfilesList;
SectionList DelfilesUserList;
SectionList IniList;
SectionList RegList;
SectionList DelfilesAfterinstList;

namespace {

struct SectionInfo {
  const char* header;
  const char* name;
  SectionList* list;
};

const SectionInfo kSections[kSectionCount] = {
    {"[delfiles]", "delfiles", &DelfilesList},
    {"[delfiles_user]", "delfiles_user", &DelfilesUserList},
    {"[ini]", "ini", &IniList},
    {"[reg]", "reg", &RegList},
    {"[delfiles_afterinst]", "delfiles_afterinst", &DelfilesAfterinstList},
};

bool BeginsWith(const char* line, const char* start) {
  return strncmp(line, start, strlen(start)) == 0;
}

bool ValidId(int id) { return id >= 0 && id < kSectionCount; }

}  // namespace

const char* SectionName(int id) { return ValidId(id) ? kSections[id].name : ""; }
const char* SectionHeader(int id) { return ValidId(id) ? kSections[id].header : ""; }
SectionList* SectionListOf(int id) { return ValidId(id) ? kSections[id].list : nullptr; }

SectionLineKind SectionClassifyLine(const char* line, int* header) {
  *header = kSectionNone;
  if (line[0] == '\0' || BeginsWith(line, "//") || line[0] == ';') return kSectionLineIgnored;
  if (BeginsWith(line, "EOF")) return kSectionLineEnd;
  if (line[0] == '-') return kSectionLineClose;
  for (int id = 0; id < kSectionCount; ++id) {
    if (BeginsWith(line, kSections[id].header)) {
      *header = id;
      return kSectionLineHeader;
    }
  }
  return kSectionLineText;
}

char* ReadTrimmedLine(char* buffer, const EnvPieceSource& source) {
  if (!source.read(source.input, buffer, kEnvLineSize)) return nullptr;
  size_t n = strlen(buffer);
  while (n > 0 && static_cast<unsigned char>(buffer[n - 1]) <= 0x20) buffer[--n] = '\0';
  return buffer;
}

void SectionListClear(SectionList* list) {
  SectionEntry* e = list->first;
  while (e) {
    SectionEntry* next = e->next;
    free(e->text);
    free(e);
    e = next;
  }
  list->first = nullptr;
  list->last = nullptr;
}

void SectionListAppend(SectionList* list, const char* line) {
  SectionEntry* entry = static_cast<SectionEntry*>(EnvAlloc(sizeof(SectionEntry)));
  entry->text = EnvCopyText(line, strlen(line));
  entry->next = nullptr;
  if (list->last) {
    list->last->next = entry;
  } else {
    list->first = entry;
  }
  list->last = entry;
}

int SectionListsRead(const EnvPieceSource& source, const SectionObserver* observer) {
  char line[kEnvLineSize];
  int open = kSectionNone;
  for (int piece = 0; ReadTrimmedLine(line, source); ++piece) {
    int header;
    SectionLineKind kind = SectionClassifyLine(line, &header);
    if (observer) observer->seen(observer->context, {piece, line, kind, header, open});
    if (kind == kSectionLineEnd) break;
    switch (kind) {
      case kSectionLineClose:
        open = kSectionNone;
        break;
      case kSectionLineHeader:
        SectionListClear(kSections[header].list);
        open = header;
        break;
      case kSectionLineText:
        if (open != kSectionNone) SectionListAppend(kSections[open].list, line);
        break;
      default:
        break;
    }
  }
  return open;
}
