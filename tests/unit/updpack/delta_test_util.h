// Test support for the delta tests: files in memory read through the
// decoder's reader, a sink that records, and deltas made from instructions.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "payload/delta_apply.h"
#include "support/sha256.h"
#include "updpack/delta/delta_write.h"

namespace testdelta {

using Bytes = std::vector<unsigned char>;

struct Memory {
  const Bytes* bytes;
  int failAfter = -1;  // reads that succeed before every read fails
  int reads = 0;
};

inline int ReadMemory(void* context, uint32_t offset, unsigned char* data, uint32_t size) {
  Memory* m = static_cast<Memory*>(context);
  if (m->failAfter >= 0 && m->reads >= m->failAfter) return 1;
  ++m->reads;
  if (static_cast<uint64_t>(offset) + size > m->bytes->size()) return 1;
  memcpy(data, m->bytes->data() + offset, size);
  return 0;
}

struct Output {
  Bytes data;
  std::vector<uint32_t> writes;
  std::vector<uint32_t> positions;
  int failAtWrite = -1;
};

inline int RecordWrite(void* context, const unsigned char* data, uint32_t size) {
  Output* o = static_cast<Output*>(context);
  if (static_cast<int>(o->writes.size()) == o->failAtWrite) return 1;
  o->data.insert(o->data.end(), data, data + size);
  o->writes.push_back(size);
  return 0;
}

inline void RecordProgress(void* context, uint32_t written, uint32_t position) {
  Output* o = static_cast<Output*>(context);
  if (written != o->data.size()) o->positions.push_back(0xFFFFFFFFu);  // a wrong count shows
  o->positions.push_back(position);
}

struct Applied {
  int code;
  uint32_t written;
  Output out;
};

// Applies the delta to the base the way the updater will: header, then the
// streams; baseFailAfter/deltaFailAfter make reads fail.
inline Applied Apply(const Bytes& delta, const Bytes& base, int baseFailAfter = -1,
                     int failAtWrite = -1) {
  Applied a{};
  a.out.failAtWrite = failAtWrite;
  DeltaHeader h;
  if (delta.size() < kDeltaHeaderBytes) {
    a.code = kDeltaBadHeader;
    return a;
  }
  a.code = DeltaParseHeader(delta.data(), static_cast<uint32_t>(delta.size()), &h);
  if (a.code != kDeltaOk) return a;
  Memory d{&delta}, b{&base, baseFailAfter};
  DeltaReader dr{&d, ReadMemory}, br{&b, ReadMemory};
  PayloadSink sink{&a.out, RecordWrite, RecordProgress};
  a.code = DeltaApply(h, dr, br, static_cast<uint32_t>(base.size()), sink, 0, &a.written);
  return a;
}

inline Bytes Sha(const Bytes& b) {
  Bytes d(kSha256Bytes);
  Sha256Of(b.data(), b.size(), d.data());
  return d;
}

// Builds a delta from instructions; newBytes is what they are meant to make
// (its size and checksum go into the header).
struct Builder {
  DeltaWriter w;
  const Bytes& base;
  explicit Builder(const Bytes& b) : base(b) { DeltaWriterBegin(&w, 6); }
  Builder& Copy(int64_t at, uint32_t n) {
    DeltaWriteCopy(&w, at, n);
    return *this;
  }
  // Adds that make `made` from base bytes at `at` (made.size() bytes).
  Builder& Add(int64_t at, const Bytes& made) {
    DeltaWriteAdd(&w, at, base.data() + at, made.data(), static_cast<uint32_t>(made.size()));
    return *this;
  }
  Builder& Literal(const Bytes& bytes) {
    DeltaWriteLiteral(&w, bytes.data(), static_cast<uint32_t>(bytes.size()));
    return *this;
  }
  Bytes End(const Bytes& newBytes) {
    Bytes out;
    DeltaWriterEnd(&w, static_cast<uint32_t>(base.size()), Sha(base).data(),
                   static_cast<uint32_t>(newBytes.size()), Sha(newBytes).data(), &out);
    return out;
  }
};

inline Bytes Random(size_t n, uint32_t seed) {
  Bytes b(n);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& c : b) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<unsigned char>(x >> 24);
  }
  return b;
}

inline Bytes Slice(const Bytes& b, size_t at, size_t n) {
  return Bytes(b.begin() + at, b.begin() + at + n);
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace testdelta
