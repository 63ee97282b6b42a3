// The one way updpack writes a file: an existing output is kept unless
// --force, never one that is not a regular file, never one of the inputs;
// the data goes to a hidden temporary beside it that is renamed into place
// only when complete, and removed on failure and on an interrupt.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Checks an output before any work: not empty, not a folder, FIFO or
// device, not one of the inputs, and not existing unless force. Returns 0,
// or an exit code after reporting (2 for an empty path, else 1).
int OutCheckTarget(const std::string& output, const std::vector<std::string>& inputs, bool force);

struct OutTemp {
  std::string path;    // the temporary
  std::string target;  // where it goes
  FILE* f = nullptr;
};

// Creates ".NAME.PID-N.tmp" beside target (a program's permissions with
// executable). Returns 0, or -1 after reporting.
int OutTempCreate(const std::string& target, OutTemp* temp, bool executable = false);
// Flushes the data to the disk and closes the temporary (for changes to
// the closed file, e.g. its time). 0, or -1 after reporting and dropping it.
int OutTempClose(OutTemp* temp);
// OutTempClose unless done, and renames the temporary into place
// (replacing an existing target only with replace). 0, or -1 after
// reporting; the temporary is gone either way.
int OutTempCommit(OutTemp* temp, bool replace);
// Closes and removes the temporary.
void OutTempDrop(OutTemp* temp);

// Removes temporaries of OutTempCreate's naming beside target whose process
// has ended (killed builds leave them). Returns how many went.
int OutRemoveStale(const std::string& target);

// OutCheckTarget, then the bytes through a temporary. 0 or an exit code.
int OutWriteFile(const std::string& output, const std::string& bytes,
                 const std::vector<std::string>& inputs, bool force);
