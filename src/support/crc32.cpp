#include "support/crc32.h"

namespace {

uint32_t g_table[256];
bool g_tableReady = false;

void BuildTable() {
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t v = i;
    for (int bit = 0; bit < 8; ++bit) v = (v & 1) ? (v >> 1) ^ 0xEDB88320u : v >> 1;
    g_table[i] = v;
  }
  g_tableReady = true;
}

}  // namespace

uint32_t Crc32Update(uint32_t r, const void* bytes, size_t count) {
  if (!g_tableReady) BuildTable();
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  for (size_t i = 0; i < count; ++i) r = g_table[(r ^ p[i]) & 0xFF] ^ (r >> 8);
  return r;
}
