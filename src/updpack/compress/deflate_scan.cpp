#include "updpack/compress/deflate_scan.h"

#include <cstring>

namespace {

constexpr int kMaxCodeBits = 15;
constexpr int kTableBits = 11;  // codes up to this length decode with one lookup

// Table entries: the bits to consume (the code and, for lengths and
// distances, their extra bits) and what the code stands for.
constexpr uint16_t kSlow = 0;  // a longer code, or no code at all
constexpr uint16_t kLiteral = 1 << 8;
constexpr uint16_t kLength = 2 << 8;
constexpr uint16_t kEnd = 3 << 8;
constexpr uint16_t kKindMask = 3 << 8;

const uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Reads bits lowest first through a 64-bit buffer that one refill tops up to
// at least 56 bits: enough for a length code, a distance code and their
// extra bits. Past the end of the data it reads zeros and remembers it.
struct BitReader {
  const uint8_t* data;
  size_t size;
  size_t next = 0;  // the next byte to load (may pass size)
  uint64_t buf = 0;
  int count = 0;

  void Refill() {
    if (next + 8 <= size) {
      uint64_t v;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
      memcpy(&v, data + next, 8);
#else
      v = 0;
      for (int i = 7; i >= 0; --i) v = (v << 8) | data[next + i];
#endif
      buf |= v << count;
      int take = (63 - count) >> 3;
      next += take;
      count += take * 8;
    } else {
      while (count <= 56) {
        uint64_t byte = next < size ? data[next] : 0;
        buf |= byte << count;
        ++next;
        count += 8;
      }
    }
  }
  uint32_t Peek(int n) const { return static_cast<uint32_t>(buf & ((uint64_t(1) << n) - 1)); }
  void Drop(int n) {
    buf >>= n;
    count -= n;
  }
  // Callers refill first; n is at most 32.
  uint32_t Take(int n) {
    uint32_t v = Peek(n);
    Drop(n);
    return v;
  }
  size_t Pos() const { return next * 8 - count; }
  bool Overrun() const { return Pos() > size * 8; }
  // Skips to the next byte boundary and empties the buffer.
  void Align() {
    size_t pos = (Pos() + 7) & ~size_t(7);
    next = pos / 8;
    buf = 0;
    count = 0;
  }
};

// A canonical Huffman code: counts per length and symbols in code order for
// the slow path, and a table for the codes of up to kTableBits bits.
struct Huffman {
  uint16_t count[kMaxCodeBits + 1];
  uint16_t symbol[288];
  uint16_t table[1 << kTableBits];
};

uint32_t Reverse(uint32_t code, int bits) {
  uint32_t r = 0;
  for (int i = 0; i < bits; ++i) r |= ((code >> i) & 1) << (bits - 1 - i);
  return r;
}

// What a table entry says for a symbol of a literal/length code (lit) or a
// distance code: its kind and the extra bits that follow its code.
uint16_t Describe(int sym, bool lit, int* extra) {
  *extra = 0;
  if (!lit) {
    if (sym >= 30) return kSlow;  // 30 and 31 are no distances
    *extra = kDistanceExtra[sym];
    return kLiteral;  // any valid kind: a distance
  }
  if (sym < 256) return kLiteral;
  if (sym == 256) return kEnd;
  if (sym > 285) return kSlow;  // 286 and 287 never occur
  *extra = kLengthExtra[sym - 257];
  return kLength;
}

// Returns 0, or -1 when the lengths describe an over-subscribed code.
// Incomplete codes are allowed (deflate permits a single distance code).
int Build(Huffman* h, const uint8_t* lengths, int n, bool lit) {
  memset(h->count, 0, sizeof h->count);
  for (int i = 0; i < n; ++i) h->count[lengths[i]]++;
  h->count[0] = 0;
  int left = 1;
  for (int len = 1; len <= kMaxCodeBits; ++len) {
    left <<= 1;
    left -= h->count[len];
    if (left < 0) return -1;
  }
  uint16_t offset[kMaxCodeBits + 2];
  offset[1] = 0;
  for (int len = 1; len <= kMaxCodeBits; ++len) offset[len + 1] = offset[len] + h->count[len];
  for (int i = 0; i < n; ++i)
    if (lengths[i]) h->symbol[offset[lengths[i]]++] = static_cast<uint16_t>(i);

  memset(h->table, 0, sizeof h->table);
  uint32_t code = 0;
  int index = 0;
  for (int len = 1; len <= kMaxCodeBits; ++len) {
    for (int k = 0; k < h->count[len]; ++k, ++code, ++index) {
      if (len > kTableBits) continue;
      int extra;
      uint16_t kind = Describe(h->symbol[index], lit, &extra);
      uint16_t entry = kind == kSlow ? kSlow : static_cast<uint16_t>(kind | (len + extra));
      for (uint32_t r = Reverse(code, len); r < (1u << kTableBits); r += 1u << len)
        h->table[r] = entry;
    }
    code <<= 1;
  }
  return 0;
}

// The slow path: bit by bit through the canonical code. Returns the symbol
// and its code length, or -1 for a bit pattern that is no code.
int DecodeSlow(const BitReader& in, const Huffman* h, int* length) {
  int code = 0, first = 0, index = 0;
  for (int len = 1; len <= kMaxCodeBits; ++len) {
    code |= static_cast<int>((in.buf >> (len - 1)) & 1);
    int count = h->count[len];
    if (code - count < first) {
      *length = len;
      return h->symbol[index + (code - first)];
    }
    index += count;
    first += count;
    first <<= 1;
    code <<= 1;
  }
  return -1;
}

// The slow path of one symbol: decodes it bit by bit and drops it with its
// extra bits. Returns its kind, or kSlow for an invalid code.
uint16_t SkipSlow(BitReader* in, const Huffman* h, bool lit) {
  int len;
  int sym = DecodeSlow(*in, h, &len);
  if (sym < 0) return kSlow;
  int extra;
  uint16_t kind = Describe(sym, lit, &extra);
  if (kind != kSlow) in->Drop(len + extra);
  return kind;
}

// Skips the symbols of one compressed block up to its end-of-block code.
// After a refill the buffer holds at least 56 bits, more than the longest
// length and distance pair with its extra bits (48).
int SkipSymbols(BitReader* in, const Huffman* litlen, const Huffman* dist) {
  for (;;) {
    in->Refill();
    if (in->next > in->size + 8) return -1;  // long past the end: stop early
    uint16_t entry = litlen->table[in->Peek(kTableBits)];
    // Runs of literals (11 bits at most each through the table) need no
    // refill for the first two.
    if ((entry & kKindMask) == kLiteral) {
      in->Drop(entry & 31);
      entry = litlen->table[in->Peek(kTableBits)];
      if ((entry & kKindMask) == kLiteral) {
        in->Drop(entry & 31);
        entry = litlen->table[in->Peek(kTableBits)];
        if ((entry & kKindMask) == kLiteral) {
          in->Drop(entry & 31);
          continue;
        }
      }
      in->Refill();
      entry = litlen->table[in->Peek(kTableBits)];
    }
    uint16_t kind = entry & kKindMask;
    if (entry == kSlow) {
      kind = SkipSlow(in, litlen, true);
      if (kind == kSlow) return -1;
    } else {
      in->Drop(entry & 31);
    }
    if (kind == kLiteral) continue;
    if (kind == kEnd) return 0;
    entry = dist->table[in->Peek(kTableBits)];
    if (entry == kSlow) {
      if (SkipSlow(in, dist, false) == kSlow) return -1;
    } else {
      in->Drop(entry & 31);
    }
  }
}

struct FixedCodes {
  Huffman litlen, dist;
  int status;
};

int FixedTables(Huffman* litlen, Huffman* dist) {
  uint8_t lengths[288];
  for (int i = 0; i < 144; ++i) lengths[i] = 8;
  for (int i = 144; i < 256; ++i) lengths[i] = 9;
  for (int i = 256; i < 280; ++i) lengths[i] = 7;
  for (int i = 280; i < 288; ++i) lengths[i] = 8;
  if (Build(litlen, lengths, 288, true) != 0) return -1;
  for (int i = 0; i < 30; ++i) lengths[i] = 5;
  return Build(dist, lengths, 30, false);
}

int DynamicTables(BitReader* in, Huffman* litlen, Huffman* dist) {
  static const uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                     11, 4,  12, 3, 13, 2, 14, 1, 15};
  in->Refill();
  int nlen = static_cast<int>(in->Take(5)) + 257;
  int ndist = static_cast<int>(in->Take(5)) + 1;
  int ncode = static_cast<int>(in->Take(4)) + 4;
  if (nlen > 286 || ndist > 30) return -1;
  uint8_t lengths[320] = {};
  for (int i = 0; i < ncode; ++i) {
    in->Refill();
    lengths[kOrder[i]] = static_cast<uint8_t>(in->Take(3));
  }
  Huffman lencode;
  if (Build(&lencode, lengths, 19, true) != 0) return -1;
  memset(lengths, 0, 19);
  int index = 0;
  while (index < nlen + ndist) {
    in->Refill();
    // The code length code has at most 7 bits: bit by bit is quick enough.
    int len;
    int sym = DecodeSlow(*in, &lencode, &len);
    if (sym < 0) return -1;
    in->Drop(len);
    if (sym < 16) {
      lengths[index++] = static_cast<uint8_t>(sym);
      continue;
    }
    uint8_t value = 0;
    int repeat;
    if (sym == 16) {
      if (index == 0) return -1;
      value = lengths[index - 1];
      repeat = 3 + static_cast<int>(in->Take(2));
    } else if (sym == 17) {
      repeat = 3 + static_cast<int>(in->Take(3));
    } else {
      repeat = 11 + static_cast<int>(in->Take(7));
    }
    if (index + repeat > nlen + ndist) return -1;
    while (repeat--) lengths[index++] = value;
    if (in->Overrun()) return -1;
  }
  if (lengths[256] == 0) return -1;  // a block must be able to end
  if (Build(litlen, lengths, nlen, true) != 0) return -1;
  return Build(dist, lengths + nlen, ndist, false);
}

}  // namespace

int DeflateFindFinalBlock(const uint8_t* data, size_t size, DeflateFinalBlock* found) {
  BitReader in{data, size};
  Huffman litlen, dist;
  for (;;) {
    in.Refill();
    size_t start = in.Pos();
    uint32_t final = in.Take(1);
    uint32_t type = in.Take(2);
    if (type == 0) {
      in.Align();
      if (in.next + 4 > size) return -1;
      const uint8_t* p = data + in.next;
      uint32_t len = p[0] | p[1] << 8;
      uint32_t nlen = p[2] | p[3] << 8;
      if ((len ^ 0xFFFF) != nlen) return -1;
      in.next += 4 + size_t(len);
    } else if (type == 1) {
      static const FixedCodes* fixed = [] {
        static FixedCodes codes;
        codes.status = FixedTables(&codes.litlen, &codes.dist);
        return &codes;
      }();
      if (fixed->status != 0 || SkipSymbols(&in, &fixed->litlen, &fixed->dist) != 0) return -1;
    } else if (type == 2) {
      if (DynamicTables(&in, &litlen, &dist) != 0 || SkipSymbols(&in, &litlen, &dist) != 0)
        return -1;
    } else {
      return -1;
    }
    if (in.Overrun()) return -1;
    if (final) {
      found->startBit = start;
      found->endBit = in.Pos();
      return 0;
    }
  }
}
