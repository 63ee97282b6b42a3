// Extraction of the payload appended to the running executable, in start-up
// mode (the files the updater needs, into the work folder, no window) or
// full mode (everything, into the target folder, behind the copy progress
// window). Any failure ends the program after one message.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>

// Opens the running executable, reads its trailer and returns the stream at
// the first entry; null when the file cannot be opened or has no payload.
// Sets the payload length.
FILE* OpenPayload();

// Bytes from the first entry up to the trailer, end marker included: the
// overall bar's total. Set by OpenPayload.
uint32_t PayloadLength();

// Writes the payload's entries below the destination folder; mode is
// kPayloadFullMode or kPayloadStartupMode. Returns when the walk ended
// normally. On any failure it does not return: the progress window closes,
// the error box tells the user, the work folder is removed and the process
// exits with -1.
//
// The full mode is all or nothing: the headers and every output path are
// checked before anything is written, the files are staged beside the game's
// (txn/staging.h) and replace them only when every one arrived whole. A
// failure puts the game's folder back as it was before the message shows.
void ExtractPayload(const char* destination, int mode);

// Writes one file entry (the stream at its time stamp) to outputPath and
// gives it the entry's time as its last-write time. With a window, shows the
// path and drives both bars; pumps messages after every written chunk.
// 0 on success, 1 on failure (the partly written file stays).
int ExtractEntry(FILE* stream, uint32_t size, uint32_t packedSize, const char* outputPath,
                 HWND window, uint32_t position);

// NameContains with the process's ANSI code page.
bool NameContains(const char* name, const char* pattern);
