#include "updpack/delta/delta_index.h"

#include <cstddef>
#include <new>

int DeltaIndexBuild(DeltaIndex* index, const unsigned char* base, uint32_t baseSize,
                    uint32_t maxEntries) {
  index->base = base;
  index->baseSize = baseSize;
  index->stride = 1;
  index->bits = 10;
  index->heads.clear();
  index->chain.clear();
  if (baseSize < kDeltaHashBytes || maxEntries == 0) return 0;
  uint64_t starts = baseSize - kDeltaHashBytes + 1;
  index->stride = static_cast<uint32_t>((starts + maxEntries - 1) / maxEntries);
  uint32_t entries = static_cast<uint32_t>((starts + index->stride - 1) / index->stride);
  while (index->bits < 30 && (1u << index->bits) < entries) ++index->bits;
  try {
    index->heads.assign(size_t{1} << index->bits, 0);
    index->chain.resize(entries);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  for (uint32_t e = 0; e < entries; ++e) {
    uint32_t h = DeltaHashAt(*index, base + static_cast<size_t>(e) * index->stride);
    index->chain[e] = index->heads[h];
    index->heads[h] = e + 1;
  }
  return 0;
}
