// The delta encoder: finds the new file's long matches in the base through
// a hash index, stretches each along its diagonal over the bytes around it
// where most still agree (so code whose addresses moved costs a few
// difference bytes, not literals), and writes the instructions with
// delta_write. Shares nothing between calls: several files may be encoded
// at once on several threads. Memory: the index (at most 12 bytes for each
// of maxEntries positions: 192 MiB at the default, whatever the base's
// size; a 2 GiB base is indexed every 128th byte) and the packed delta;
// the two files are the caller's (mapped, usually).
#pragma once

#include <cstdint>
#include <vector>

#include "updpack/compress/compress_engine.h"

struct DeltaEncodeOptions {
  int level = kCompressLevelDefault;  // the literal stream's (1..12): as whole files'
  uint32_t maxEntries = 1u << 24;     // base positions indexed at most
  uint32_t minMatch = 40;             // shortest exact match that starts a new diagonal
  uint32_t nearMatch = 12;            // the same, near the end of a recent copy
  // The same where the new file's bytes pack to less than half (text): its
  // literals cost so little that a short match does not pay for itself.
  uint32_t textMinMatch = 48;
  uint32_t textNearMatch = 24;
  uint32_t chainLimit = 24;  // candidates tried at one position
  // Exact runs at least this long inside a stretched region become copies;
  // shorter ones cost less as zero difference bytes than as instructions.
  int64_t copyRun = 4096;
};

struct DeltaEncodeStats {
  uint32_t copies, adds, literals;
  uint64_t copyBytes, addBytes, literalBytes;
};

// Puts the delta stream that makes next from base into out. 0, or -1 when
// memory or the compressor failed. stats may be null.
int DeltaEncode(const unsigned char* base, uint32_t baseSize, const unsigned char* next,
                uint32_t newSize, const DeltaEncodeOptions& options,
                std::vector<unsigned char>* out, DeltaEncodeStats* stats = nullptr);
