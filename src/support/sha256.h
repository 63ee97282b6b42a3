// SHA-256 (FIPS 180-4), fed in pieces of any size. The delta entries name
// their base and new file by it: CRC-32 cannot tell a player's modified file
// from the one a delta was made against.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kSha256Bytes = 32;

struct Sha256 {
  uint32_t state[8];
  uint64_t length;  // bytes fed so far
  unsigned char block[64];
  uint32_t blockUsed;
};

void Sha256Begin(Sha256* s);
void Sha256Update(Sha256* s, const void* bytes, size_t count);
// Pads, writes the digest and leaves s to be begun again.
void Sha256End(Sha256* s, unsigned char digest[kSha256Bytes]);

// Uses the processor's SHA extensions when it has them (the default) or
// not; whether they are used now. For tests of both ways.
bool Sha256Accelerate(bool on);

// The digest of one buffer.
void Sha256Of(const void* bytes, size_t count, unsigned char digest[kSha256Bytes]);
