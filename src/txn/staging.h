// The update's writes into the game's folder as one whole: new files go to
// the staging folder as the payload is read, and replace the game's files
// only when every one of them is complete (see txn_apply.h). GUI thread.
#pragma once

#include <windows.h>

// Asks the player to end the program that holds the file at path open:
// true to try again (Retry), false to give up (Cancel).
bool StagingAskRetryInUse(const char* path);

// Puts back what a killed run left in the folder and removes its staging
// folder (StagingBegin does it too): before the game's files are read for
// the update, they must be the old ones. 0, or -1 when something could not
// be put back.
int StagingRecover(const char* folder);

// Before StagingBegin: the update's file entries, each by its name in the
// game's folder, in the order they will be staged; `base` when the game's
// file is read while the files are staged (a delta's base).
void StagingForeseeFile(const char* name, bool base);

// Puts back what a killed run left in the folder, then makes the (hidden)
// staging folder. 0, or -1 when the folder cannot be made ready.
int StagingBegin(const char* folder);

// After StagingBegin: starts a thread that works ahead of the writer while
// the files are staged (each game file that the update replaces gets its
// second name in the staging folder, and the foreseen entries' staged files
// are made, empty, for StagingCreateFile to hand out). It ends at the
// commit or when the update stops.
void StagingWorkAhead();

// A folder entry at path ("folder\name"): made when the update commits.
// 0, or -1 when a file is in its place.
int StagingAddFolder(const char* path, const char* name);

// A file entry at path ("folder\name"): its new contents go to the returned
// handle (write access, shared with nobody). INVALID_HANDLE_VALUE when the
// target cannot be replaced (a folder or a read-only file in its place, or
// the player gave up on a file in use) or the staged file cannot be made.
HANDLE StagingCreateFile(const char* path, const char* name);

// Ends a staged file: when its data all arrived (`complete`) it is handed
// to the flusher (txn/flusher.h), which flushes it to the disk, stamps it
// with its time and closes it; otherwise it is closed and -1 returned. A
// flush or stamp that fails is found by StagingCommit.
int StagingCloseFile(HANDLE file, unsigned long long stamp, bool complete);

// Waits for the flusher, then replaces the game's files with the staged
// ones. 0: the staging folder, with the replaced files, waits for
// StagingClearBehind or, at the latest, the process's exit. Otherwise the
// folder is as it was before the update (or, when even that failed, a
// journal stays for the next run) and the result is non-zero.
int StagingCommit();

// Clears a committed update's staging folder on a thread of its own, while
// the player reads what the update shows last; the process's exit waits
// for it.
void StagingClearBehind();

// Removes the staging folder with the new files: the update stops before
// it changed anything in the game's folder.
void StagingAbandon();
