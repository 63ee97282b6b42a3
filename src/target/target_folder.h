// The two routes to the installed game's folder, for the update procedure.
// Both restore the current directory before they return.
#pragma once

// The refusal of an installed version the update does not fit; shown by the
// update procedure too when a delta's base is not the expected file.
extern const char kVersionTooOld[];

// The automatic route: the version test, then the folder recorded in the
// application key, confirmed by the user. out: 260 bytes. 0: out holds the
// folder; -1: no usable installation is recorded (a message was shown);
// -2: the version was refused, or the user answered No.
int FindTargetFolder(char* out);

// The manual route: the SETUP dialog, the entry normalised and checked, then
// confirmed. out: 260 bytes. 0: out holds the folder; -1: cancelled, refused
// (with a message) or answered No.
int AskTargetFolder(char* out);
