// The bracketed sections of install.env ([delfiles], [delfiles_user], [ini],
// [reg], [delfiles_afterinst]): the second pass over the file, with line rules
// of its own, fills one list per section. The lists are module-level, filled
// once at start-up and only walked afterwards (from first along next).
#pragma once

#include "env/env_pieces.h"

struct SectionEntry {
  char* text;  // the whole line less its trailing bytes 0x00-0x20
  SectionEntry* next;
};

struct SectionList {
  SectionEntry* first = nullptr;
  SectionEntry* last = nullptr;  // where the next entry is attached
};

extern SectionList DelfilesList;           // [delfiles]: read and checked only
extern SectionList DelfilesUserList;       // [delfiles_user]: read and checked only
extern SectionList IniList;                // [ini]: lines for the INI file
extern SectionList RegList;                // [reg]: lines for the registry
extern SectionList DelfilesAfterinstList;  // [delfiles_afterinst]: deleted after the update

// The sections in the order the pass tests their headers.
enum SectionId {
  kSectionNone = -1,
  kSectionDelfiles = 0,
  kSectionDelfilesUser,
  kSectionIni,
  kSectionReg,
  kSectionDelfilesAfterinst,
  kSectionCount
};

// "delfiles", "ini"...: the bare name the unterminated-section message shows.
const char* SectionName(int id);
// "[delfiles]", "[ini]"...
const char* SectionHeader(int id);
SectionList* SectionListOf(int id);

enum SectionLineKind {
  kSectionLineIgnored,  // empty, or a "//" or ";" comment
  kSectionLineEnd,      // begins with "EOF": the pass ends
  kSectionLineClose,    // begins with "-": the open section is closed
  kSectionLineHeader,   // begins with a section header (*header set)
  kSectionLineText,     // anything else: an entry when a section is open
};

// Classifies a trimmed line by the first rule that applies; every test
// compares bytes at the very start of the line, case-sensitively.
SectionLineKind SectionClassifyLine(const char* line, int* header);

// Reads one piece into buffer (kEnvLineSize bytes) and cuts its trailing
// bytes 0x00-0x20. Null at the end of the input.
char* ReadTrimmedLine(char* buffer, const EnvPieceSource& source);

// Frees every entry and its text; the list is left empty.
void SectionListClear(SectionList* list);
// Attaches a new entry holding a copy of line after the last entry.
void SectionListAppend(SectionList* list, const char* line);

// One line as the pass sees it, handed to an observer before the line acts.
// The piece number lets a caller that counts lines (EnvTextInput does) say
// which physical line it is.
struct SectionLineSeen {
  int piece;         // 0-based: the pieces read before this one
  const char* text;  // the trimmed line
  SectionLineKind kind;
  int header;  // the section a header line opens, else kSectionNone
  int open;    // the section open when the line was read
};

struct SectionObserver {
  void (*seen)(void* context, const SectionLineSeen& line);
  void* context;
};

// The pass over the whole input: a header empties its list and opens it, "-"
// closes, other lines are entries of the open section. Returns the section
// still open when the input or an "EOF" line ends the pass, else kSectionNone.
// The observer, when given, sees every line the pass reads, the one that ends
// it included, and nothing after that.
int SectionListsRead(const EnvPieceSource& source, const SectionObserver* observer = nullptr);

// The same on a stream the caller opened (text mode in the updater).
inline char* ReadTrimmedLine(char* buffer, FILE* file) {
  return ReadTrimmedLine(buffer, EnvStdioSource(file));
}
