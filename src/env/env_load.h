// Start-up loading of install.env in the updater: the key lines into the
// environment table, then the sections into their lists.
#pragma once

// Opens the file through Ffopen (mode "rt", which asks Retry or Cancel until
// it opens, and ends the program on Cancel) and appends its key lines to the
// table. The first call registers EnvFree to run at exit.
void EnvLoad(const char* name);

// Opens the file in text mode and fills the five section lists. Returns only
// when the file was read and no section was left open; otherwise it shows
// the reason through ErrorRetryBox and ends the program with -1 after either
// button.
void SectionListsLoad(const char* name);
