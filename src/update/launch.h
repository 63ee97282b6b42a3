// Starting the game and opening documents: used by the update run's last
// step and by the main menu's DirectX and readme commands.
#pragma once

// Starts the program as a new process with the path in double quotes as its
// command line, in the current folder, without waiting for it. Nonzero when
// the process was created; 0 when not, or when the quoted path would not fit
// the 260-byte command line.
int StartProgram(const char* path);

// Asks the shell to open the file with its "open" verb, owned by the main
// window. Failures are not reported (the shell may show its own message).
void OpenDocument(const char* path);
