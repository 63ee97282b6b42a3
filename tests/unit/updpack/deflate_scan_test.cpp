#include "updpack/compress/deflate_scan.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "unit/updpack/updpack_test_util.h"
#include "updpack/compress/compress_engine.h"

namespace {

// zlib's inflater as the judge: stopping at every block boundary (Z_BLOCK,
// the last stop just after the final block) shows where the final block
// starts and ends.
struct Expected {
  bool complete = false;
  size_t finalStart = 0;
  size_t end = 0;
};

Expected AskZlib(const std::string& raw) {
  Expected e;
  z_stream zs{};
  if (inflateInit2(&zs, -15) != Z_OK) return e;
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
  zs.avail_in = static_cast<uInt>(raw.size());
  std::vector<unsigned char> out(1 << 16);
  std::vector<size_t> boundaries{0};
  for (;;) {
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    int rc = inflate(&zs, Z_BLOCK);
    size_t bit = zs.total_in * 8 - (zs.data_type & 7);
    if (rc == Z_STREAM_END) {
      e.complete = boundaries.size() >= 2;
      e.finalStart = boundaries[boundaries.size() - 2];
      e.end = boundaries.back();
      break;
    }
    if (rc != Z_OK) break;
    if ((zs.data_type & 128) && bit != boundaries.back()) boundaries.push_back(bit);
  }
  inflateEnd(&zs);
  return e;
}

// Raw deflate of the data with zlib, the blocks ended where `cuts` say.
std::string ZlibRaw(const std::string& data, int level, int strategy,
                    const std::vector<size_t>& cuts = {}, int cutFlush = Z_FULL_FLUSH) {
  z_stream zs{};
  deflateInit2(&zs, level, Z_DEFLATED, -15, 8, strategy);
  std::string out(deflateBound(&zs, static_cast<uLong>(data.size())) + 64 * (cuts.size() + 1),
                  '\0');
  zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
  zs.avail_out = static_cast<uInt>(out.size());
  size_t from = 0;
  std::vector<size_t> ends = cuts;
  ends.push_back(data.size());
  for (size_t i = 0; i < ends.size(); ++i) {
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + from));
    zs.avail_in = static_cast<uInt>(ends[i] - from);
    deflate(&zs, i + 1 == ends.size() ? Z_FINISH : cutFlush);
    from = ends[i];
  }
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

// Bytes with a steep distribution, so that some codes get longer than the
// decoder's table and take the slow path.
std::string SkewedData(size_t size) {
  std::string out(size, '\0');
  uint32_t x = 12345;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    uint32_t r = x | 0x40000u;
    int zeros = 0;
    while (!(r & 1)) {
      r >>= 1;
      ++zeros;
    }
    out[i] = static_cast<char>('A' + zeros);
  }
  return out;
}

void ExpectAgreement(const std::string& raw, const char* what) {
  Expected want = AskZlib(raw);
  ASSERT_TRUE(want.complete) << what;
  DeflateFinalBlock got{};
  ASSERT_EQ(DeflateFindFinalBlock(reinterpret_cast<const uint8_t*>(raw.data()), raw.size(), &got),
            0)
      << what;
  EXPECT_EQ(got.startBit, want.finalStart) << what;
  EXPECT_EQ(got.endBit, want.end) << what;
}

TEST(DeflateScan, FindsTheFinalBlockOfEveryBlockKindAsZlibDoes) {
  std::string mixed = testupd::MixedData(300000, 1);
  std::string random;
  uint32_t x = 5;
  for (size_t i = 0; i < 70000; ++i) {
    x = x * 1103515245u + 12345u;
    random.push_back(static_cast<char>(x >> 23));
  }
  ExpectAgreement(ZlibRaw("", 6, Z_DEFAULT_STRATEGY), "empty stream");
  ExpectAgreement(ZlibRaw("x", 6, Z_DEFAULT_STRATEGY), "one byte");
  ExpectAgreement(ZlibRaw(mixed, 6, Z_DEFAULT_STRATEGY), "dynamic blocks");
  ExpectAgreement(ZlibRaw(mixed, 6, Z_FIXED), "fixed blocks");
  ExpectAgreement(ZlibRaw(mixed, 0, Z_DEFAULT_STRATEGY), "stored blocks");
  ExpectAgreement(ZlibRaw(random, 6, Z_DEFAULT_STRATEGY), "incompressible data");
  ExpectAgreement(ZlibRaw(SkewedData(200000), 6, Z_HUFFMAN_ONLY), "codes over the table size");
  ExpectAgreement(ZlibRaw(mixed, 6, Z_DEFAULT_STRATEGY, {1000, 1001, 50000, 299999}),
                  "flushed blocks, a final block of one byte");
  ExpectAgreement(ZlibRaw(mixed, 6, Z_DEFAULT_STRATEGY, {100, 200, 300}, Z_BLOCK),
                  "blocks ending off the byte boundary");
}

TEST(DeflateScan, AgreesWithZlibOnEveryEngineOutput) {
  for (CompressEngineKind kind : {CompressEngineKind::kLibdeflate, CompressEngineKind::kZlib}) {
    if (!CompressEngineAvailable(kind)) continue;
    CompressEngine* engine = CompressEngineCreate(kind);
    ASSERT_NE(engine, nullptr);
    for (size_t size : {size_t(1), size_t(5), size_t(700), size_t(65536), size_t(400000)}) {
      std::string data = testupd::MixedData(size, static_cast<uint32_t>(size));
      std::vector<uint8_t> out;
      ASSERT_EQ(CompressPiece(engine, nullptr, 0, reinterpret_cast<const uint8_t*>(data.data()),
                              data.size(), true, &out),
                0);
      ExpectAgreement(std::string(out.begin(), out.end()), CompressEngineName(kind));
    }
    CompressEngineFree(engine);
  }
}

TEST(DeflateScan, RejectsCutAndBrokenStreams) {
  std::string raw = ZlibRaw(testupd::MixedData(20000, 3), 6, Z_DEFAULT_STRATEGY, {7000});
  DeflateFinalBlock found;
  // Every strict prefix lacks the final block's end.
  for (size_t n = 0; n < raw.size(); ++n) {
    EXPECT_EQ(DeflateFindFinalBlock(reinterpret_cast<const uint8_t*>(raw.data()), n, &found), -1)
        << "prefix of " << n << " bytes";
  }
  const uint8_t badType[] = {0x07, 0x00};  // final block of the reserved type 3
  EXPECT_EQ(DeflateFindFinalBlock(badType, sizeof badType, &found), -1);
  const uint8_t badStored[] = {0x01, 0x05, 0x00, 0x00, 0x00};  // LEN and NLEN disagree
  EXPECT_EQ(DeflateFindFinalBlock(badStored, sizeof badStored, &found), -1);
}

TEST(DeflateScan, GarbageNeverReadsOutOfBounds) {
  // Under the sanitizers: any bytes end in a result, never a stray read.
  uint32_t x = 99;
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> junk(1 + round % 300);
    for (uint8_t& b : junk) {
      x = x * 1103515245u + 12345u;
      b = static_cast<uint8_t>(x >> 23);
    }
    junk[0] = static_cast<uint8_t>((junk[0] & ~6) | (round % 3) << 1);  // each block type
    DeflateFinalBlock found;
    int rc = DeflateFindFinalBlock(junk.data(), junk.size(), &found);
    if (rc == 0) {
      EXPECT_LE(found.endBit, junk.size() * 8);
      EXPECT_LT(found.startBit, found.endBit);
    }
  }
}

}  // namespace
