// Deleting what [delfiles_afterinst] names once the payload is in place.
#pragma once

// DeleteListEntry for every line of the list, in file order.
void DeleteAfterInstallFiles(const char* folder);

// Deletes the files that match the line below the folder; when the line
// names a subfolder, then removes its first-level folder if that is empty.
// 1 when that removal was tried and failed, else 0. A line whose first-level
// folder path would exceed 259 bytes deletes nothing, and so does a line
// that could reach outside the folder (DeletionLineStaysInside).
int DeleteListEntry(const char* folder, const char* line);
