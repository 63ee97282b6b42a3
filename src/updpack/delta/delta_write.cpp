#include "updpack/delta/delta_write.h"

#include <cstdlib>
#include <cstring>

#include "payload/format.h"

namespace {

constexpr size_t kPendingBytes = 1 << 16;

int Start(DeltaDeflater* d, int level) {
  memset(&d->z, 0, sizeof d->z);
  d->pending.clear();
  d->packed.clear();
  d->open = deflateInit2(&d->z, level, Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY) == Z_OK;
  return d->open ? 0 : -1;
}

// Hands the pending bytes to zlib (and ends the stream when finish).
bool Drain(DeltaDeflater* d, bool finish) {
  d->z.next_in = d->pending.data();
  d->z.avail_in = static_cast<uInt>(d->pending.size());
  for (;;) {
    size_t have = d->packed.size();
    size_t room = d->z.avail_in / 2 + 4096;
    d->packed.resize(have + room);
    d->z.next_out = d->packed.data() + have;
    d->z.avail_out = static_cast<uInt>(room);
    int r = deflate(&d->z, finish ? Z_FINISH : Z_NO_FLUSH);
    d->packed.resize(have + room - d->z.avail_out);
    if (r == Z_STREAM_END) break;
    if (r != Z_OK && r != Z_BUF_ERROR) return false;
    if (!finish && d->z.avail_in == 0) break;
  }
  d->pending.clear();
  return true;
}

void Put(DeltaWriter* w, DeltaDeflater* d, const unsigned char* bytes, size_t n) {
  d->pending.insert(d->pending.end(), bytes, bytes + n);
  if (d->pending.size() >= kPendingBytes && !Drain(d, false)) w->failed = true;
}

void PutVarint(DeltaWriter* w, DeltaDeflater* d, uint64_t v) {
  unsigned char bytes[10];
  size_t n = 0;
  while (v >= 0x80) {
    bytes[n++] = static_cast<unsigned char>(v | 0x80);
    v >>= 7;
  }
  bytes[n++] = static_cast<unsigned char>(v);
  Put(w, d, bytes, n);
}

void PutHead(DeltaWriter* w, uint32_t kind, uint32_t n) {
  PutVarint(w, &w->control, (static_cast<uint64_t>(n) << 2) | kind);
}

// Relative to whichever recent end is nearest.
void PutMove(DeltaWriter* w, int64_t baseAt) {
  uint32_t slot = 0;
  for (uint32_t k = 1; k < kDeltaRecentEnds; ++k) {
    if (std::llabs(baseAt - w->recent[k]) < std::llabs(baseAt - w->recent[slot])) slot = k;
  }
  int64_t step = baseAt - w->recent[slot];
  uint64_t zigzag = (static_cast<uint64_t>(step) << 1) ^ static_cast<uint64_t>(step >> 63);
  PutVarint(w, &w->control, (zigzag << 2) | slot);
}

void Remember(DeltaWriter* w, int64_t end) {
  for (uint32_t k = kDeltaRecentEnds - 1; k > 0; --k) w->recent[k] = w->recent[k - 1];
  w->recent[0] = end;
}

void Put32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

void Stop(DeltaDeflater* d) {
  if (d->open) deflateEnd(&d->z);
  d->open = false;
}

}  // namespace

int DeltaWriterBegin(DeltaWriter* w, int level) {
  for (int64_t& r : w->recent) r = 0;
  w->made = 0;
  w->failed = false;
  w->control.open = w->difference.open = w->literal.open = false;
  if (Start(&w->control, level) || Start(&w->difference, level) || Start(&w->literal, level)) {
    DeltaWriterAbandon(w);
    return -1;
  }
  return 0;
}

void DeltaWriteCopy(DeltaWriter* w, int64_t baseAt, uint32_t n) {
  PutHead(w, kDeltaKindCopy, n);
  PutMove(w, baseAt);
  Remember(w, baseAt + n);
  w->made += n;
}

void DeltaWriteAdd(DeltaWriter* w, int64_t baseAt, const unsigned char* baseBytes,
                   const unsigned char* newBytes, uint32_t n) {
  PutHead(w, kDeltaKindAdd, n);
  PutMove(w, baseAt);
  // Runs of unchanged bytes, then of changed ones with their differences.
  unsigned char diff[4096];
  for (uint32_t at = 0; at < n;) {
    uint32_t same = 0;
    while (at + same < n && newBytes[at + same] == baseBytes[at + same]) ++same;
    uint32_t changed = 0;
    while (at + same + changed < n && changed < sizeof diff &&
           newBytes[at + same + changed] != baseBytes[at + same + changed]) {
      uint32_t i = at + same + changed;
      diff[changed++] = static_cast<unsigned char>(newBytes[i] - baseBytes[i]);
    }
    PutVarint(w, &w->difference, same);
    PutVarint(w, &w->difference, changed);
    Put(w, &w->difference, diff, changed);
    at += same + changed;
  }
  Remember(w, baseAt + n);
  w->made += n;
}

void DeltaWriteLiteral(DeltaWriter* w, const unsigned char* bytes, uint32_t n) {
  PutHead(w, kDeltaKindLiteral, n);
  Put(w, &w->literal, bytes, n);
  w->made += n;
}

int DeltaWriterEnd(DeltaWriter* w, uint32_t baseSize, const unsigned char* baseSha,
                   uint32_t newSize, const unsigned char* newSha, std::vector<unsigned char>* out) {
  bool ok = !w->failed && Drain(&w->control, true) && Drain(&w->difference, true) &&
            Drain(&w->literal, true);
  DeltaWriterAbandon(w);
  if (!ok) return -1;
  unsigned char header[kDeltaHeaderBytes];
  memcpy(header, kDeltaMagic, 4);
  Put32(header + 4, baseSize);
  memcpy(header + 8, baseSha, kSha256Bytes);
  Put32(header + 40, newSize);
  memcpy(header + 44, newSha, kSha256Bytes);
  Put32(header + 76, static_cast<uint32_t>(w->control.packed.size()));
  Put32(header + 80, static_cast<uint32_t>(w->difference.packed.size()));
  Put32(header + 84, static_cast<uint32_t>(w->literal.packed.size()));
  out->assign(header, header + kDeltaHeaderBytes);
  for (DeltaDeflater* d : {&w->control, &w->difference, &w->literal}) {
    out->insert(out->end(), d->packed.begin(), d->packed.end());
    std::vector<unsigned char>().swap(d->packed);
  }
  return 0;
}

void DeltaWriterAbandon(DeltaWriter* w) {
  Stop(&w->control);
  Stop(&w->difference);
  Stop(&w->literal);
}
