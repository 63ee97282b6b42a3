// Saving the process's current folder and putting it back: the routines that
// enter another folder leave the current one as they found it.
#pragma once

struct SavedFolder {
  char path[520];  // room for a current folder longer than 260 bytes
  bool saved;
};

// True when the current folder fits and can be put back later.
bool SaveCurrentFolder(SavedFolder* folder);
// Enters the saved folder again; nothing when none was saved.
void RestoreCurrentFolder(const SavedFolder& folder);
