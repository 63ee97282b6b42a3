// A hash index of the base for the delta encoder: the 8-byte strings that
// start at every stride-th base position, chained by hash. The stride grows
// with the base so that the index stays under maxEntries (4 bytes each, and
// as many bucket heads); a match of stride + 7 bytes or more is always found.
#pragma once

#include <cstdint>
#include <vector>

constexpr uint32_t kDeltaHashBytes = 8;

struct DeltaIndex {
  const unsigned char* base;
  uint32_t baseSize;
  uint32_t stride;
  int bits;                     // log2 of the bucket count
  std::vector<uint32_t> heads;  // bucket -> entry + 1 of the latest position, 0: none
  std::vector<uint32_t> chain;  // entry -> entry + 1 of the previous one in its bucket
};

// 0, or -1 when the memory cannot be had.
int DeltaIndexBuild(DeltaIndex* index, const unsigned char* base, uint32_t baseSize,
                    uint32_t maxEntries);

inline uint32_t DeltaHashAt(const DeltaIndex& index, const unsigned char* p) {
  uint64_t v = static_cast<uint64_t>(p[0]) | static_cast<uint64_t>(p[1]) << 8 |
               static_cast<uint64_t>(p[2]) << 16 | static_cast<uint64_t>(p[3]) << 24 |
               static_cast<uint64_t>(p[4]) << 32 | static_cast<uint64_t>(p[5]) << 40 |
               static_cast<uint64_t>(p[6]) << 48 | static_cast<uint64_t>(p[7]) << 56;
  return static_cast<uint32_t>((v * 0x9E3779B97F4A7C15ull) >> (64 - index.bits));
}
