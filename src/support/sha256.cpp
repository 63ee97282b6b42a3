#include "support/sha256.h"

#include <cstring>

#if (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__)
#include <cpuid.h>
#include <immintrin.h>
#define UPD_SHA256_X86 1
#endif

namespace {

const uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

uint32_t Load32(const unsigned char* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

void Compress(uint32_t state[8], const unsigned char* block) {
  uint32_t w[64];
  for (int i = 0; i < 16; ++i) w[i] = Load32(block + 4 * i);
  for (int i = 16; i < 64; ++i) {
    uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
  for (int i = 0; i < 64; ++i) {
    uint32_t t1 =
        h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
    uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
  state[5] += f;
  state[6] += g;
  state[7] += h;
}

void CompressPortable(uint32_t state[8], const unsigned char* blocks, size_t count) {
  for (; count > 0; --count, blocks += 64) Compress(state, blocks);
}

#ifdef UPD_SHA256_X86
// The processor's SHA extensions: several times the portable speed, which
// keeps verifying a new file cheaper than inflating it. The stack is
// realigned on entry: a 32-bit Windows thread may start with only 4 bytes
// of alignment.
__attribute__((target("sha,sse4.1"), force_align_arg_pointer)) void CompressShaNi(
    uint32_t state[8], const unsigned char* blocks, size_t count) {
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
  __m128i cdgh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
  t = _mm_shuffle_epi32(t, 0xB1);        // CDAB
  cdgh = _mm_shuffle_epi32(cdgh, 0x1B);  // EFGH
  __m128i abef = _mm_alignr_epi8(t, cdgh, 8);
  cdgh = _mm_blend_epi16(cdgh, t, 0xF0);
  for (; count > 0; --count, blocks += 64) {
    __m128i savedAbef = abef, savedCdgh = cdgh;
    __m128i m[4];
    for (int i = 0; i < 16; ++i) {
      if (i < 4) {
        m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)),
                                byteSwap);
      } else {
        __m128i w = _mm_sha256msg1_epu32(m[i & 3], m[(i + 1) & 3]);
        w = _mm_add_epi32(w, _mm_alignr_epi8(m[(i + 3) & 3], m[(i + 2) & 3], 4));
        m[i & 3] = _mm_sha256msg2_epu32(w, m[(i + 3) & 3]);
      }
      __m128i k = _mm_add_epi32(m[i & 3],
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRound + 4 * i)));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(k, 0x0E));
    }
    abef = _mm_add_epi32(abef, savedAbef);
    cdgh = _mm_add_epi32(cdgh, savedCdgh);
  }
  t = _mm_shuffle_epi32(abef, 0x1B);     // FEBA
  cdgh = _mm_shuffle_epi32(cdgh, 0xB1);  // DCHG
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(t, cdgh, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(cdgh, t, 8));
}

bool HasShaNi() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSE4_1) || !(c & bit_SSSE3)) return false;
  return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & (1u << 29));
}

bool g_accelerated = HasShaNi();
#else
bool g_accelerated = false;
#endif

void CompressBlocks(uint32_t state[8], const unsigned char* blocks, size_t count) {
#ifdef UPD_SHA256_X86
  if (g_accelerated) {
    CompressShaNi(state, blocks, count);
    return;
  }
#endif
  CompressPortable(state, blocks, count);
}

}  // namespace

bool Sha256Accelerate(bool on) {
#ifdef UPD_SHA256_X86
  g_accelerated = on && HasShaNi();
#else
  (void)on;
#endif
  return g_accelerated;
}

void Sha256Begin(Sha256* s) {
  static const uint32_t kInitial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  memcpy(s->state, kInitial, sizeof kInitial);
  s->length = 0;
  s->blockUsed = 0;
}

void Sha256Update(Sha256* s, const void* bytes, size_t count) {
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  s->length += count;
  if (s->blockUsed) {
    size_t take = 64 - s->blockUsed;
    if (take > count) take = count;
    memcpy(s->block + s->blockUsed, p, take);
    s->blockUsed += static_cast<uint32_t>(take);
    p += take;
    count -= take;
    if (s->blockUsed < 64) return;
    CompressBlocks(s->state, s->block, 1);
    s->blockUsed = 0;
  }
  CompressBlocks(s->state, p, count / 64);
  p += count / 64 * 64;
  count %= 64;
  if (count) memcpy(s->block, p, count);
  s->blockUsed = static_cast<uint32_t>(count);
}

void Sha256End(Sha256* s, unsigned char digest[kSha256Bytes]) {
  uint64_t bits = s->length * 8;
  s->block[s->blockUsed++] = 0x80;
  if (s->blockUsed > 56) {
    memset(s->block + s->blockUsed, 0, 64 - s->blockUsed);
    CompressBlocks(s->state, s->block, 1);
    s->blockUsed = 0;
  }
  memset(s->block + s->blockUsed, 0, 56 - s->blockUsed);
  for (int i = 0; i < 8; ++i) s->block[56 + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
  CompressBlocks(s->state, s->block, 1);
  for (int i = 0; i < 8; ++i) {
    digest[4 * i] = static_cast<unsigned char>(s->state[i] >> 24);
    digest[4 * i + 1] = static_cast<unsigned char>(s->state[i] >> 16);
    digest[4 * i + 2] = static_cast<unsigned char>(s->state[i] >> 8);
    digest[4 * i + 3] = static_cast<unsigned char>(s->state[i]);
  }
  Sha256Begin(s);
}

void Sha256Of(const void* bytes, size_t count, unsigned char digest[kSha256Bytes]) {
  Sha256 s;
  Sha256Begin(&s);
  Sha256Update(&s, bytes, count);
  Sha256End(&s, digest);
}
