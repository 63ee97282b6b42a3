// The private work folder under the temp path, current folder of the run.
#pragma once

// Remembers the current folder as the start folder, creates the work folder
// under the temp path (an existing one is reused) and enters it.
void CreateWorkFolder();

// Returns to the start folder, deletes the work folder's files and removes
// the folder; a folder still holding a sub-folder stays. May run repeatedly.
void RemoveWorkFolder();

// The work folder's path, without a trailing backslash.
const char* WorkFolderPath();

// The folder that was current when the work folder was created.
const char* StartFolderPath();

// Writes the owner's name into the work folder. Called once the process
// holds the update's single-instance guard, so that a folder so marked
// whose owner is not running was left by a run that was killed.
void MarkWorkFolder(const char* owner);

// Removes the other work folders under the temp path that the same owner
// marked: only while this process holds the owner's single-instance guard,
// when no live copy can own them.
void RemoveStaleWorkFolders(const char* owner);
