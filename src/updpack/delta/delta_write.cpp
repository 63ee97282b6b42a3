#include "updpack/delta/delta_write.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "payload/format.h"

namespace {

// Bytes compressed at once: pieces are joined without history (libdeflate),
// so each boundary costs a little; larger pieces cost memory.
constexpr size_t kPieceBytes = 1 << 20;

void Start(DeltaDeflater* d, CompressEngine* engine, int level) {
  d->engine = engine;
  d->pending.clear();
  d->history.clear();
  d->packed.resize(2);
  CompressZlibHeader(level, d->packed.data());
  d->adler = 1;
}

// A delta that copies most of its file gets nothing from whole files'
// level: its literals may pack as well as they can without making a file
// that has little in common with its base look worth a delta.
bool LiteralsAreFew(const DeltaWriter& w) { return w.literalMade * 2 <= w.made; }

// Compresses the pending bytes as the next piece (the last when finish).
bool Drain(DeltaWriter* w, DeltaDeflater* d, bool finish) {
  if (!finish && d->pending.empty()) return true;
  CompressEngine* engine = d->engine;
  if (d == &w->literal && LiteralsAreFew(*w)) engine = w->bestEngine;
  if (CompressPiece(engine, d->history.data(), d->history.size(), d->pending.data(),
                    d->pending.size(), finish, &w->piece) != 0) {
    return false;
  }
  d->packed.insert(d->packed.end(), w->piece.begin(), w->piece.end());
  d->adler = CompressAdler32(w->kind, d->adler, d->pending.data(), d->pending.size());
  if (CompressEngineUsesHistory(w->kind)) {
    size_t keep = std::min(d->pending.size(), kCompressHistoryMax);
    d->history.assign(d->pending.end() - keep, d->pending.end());
  }
  d->pending.clear();
  if (finish) {
    for (int shift = 24; shift >= 0; shift -= 8) {
      d->packed.push_back(static_cast<unsigned char>(d->adler >> shift));
    }
  }
  return true;
}

void Put(DeltaWriter* w, DeltaDeflater* d, const unsigned char* bytes, size_t n) {
  d->pending.insert(d->pending.end(), bytes, bytes + n);
  if (d->pending.size() >= kPieceBytes && !Drain(w, d, false)) w->failed = true;
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

}  // namespace

int DeltaWriterBegin(DeltaWriter* w, int literalLevel) {
  for (int64_t& r : w->recent) r = 0;
  w->made = 0;
  w->literalMade = 0;
  w->failed = false;
  w->kind = CompressDefaultEngine();
  w->literalEngine = w->bestEngine = nullptr;
  w->literalEngine = CompressEngineCreate(w->kind, literalLevel);
  w->bestEngine = CompressEngineCreate(w->kind, kCompressLevelMax);
  if (!w->literalEngine || !w->bestEngine) {
    DeltaWriterAbandon(w);
    return -1;
  }
  Start(&w->control, w->bestEngine, kCompressLevelMax);
  Start(&w->difference, w->bestEngine, kCompressLevelMax);
  Start(&w->literal, w->literalEngine, literalLevel);
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
  // Counted first: the piece these bytes may complete is judged with them.
  w->made += n;
  w->literalMade += n;
  PutHead(w, kDeltaKindLiteral, n);
  Put(w, &w->literal, bytes, n);
}

int DeltaWriterEnd(DeltaWriter* w, uint32_t baseSize, const unsigned char* baseSha,
                   uint32_t newSize, const unsigned char* newSha, std::vector<unsigned char>* out) {
  bool ok = !w->failed && Drain(w, &w->control, true) && Drain(w, &w->difference, true) &&
            Drain(w, &w->literal, true);
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
  CompressEngineFree(w->literalEngine);
  CompressEngineFree(w->bestEngine);
  w->literalEngine = w->bestEngine = nullptr;
}
