// Reading the environment file piece by piece, as both passes over it do: a
// piece is one line including its line end, or the next 511 bytes of a longer
// line, stored and terminated the way fgets stores it. The updater reads
// through the C run-time's text-mode stream; updpack reads the raw bytes and
// applies the same text-mode rules itself, so both see the same pieces.
#pragma once

#include <cstddef>
#include <cstdio>

// The line buffer of both passes; a piece is at most kEnvLineSize - 1 bytes.
constexpr int kEnvLineSize = 512;

// Reads the next piece of at most size - 1 bytes into buffer and terminates
// it. False at the end of the input (nothing read).
using EnvReadPieceFn = bool (*)(void* input, char* buffer, int size);

struct EnvPieceSource {
  EnvReadPieceFn read;
  void* input;
};

// A stream opened by the caller (the updater opens it with mode "rt").
bool EnvReadStdioPiece(void* file, char* buffer, int size);
inline EnvPieceSource EnvStdioSource(FILE* file) { return {EnvReadStdioPiece, file}; }

// Bytes in memory read with the platform's text-mode rules: a CR LF pair is
// one line end (LF), a byte 0x1A ends the input, every other byte (a lone CR,
// zero bytes) passes unchanged. Also tracks where each piece starts.
struct EnvTextInput {
  const unsigned char* data = nullptr;
  size_t size = 0;
  size_t pos = 0;
  bool ended = false;  // 0x1A met
  // Where the last piece read begins: physical line (1-based, counted by line
  // ends) and byte offset in that line (0 for a piece that starts a line).
  int pieceLine = 0;
  size_t pieceOffset = 0;
  // Where the next piece begins.
  int nextLine = 1;
  size_t nextOffset = 0;
};

void EnvTextInputInit(EnvTextInput* input, const void* data, size_t size);
bool EnvReadTextPiece(void* input, char* buffer, int size);
inline EnvPieceSource EnvTextSource(EnvTextInput* input) { return {EnvReadTextPiece, input}; }
