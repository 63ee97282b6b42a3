// The one module-level file search, and deletion of the files that match a
// pattern in a folder. GUI thread only; not reentrant.
#pragma once

// Starts a search: 0 when at least one entry matched, 1 when none did (or
// the pattern does not fit the 260-byte pattern buffer).
int FindFirstMatch(const char* pattern);

// The next matching file (never a folder) as the pattern's drive and folder
// followed by the entry's name; null when the search is exhausted. The text
// stays valid until the next call.
const char* FindNextMatch();

// Deletes every file (not folder) matching the pattern relative to the folder,
// and leaves the current folder as it found it. When the folder cannot be
// entered, nothing is deleted.
void DeleteMatchingFiles(const char* folder, const char* pattern);
