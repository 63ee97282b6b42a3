#include "updpack/delta/delta_encode.h"

#include <gtest/gtest.h>

#include <cstring>

#include "unit/updpack/delta_test_util.h"

namespace {

using namespace testdelta;

struct Encoded {
  Bytes delta;
  DeltaEncodeStats stats;
};

Encoded Encode(const Bytes& base, const Bytes& made, const DeltaEncodeOptions& options = {}) {
  Encoded e;
  EXPECT_EQ(DeltaEncode(base.data(), static_cast<uint32_t>(base.size()), made.data(),
                        static_cast<uint32_t>(made.size()), options, &e.delta, &e.stats),
            0);
  return e;
}

// Encodes, applies, and checks the result is the new file.
Encoded RoundTrip(const Bytes& base, const Bytes& made, const DeltaEncodeOptions& options = {}) {
  Encoded e = Encode(base, made, options);
  Applied a = Apply(e.delta, base);
  EXPECT_EQ(a.code, kDeltaOk) << DeltaResultText(a.code);
  EXPECT_TRUE(a.out.data == made);
  return e;
}

TEST(DeltaEncode, SmallAndEmptyFiles) {
  Bytes some = Random(100, 1);
  RoundTrip(Bytes(), Bytes());
  RoundTrip(Bytes(), some);
  RoundTrip(some, Bytes());
  RoundTrip(Slice(some, 0, 7), Slice(some, 0, 8));  // a base shorter than the hash
  RoundTrip(Slice(some, 0, 8), Slice(some, 0, 7));
  Encoded same = RoundTrip(some, some);
  EXPECT_EQ(same.stats.literalBytes, 0u);
}

// Resources shuffled, replaced, inserted (everything after shifts) and
// dropped: only the new bytes travel as literals.
TEST(DeltaEncode, ArchiveEdits) {
  std::vector<Bytes> parts;
  for (uint32_t i = 0; i < 64; ++i) parts.push_back(Random(4000 + 37 * i, 100 + i));
  Bytes base;
  for (const Bytes& p : parts) base.insert(base.end(), p.begin(), p.end());
  Bytes inserted = Random(3000, 7);
  Bytes replaced = Random(4000 + 37 * 10, 8);
  Bytes made;
  for (uint32_t i = 0; i < 64; ++i) {
    if (i == 5) made.insert(made.end(), inserted.begin(), inserted.end());
    if (i == 20) continue;  // dropped
    const Bytes& p = i == 10 ? replaced : parts[i == 30 ? 40 : i == 40 ? 30 : i];
    made.insert(made.end(), p.begin(), p.end());
  }
  Encoded e = RoundTrip(base, made);
  uint64_t fresh = inserted.size() + replaced.size();
  EXPECT_LE(e.stats.literalBytes, fresh + 64);
  EXPECT_GE(e.stats.literalBytes, fresh - 64);
  EXPECT_LT(e.delta.size(), fresh + 1000);
}

// Code whose addresses moved: every 16th byte differs along the same
// diagonal. The diagonal is stretched over the changes (adds), not cut into
// literals.
TEST(DeltaEncode, ScatteredChangesBecomeAdds) {
  Bytes base = Random(200000, 2);
  Bytes made = Join({Random(100, 3), base});
  for (size_t i = 100; i < made.size(); i += 16) made[i] = static_cast<unsigned char>(made[i] + 4);
  Encoded e = RoundTrip(base, made);
  EXPECT_LT(e.stats.literalBytes, 1000u);
  EXPECT_GT(e.stats.addBytes, 190000u);
  EXPECT_LT(e.delta.size(), made.size() / 10);
}

// A base indexed at a stride still yields its long matches, wherever they
// start.
TEST(DeltaEncode, StridedIndex) {
  Bytes base = Random(1 << 20, 4);
  Bytes made = Join({Slice(base, 333333, 100000), Random(777, 5), Slice(base, 12345, 500000)});
  DeltaEncodeOptions options;
  options.maxEntries = 20000;  // a stride of 53
  Encoded e = RoundTrip(base, made, options);
  EXPECT_LE(e.stats.literalBytes, 777u + 2 * 60);
  EXPECT_LT(e.delta.size(), 3000u);
}

}  // namespace

namespace {

// A rewritten head before data that stayed at its offsets: the data after
// it is copied, not sent again as literals.
TEST(DeltaEncode, DataInPlaceAfterARewrittenHeadIsCopied) {
  Bytes base = Random(200000, 31);
  Bytes made = Random(150000, 32);
  Bytes tail = Slice(base, 150000, 50000);
  made.insert(made.end(), tail.begin(), tail.end());
  Encoded e = RoundTrip(base, made);
  EXPECT_EQ(e.stats.copyBytes, 50000u);
  EXPECT_EQ(e.stats.literalBytes, 150000u);
}

}  // namespace

namespace {

// Text that packs far better at the best level than at the fastest.
Bytes Words(size_t n, uint32_t seed) {
  static const char* const kWords[] = {"scene", "voice ", "rain\n", "over", "town ", "(night)"};
  Bytes out;
  Bytes pick = Random(n, seed);
  for (size_t i = 0; out.size() < n; ++i) {
    const char* w = kWords[pick[i % n] % 6];
    out.insert(out.end(), w, w + strlen(w));
  }
  out.resize(n);
  return out;
}

uint32_t LiteralStreamBytes(const Bytes& delta) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | delta[84 + i];
  return v;
}

// Literals of a delta that is at most half literal pack at the best level;
// one byte more literal than copied, at the level whole files get (1 here).
TEST(DeltaWrite, LiteralsPackBestWhileAtMostHalfTheFile) {
  Bytes text = Words(20000, 41);
  Bytes base(40000, 'x');
  auto literalBytes = [&](uint32_t copied) {
    Builder b(base);
    DeltaWriterAbandon(&b.w);
    EXPECT_EQ(DeltaWriterBegin(&b.w, 1), 0);
    if (copied) b.Copy(0, copied);  // an instruction is never empty
    b.Literal(text);
    Bytes made = Join({Bytes(copied, 'x'), text});
    Bytes delta = b.End(made);
    Applied a = Apply(delta, base);
    EXPECT_EQ(a.code, kDeltaOk);
    EXPECT_TRUE(a.out.data == made);
    return LiteralStreamBytes(delta);
  };
  uint32_t best = literalBytes(20000), fastest = literalBytes(19999);
  EXPECT_LT(best, fastest);
  EXPECT_EQ(literalBytes(40000), best);
  EXPECT_EQ(literalBytes(0), fastest);
}

// Streams longer than a piece (1 MiB) are joined pieces, and a piece may
// change levels midway: the first piece of literals comes while most of the
// file is literal, the second after a long copy.
TEST(DeltaWrite, StreamsOfSeveralPieces) {
  Bytes base = Random(6 << 20, 42);
  Bytes text = Words(1536 << 10, 43);
  Bytes made = Join({text, Slice(base, 0, 6 << 20), text});
  Encoded e = RoundTrip(base, made);
  EXPECT_EQ(e.stats.literalBytes, 2 * text.size());
  EXPECT_EQ(e.stats.copyBytes, 6u << 20);
}

}  // namespace
