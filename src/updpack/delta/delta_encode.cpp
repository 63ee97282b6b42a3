#include "updpack/delta/delta_encode.h"

#include <algorithm>
#include <cstring>

#include "support/sha256.h"
#include "updpack/delta/delta_index.h"
#include "updpack/delta/delta_write.h"

namespace {

// A new diagonal must beat the current one by this many bytes over its span.
constexpr uint32_t kSwitchGain = 8;
// Unit in which a stretched region is judged.
constexpr int64_t kBlock = 32;
// How well the new file packs is measured on blocks this long.
constexpr int64_t kProbeBlock = 1 << 16;

struct Encoder {
  const unsigned char* base;
  int64_t baseSize;
  const unsigned char* next;
  int64_t newSize;
  const DeltaEncodeOptions* options;
  DeltaIndex index;
  DeltaWriter writer;
  DeltaEncodeStats stats;
  CompressEngine* probe;  // the fastest level, to measure how blocks pack
  std::vector<unsigned char> probed;
  std::vector<signed char> text;  // per probe block: 1 packs to under half, 0 not, -1 not known
};

bool IsText(Encoder* e, int64_t n) {
  signed char& text = e->text[static_cast<size_t>(n / kProbeBlock)];
  if (text < 0) {
    int64_t from = n / kProbeBlock * kProbeBlock;
    size_t size = static_cast<size_t>(std::min(kProbeBlock, e->newSize - from));
    bool packed = CompressPiece(e->probe, nullptr, 0, e->next + from, size, true, &e->probed) == 0;
    text = packed && e->probed.size() * 2 < size;
  }
  return text != 0;
}

// The shortest match worth an instruction at n; one near a recent copy is
// cheap to place, so a shorter one pays.
int64_t MatchWorth(Encoder* e, int64_t n, int cost) {
  const DeltaEncodeOptions& o = *e->options;
  bool text = IsText(e, n);
  uint32_t far = text ? o.textMinMatch : o.minMatch;
  uint32_t near = std::min(far, text ? o.textNearMatch : o.nearMatch);
  return cost <= 2 ? near : far;
}

int64_t ForwardRun(const Encoder& e, int64_t n, int64_t b, int64_t limit) {
  int64_t len = 0;
  int64_t most = e.newSize - n;
  if (e.baseSize - b < most) most = e.baseSize - b;
  if (limit < most) most = limit;
  while (len + 8 <= most) {
    uint64_t x, y;
    memcpy(&x, e.next + n + len, 8);
    memcpy(&y, e.base + b + len, 8);
    if (x != y) return len + __builtin_ctzll(x ^ y) / 8;
    len += 8;
  }
  while (len < most && e.next[n + len] == e.base[b + len]) ++len;
  return len;
}

int64_t BackwardRun(const Encoder& e, int64_t n, int64_t b, int64_t limit) {
  int64_t len = 0;
  while (len < limit && len < b && e.next[n - len - 1] == e.base[b - len - 1]) ++len;
  return len;
}

struct Match {
  int64_t start;  // in the new file
  int64_t pos;    // in the base
  int64_t len;
  int cost;  // bytes its base position takes in the control stream
};

// Bytes of the varint that places a copy at b (see delta_write's PutMove).
int MoveCost(const DeltaWriter& w, int64_t b) {
  int64_t step = static_cast<int64_t>(std::llabs(b - w.recent[0]));
  for (int64_t r : w.recent) step = std::min<int64_t>(step, std::llabs(b - r));
  uint64_t v = static_cast<uint64_t>(step) << 3;
  int bytes = 1;
  while (v >= 0x80) {
    v >>= 7;
    ++bytes;
  }
  return bytes;
}

// The match through new position n that is worth most (its length less
// what placing it costs), reaching back no further than floor.
Match FindMatch(const Encoder& e, int64_t n, int64_t floor, int64_t diag) {
  Match best{n, 0, 0, 0};
  int64_t bestValue = 0;
  auto consider = [&](int64_t b) {
    int64_t fwd = ForwardRun(e, n, b, INT64_MAX);
    // A match must reach forward, or the scan would not advance.
    if (fwd == 0 ||
        (fwd < static_cast<int64_t>(kDeltaHashBytes) && fwd + (n - floor) <= best.len)) {
      return;
    }
    int64_t back = BackwardRun(e, n, b, n - floor);
    int cost = MoveCost(e.writer, b - back);
    int64_t value = back + fwd - 4 * cost;
    if (value > bestValue || best.len == 0) {
      best = Match{n - back, b - back, back + fwd, cost};
      bestValue = value;
    }
  };
  if (n + diag >= 0 && n + diag < e.baseSize) consider(n + diag);
  if (e.index.heads.empty() || n + static_cast<int64_t>(kDeltaHashBytes) > e.newSize) return best;
  uint32_t entry = e.index.heads[DeltaHashAt(e.index, e.next + n)];
  for (uint32_t tries = 0; entry && tries < e.options->chainLimit; ++tries) {
    int64_t b = static_cast<int64_t>(entry - 1) * e.index.stride;
    if (b - n != diag) consider(b);
    if (best.len >= 4096) break;
    entry = e.index.chain[entry - 1];
  }
  return best;
}

// Bytes of [n, n + len) that agree with the base on the diagonal.
int64_t Agreement(const Encoder& e, int64_t n, int64_t len, int64_t diag) {
  int64_t score = 0;
  for (int64_t i = n; i < n + len; ++i) {
    int64_t b = i + diag;
    if (b >= 0 && b < e.baseSize && e.next[i] == e.base[b]) ++score;
  }
  return score;
}

// [n, end) from the base along the diagonal: long exact runs as copies, the
// rest as adds.
void EmitAgreeing(Encoder* e, int64_t n, int64_t end, int64_t diag) {
  while (n < end) {
    int64_t run = ForwardRun(*e, n, n + diag, end - n);
    if (run >= e->options->copyRun || run == end - n) {
      DeltaWriteCopy(&e->writer, n + diag, static_cast<uint32_t>(run));
      e->stats.copies++;
      e->stats.copyBytes += run;
      n += run;
      continue;
    }
    // An add up to the next long exact run.
    int64_t a = n + run;
    while (a < end) {
      int64_t r = ForwardRun(*e, a, a + diag, end - a);
      if (r >= e->options->copyRun) break;
      a += r + 1;
    }
    if (a > end) a = end;
    DeltaWriteAdd(&e->writer, n + diag, e->base + n + diag, e->next + n,
                  static_cast<uint32_t>(a - n));
    e->stats.adds++;
    e->stats.addBytes += a - n;
    n = a;
  }
}

void EmitLiteral(Encoder* e, int64_t n, int64_t end) {
  if (end <= n) return;
  DeltaWriteLiteral(&e->writer, e->next + n, static_cast<uint32_t>(end - n));
  e->stats.literals++;
  e->stats.literalBytes += end - n;
}

// Where a stretch of the diagonal agrees on fewer than half its bytes over
// two blocks or more (a replaced resource between two that stayed), its
// bytes go as literals: differences against unrelated bytes pack worse.
void EmitDiagonal(Encoder* e, int64_t n, int64_t end, int64_t diag) {
  int64_t good = n;  // start of what agrees well enough
  int64_t at = n;
  while (at < end) {
    int64_t block = std::min<int64_t>(kBlock, end - at);
    if (Agreement(*e, at, block, diag) * 2 >= block) {
      at += block;
      continue;
    }
    int64_t bad = at + block;
    while (bad < end) {
      int64_t next = std::min<int64_t>(kBlock, end - bad);
      if (Agreement(*e, bad, next, diag) * 2 >= next) break;
      bad += next;
    }
    if (bad - at >= 2 * kBlock) {
      EmitAgreeing(e, good, at, diag);
      EmitLiteral(e, at, bad);
      good = bad;
    }
    at = bad;
  }
  EmitAgreeing(e, good, end, diag);
}

// How far the old diagonal reaches forward from `from` into the gap, and the
// new one backward from `to`, each while it agrees on more than half its
// bytes (the way bsdiff stretches its matches); an overlap is split where
// the two agree best.
void EmitGap(Encoder* e, int64_t from, int64_t to, int64_t oldDiag, int64_t newDiag, bool haveNew) {
  int64_t lenf = 0;
  {
    int64_t s = 0, best = 0;
    for (int64_t i = 0; from + i < to && from + i + oldDiag < e->baseSize; ++i) {
      int64_t b = from + i + oldDiag;
      if (b < 0) break;
      if (e->next[from + i] == e->base[b]) ++s;
      if (s * 2 - (i + 1) > best * 2 - lenf) {
        best = s;
        lenf = i + 1;
      }
    }
  }
  int64_t lenb = 0;
  if (haveNew) {
    int64_t s = 0, best = 0;
    for (int64_t i = 1; to - i >= from && to - i + newDiag >= 0; ++i) {
      if (e->next[to - i] == e->base[to - i + newDiag]) ++s;
      if (s * 2 - i > best * 2 - lenb) {
        best = s;
        lenb = i;
      }
    }
  }
  if (from + lenf > to - lenb) {
    int64_t overlap = (from + lenf) - (to - lenb);
    int64_t s = 0, best = 0, cut = 0;
    for (int64_t i = 0; i < overlap; ++i) {
      int64_t n = from + lenf - overlap + i;
      if (e->next[n] == e->base[n + oldDiag]) ++s;
      if (e->next[n] == e->base[n + newDiag]) --s;
      if (s > best) {
        best = s;
        cut = i + 1;
      }
    }
    lenf += cut - overlap;
    lenb -= cut;
  }
  EmitDiagonal(e, from, from + lenf, oldDiag);
  EmitLiteral(e, from + lenf, to - lenb);
  if (haveNew) EmitDiagonal(e, to - lenb, to, newDiag);
}

void Scan(Encoder* e) {
  int64_t pending = 0;  // start of what is not written yet (on the current diagonal)
  int64_t diag = 0;
  int64_t scan = 0;
  int64_t agreed = 0;  // the current diagonal's last match ends here
  while (scan < e->newSize) {
    Match m = FindMatch(*e, scan, pending, diag);
    if (m.len == 0 || m.len < MatchWorth(e, m.start, m.cost)) {
      ++scan;
      continue;
    }
    int64_t mDiag = m.pos - m.start;
    // A match on the current diagonal is covered by it only when the bytes
    // since its last match mostly agree too; after a rewritten stretch (a
    // new header before data that stayed in place) the diagonal starts anew
    // here, or the gap's stretch would stop short and leave all as literals.
    int64_t gap = m.start - agreed;
    bool gapAgrees =
        mDiag != diag || gap < 2 * kBlock || Agreement(*e, agreed, gap, diag) * 2 >= gap;
    if (gapAgrees &&
        (mDiag == diag || m.len <= Agreement(*e, m.start, m.len, diag) + kSwitchGain)) {
      scan = std::max(scan + 1, m.start + m.len);  // the current diagonal covers it
      if (mDiag == diag) agreed = std::max(agreed, m.start + m.len);
      continue;
    }
    EmitGap(e, pending, m.start, diag, mDiag, true);
    // The match itself becomes the start of what the new diagonal covers.
    pending = m.start + m.len;
    EmitDiagonal(e, m.start, pending, mDiag);
    diag = mDiag;
    scan = pending;
    agreed = pending;
  }
  EmitGap(e, pending, e->newSize, diag, 0, false);
}

}  // namespace

int DeltaEncode(const unsigned char* base, uint32_t baseSize, const unsigned char* next,
                uint32_t newSize, const DeltaEncodeOptions& options,
                std::vector<unsigned char>* out, DeltaEncodeStats* stats) {
  Encoder e;
  e.base = base;
  e.baseSize = baseSize;
  e.next = next;
  e.newSize = newSize;
  e.options = &options;
  memset(&e.stats, 0, sizeof e.stats);
  e.text.assign(static_cast<size_t>((e.newSize + kProbeBlock - 1) / kProbeBlock), -1);
  if (DeltaIndexBuild(&e.index, base, baseSize, options.maxEntries) != 0) return -1;
  e.probe = CompressEngineCreate(CompressDefaultEngine(), kCompressLevelMin);
  if (!e.probe) return -1;
  if (DeltaWriterBegin(&e.writer, options.level) != 0) {
    CompressEngineFree(e.probe);
    return -1;
  }
  Scan(&e);
  CompressEngineFree(e.probe);
  unsigned char baseSha[kSha256Bytes], newSha[kSha256Bytes];
  Sha256Of(base, baseSize, baseSha);
  Sha256Of(next, newSize, newSha);
  if (stats) *stats = e.stats;
  return DeltaWriterEnd(&e.writer, baseSize, baseSha, newSize, newSha, out);
}
