#include "update/deletion.h"

#include <windows.h>

#include <cstring>

#include "env/sections.h"
#include "support/ansi.h"
#include "support/filematch.h"
#include "support/sjis.h"
#include "support/text.h"
#include "update/deletion_rules.h"

void DeleteAfterInstallFiles(const char* folder) {
  for (const SectionEntry* e = DelfilesAfterinstList.first; e; e = e->next) {
    DeleteListEntry(folder, e->text);
  }
}

int DeleteListEntry(const char* folder, const char* line) {
  // A line that could reach above the game's folder (a parent, a root, a
  // drive) deletes nothing.
  if (!DeletionLineStaysInside(line, AnsiIsLeadByte)) return 0;
  const char* backslash = MbsChr(line, '\\', AnsiIsLeadByte);
  char subfolder[MAX_PATH];
  int nameLength = backslash ? static_cast<int>(backslash - line) : 0;
  // Decided before anything is deleted: a line is carried out whole or not
  // at all, never with a cut folder path.
  if (backslash && strlen(folder) + 1 + nameLength >= sizeof subfolder) return 0;
  DeleteMatchingFiles(folder, line);
  if (!backslash) return 0;
  FormatText(subfolder, sizeof subfolder, "%s\\%.*s", folder, nameLength, line);
  return RemoveDirectoryA(subfolder) ? 0 : 1;
}
