#include "payload/delta_apply.h"

#include <gtest/gtest.h>

#include "unit/updpack/delta_test_util.h"

namespace {

using namespace testdelta;

constexpr uint32_t kChunk = kPayloadChunkSize;

uint32_t Get32(const Bytes& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void Put32(Bytes* b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// Copies that end exactly at the base's last byte work; one byte further, or
// before its first byte, is refused before anything of it is written.
TEST(DeltaApply, CopiesAtTheBaseLimits) {
  Bytes base = Random(1000, 1);
  Bytes made = Join({Slice(base, 990, 10), Slice(base, 0, 5)});
  EXPECT_EQ(Apply(Builder(base).Copy(990, 10).Copy(0, 5).End(made), base).out.data, made);

  Bytes eleven = Join({Slice(base, 990, 10), Bytes(1, 0)});
  Applied past = Apply(Builder(base).Copy(990, 11).End(eleven), base);
  EXPECT_EQ(past.code, kDeltaOutsideBase);
  EXPECT_TRUE(past.out.writes.empty());
  EXPECT_EQ(Apply(Builder(base).Copy(-1, 2).End(Bytes(2)), base).code, kDeltaOutsideBase);
  EXPECT_EQ(Apply(Builder(base).Add(999, Bytes(1, 7)).End(Bytes(1, 7)), base).code, kDeltaOk);
  Bytes two(2, 7);
  DeltaWriter w;
  DeltaWriterBegin(&w, 6);
  DeltaWriteAdd(&w, 999, two.data(), two.data(), 2);  // reaches one byte past the end
  Bytes delta;
  DeltaWriterEnd(&w, 1000, Sha(base).data(), 2, Sha(two).data(), &delta);
  EXPECT_EQ(Apply(delta, base).code, kDeltaOutsideBase);
}

// An empty new file (from an empty base, too) makes no write; one chunk
// makes one write, one byte more a second.
TEST(DeltaApply, ChunkLimits) {
  Bytes empty;
  Applied none = Apply(Builder(empty).End(empty), empty);
  EXPECT_EQ(none.code, kDeltaOk);
  EXPECT_TRUE(none.out.writes.empty());

  Bytes base = Random(kChunk + 1, 2);
  Bytes one = Slice(base, 0, kChunk);
  Applied a = Apply(Builder(base).Copy(0, kChunk).End(one), base);
  EXPECT_EQ(a.code, kDeltaOk);
  EXPECT_EQ(a.out.writes, (std::vector<uint32_t>{kChunk}));
  Applied b = Apply(Builder(base).Copy(0, kChunk + 1).End(base), base);
  EXPECT_EQ(b.out.writes, (std::vector<uint32_t>{kChunk, 1}));
  EXPECT_EQ(b.out.data, base);
}

// Copy, add and literal pieces that straddle chunk boundaries, with base
// moves backwards and forwards; the progress counts every delta byte.
TEST(DeltaApply, InstructionsStraddleChunks) {
  Bytes base = Random(300000, 3);
  Bytes changed = Slice(base, 50000, 100000);
  for (size_t i = 0; i < changed.size(); i += 7) changed[i] ^= 0x5A;
  Bytes lit = Random(70000, 4);
  Bytes made = Join({Slice(base, 200000, 100000), changed, lit, Slice(base, 0, 3)});
  Bytes delta =
      Builder(base).Copy(200000, 100000).Add(50000, changed).Literal(lit).Copy(0, 3).End(made);
  Applied a = Apply(delta, base);
  ASSERT_EQ(a.code, kDeltaOk) << DeltaResultText(a.code);
  EXPECT_EQ(a.out.data, made);
  EXPECT_EQ(a.written, made.size());
  EXPECT_EQ(a.out.writes, (std::vector<uint32_t>{kChunk, kChunk, 270003 - 2 * kChunk}));
  ASSERT_EQ(a.out.positions.size(), 3u);
  EXPECT_LE(a.out.positions[0], a.out.positions[1]);
  EXPECT_EQ(a.out.positions.back(), delta.size());
}

// Instructions that make one byte more or less than the header announces.
TEST(DeltaApply, OutputLongerOrShorter) {
  Bytes base = Random(5000, 5);
  Bytes made = Slice(base, 0, 4000);
  Bytes shorter = Builder(base).Copy(0, 3999).End(made);
  EXPECT_EQ(Apply(shorter, base).code, kDeltaWrongSize);
  Bytes longer = Builder(base).Copy(0, 4000).Copy(0, 1).End(made);
  EXPECT_EQ(Apply(longer, base).code, kDeltaWrongSize);
  // Nothing beyond the announced size reaches the sink.
  Bytes big = Random(kChunk + 10, 15);
  Bytes chunk = Slice(big, 0, kChunk);
  Applied a = Apply(Builder(big).Copy(0, kChunk + 1).End(chunk), big);
  EXPECT_EQ(a.code, kDeltaWrongSize);
  EXPECT_TRUE(a.out.writes.empty());
}

// The base is checked for size and checksum; the new file for its checksum.
TEST(DeltaApply, ChecksumsOfBaseAndOutput) {
  Bytes base = Random(200000, 6);
  Bytes made = Join({Slice(base, 1000, 150000), Random(10, 7)});
  Bytes delta = Builder(base).Copy(1000, 150000).Literal(Slice(made, 150000, 10)).End(made);
  DeltaHeader h;
  ASSERT_EQ(DeltaParseHeader(delta.data(), static_cast<uint32_t>(delta.size()), &h), kDeltaOk);
  Memory m{&base};
  DeltaReader reader{&m, ReadMemory};
  EXPECT_EQ(DeltaCheckBase(h, reader, 200000), kDeltaOk);
  EXPECT_EQ(DeltaCheckBase(h, reader, 199999), kDeltaBaseDiffers);
  Bytes modified = base;
  modified[199999] ^= 1;  // the last byte: the hash covers the whole file
  Memory mm{&modified};
  EXPECT_EQ(DeltaCheckBase(h, DeltaReader{&mm, ReadMemory}, 200000), kDeltaBaseDiffers);
  // A modified byte the delta copies fails at the output's checksum.
  Bytes early = base;
  early[1000] ^= 1;
  EXPECT_EQ(Apply(delta, early).code, kDeltaBadOutput);
  Bytes shortBase = Slice(base, 0, 199999);
  EXPECT_EQ(Apply(delta, shortBase).code, kDeltaBaseDiffers);
  Bytes badSha = delta;
  badSha[44 + 31] ^= 1;
  EXPECT_EQ(Apply(badSha, base).code, kDeltaBadOutput);
}

TEST(DeltaApply, HeaderLimits) {
  Bytes base = Random(100, 8);
  Bytes delta = Builder(base).Copy(0, 100).End(base);
  DeltaHeader h;
  uint32_t size = static_cast<uint32_t>(delta.size());
  EXPECT_EQ(DeltaParseHeader(delta.data(), size, &h), kDeltaOk);
  EXPECT_EQ(DeltaParseHeader(delta.data(), size + 1, &h), kDeltaBadHeader);
  EXPECT_EQ(DeltaParseHeader(delta.data(), size - 1, &h), kDeltaBadHeader);
  Bytes magic = delta;
  magic[3] = 'U';
  EXPECT_EQ(DeltaParseHeader(magic.data(), size, &h), kDeltaBadHeader);
  Bytes huge = delta;
  Put32(&huge, 40, 0x80000000u);
  EXPECT_EQ(DeltaParseHeader(huge.data(), size, &h), kDeltaBadHeader);
  Put32(&huge, 40, 0x7FFFFFFFu);
  EXPECT_EQ(DeltaParseHeader(huge.data(), size, &h), kDeltaOk);
  // Lengths that wrap past 2^32 still miss the packed size.
  Bytes wrap = delta;
  Put32(&wrap, 84, Get32(delta, 84) + 0xFFFFFFFFu - size + 1);
  EXPECT_EQ(DeltaParseHeader(wrap.data(), size, &h), kDeltaBadHeader);
}

// Each stream one byte short, or one byte long (the header's lengths kept
// adding up), is corrupt.
TEST(DeltaApply, StreamsCutOrLong) {
  Bytes base = Random(3000, 9);
  Bytes changed = Slice(base, 0, 1000);
  changed[10] ^= 1;
  Bytes lit = Random(500, 10);
  Bytes made = Join({changed, lit});
  Bytes delta = Builder(base).Add(0, changed).Literal(lit).End(made);
  ASSERT_EQ(Apply(delta, base).code, kDeltaOk);
  size_t at = kDeltaHeaderBytes;
  for (int stream = 0; stream < 3; ++stream) {
    uint32_t length = Get32(delta, 76 + 4 * stream);
    size_t end = at + length;
    Bytes cut = delta;
    cut.erase(cut.begin() + end - 1);
    Put32(&cut, 76 + 4 * stream, length - 1);
    EXPECT_EQ(Apply(cut, base).code, kDeltaCorrupt) << "stream " << stream;
    Bytes longer = delta;
    longer.insert(longer.begin() + end, 0);
    Put32(&longer, 76 + 4 * stream, length + 1);
    EXPECT_EQ(Apply(longer, base).code, kDeltaCorrupt) << "stream " << stream;
    at = end;
  }
}

// Any byte of the streams flipped: a failure code, or (a flip zlib cannot
// see, such as a padding bit) exactly the new file.
TEST(DeltaApply, FlippedBytesNeverPassWrongOutput) {
  Bytes base = Random(2000, 11);
  Bytes changed = Slice(base, 500, 800);
  changed[3] ^= 9;
  Bytes made = Join({changed, Random(300, 12), Slice(base, 0, 100)});
  Bytes delta =
      Builder(base).Add(500, changed).Literal(Slice(made, 800, 300)).Copy(0, 100).End(made);
  int failures = 0;
  for (size_t i = kDeltaHeaderBytes; i < delta.size(); ++i) {
    for (unsigned char bit : {0x01, 0x80}) {
      Bytes bad = delta;
      bad[i] ^= bit;
      Applied a = Apply(bad, base);
      if (a.code == kDeltaOk) {
        EXPECT_EQ(a.out.data, made) << "byte " << i;
      } else {
        ++failures;
      }
    }
  }
  EXPECT_GT(failures, static_cast<int>(delta.size() - kDeltaHeaderBytes));
}

TEST(DeltaApply, ReadAndWriteFailures) {
  Bytes base = Random(kChunk * 2, 13);
  Bytes delta = Builder(base).Copy(0, kChunk * 2).End(base);
  EXPECT_EQ(Apply(delta, base, 1).code, kDeltaReadFailed);
  Applied w = Apply(delta, base, -1, 1);
  EXPECT_EQ(w.code, kDeltaWriteFailed);
  EXPECT_EQ(w.written, kChunk);
}

// A reserved kind, a zero length and a varint of six bytes are corrupt.
TEST(DeltaApply, BadInstructions) {
  Bytes base = Random(100, 14);
  for (uint64_t head : {uint64_t{(5 << 2) | 3}, uint64_t{kDeltaKindCopy}, uint64_t{1} << 36}) {
    DeltaWriter w;
    DeltaWriterBegin(&w, 6);
    uint64_t v = head;
    for (; v >= 0x80; v >>= 7) w.control.pending.push_back(static_cast<unsigned char>(v | 0x80));
    w.control.pending.push_back(static_cast<unsigned char>(v));
    w.control.pending.push_back(0);  // a move, for the kinds that take one
    Bytes delta;
    DeltaWriterEnd(&w, 100, Sha(base).data(), 5, Sha(Bytes(5)).data(), &delta);
    EXPECT_EQ(Apply(delta, base).code, kDeltaCorrupt) << head;
  }
}

// An add's pairs of runs: one that reaches past the add, or two zeros, is
// corrupt; pairs that cover it exactly apply.
TEST(DeltaApply, DifferenceRuns) {
  Bytes base = Random(100, 16);
  Bytes made = Slice(base, 0, 10);
  made[3] = static_cast<unsigned char>(made[3] + 5);
  struct Case {
    Bytes runs;
    int code;
  } cases[] = {
      {{3, 1, 5, 6, 0}, kDeltaOk},             // 3 same, 1 changed (+5), 6 same
      {{3, 1, 5, 7, 0}, kDeltaCorrupt},        // one byte past the add
      {{0, 0, 3, 1, 5, 6, 0}, kDeltaCorrupt},  // two zeros
      {{3, 1, 5, 5, 0}, kDeltaCorrupt},        // one byte short: the stream ends
  };
  for (const Case& c : cases) {
    DeltaWriter w;
    DeltaWriterBegin(&w, 6);
    w.control.pending = {static_cast<unsigned char>((10 << 2) | kDeltaKindAdd), 0};
    w.difference.pending = c.runs;
    Bytes delta;
    DeltaWriterEnd(&w, 100, Sha(base).data(), 10, Sha(made).data(), &delta);
    Applied a = Apply(delta, base);
    EXPECT_EQ(a.code, c.code) << testing::PrintToString(c.runs);
    if (c.code == kDeltaOk) {
      EXPECT_EQ(a.out.data, made);
    }
  }
}

}  // namespace
