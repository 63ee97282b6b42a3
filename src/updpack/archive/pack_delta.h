// Delta entries of an update being read (list, verify, extract, apply): the
// header, the base check, and the new file made from the base. Without a
// base, the three streams and the instructions are still checked against a
// base of the announced size; only the new file's checksum cannot be.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "payload/delta_apply.h"
#include "updpack/archive/pack_read.h"

// Reads the time stamp and the delta header of the entry just read, then
// puts the stream back at the time stamp. 0, or -1 with the reason in *why.
int PackDeltaPeek(PackReader* reader, const PayloadEntry& entry, DeltaHeader* header,
                  uint64_t* stamp, std::string* why);

// Compares the file at basePath with the base the header names (size, then
// SHA-256). 0, or -1 with the reason in *why (missing, other size, other
// contents).
int PackDeltaCheckBase(const DeltaHeader& header, const std::string& basePath, std::string* why);

// Consumes the entry's data: with a basePath, checks the base and writes the
// new file to out (null: only checked), its size and checksum verified; with
// an empty basePath, checks what can be known without the base and writes
// nothing. 0, or -1 with the reason in *why; *baseDiffers tells a base that
// is missing or not the one the delta needs from a damaged delta.
int PackDeltaMake(PackReader* reader, const PayloadEntry& entry, const std::string& basePath,
                  FILE* out, uint64_t* stamp, std::string* why, bool* baseDiffers = nullptr);
