#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "unit/updpack/updpack_test_util.h"
#include "updpack/compress/compress_engine.h"
#include "updpack/compress/compress_pool.h"

namespace {

std::vector<CompressEngineKind> Engines() {
  std::vector<CompressEngineKind> kinds;
  for (CompressEngineKind k : {CompressEngineKind::kLibdeflate, CompressEngineKind::kZlib})
    if (CompressEngineAvailable(k)) kinds.push_back(k);
  return kinds;
}

// Raw inflate of the whole input; "" with ok false when it is not one
// complete deflate stream.
std::string InflateRaw(const std::string& raw, bool* ok) {
  z_stream zs{};
  inflateInit2(&zs, -15);
  std::string out;
  std::vector<unsigned char> buf(65536);
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
  zs.avail_in = static_cast<uInt>(raw.size());
  int rc;
  do {
    zs.next_out = buf.data();
    zs.avail_out = static_cast<uInt>(buf.size());
    rc = inflate(&zs, Z_NO_FLUSH);
    out.append(reinterpret_cast<char*>(buf.data()), buf.size() - zs.avail_out);
  } while (rc == Z_OK && (zs.avail_in > 0 || zs.avail_out == 0));
  *ok = rc == Z_STREAM_END && zs.avail_in == 0;
  inflateEnd(&zs);
  return out;
}

struct Joined {
  std::vector<std::string> streams;  // one zlib stream per source
  std::vector<std::string> pieces;   // every piece as handed out
  std::vector<std::string> errors;
};

// Runs the pool and joins each source's pieces as the builder does.
Joined RunPool(const std::vector<PackSource>& sources, CompressEngineKind engine, int threads,
               size_t pieceSize) {
  PackOptions options;
  options.engine = engine;
  options.threads = threads;
  options.pieceSize = pieceSize;
  Joined j;
  PackPool* pool = PackPoolStart(&sources, options);
  if (!pool) return j;
  PackPiece piece;
  std::string stream;
  uint32_t adler = 1;
  size_t expectSource = 0;
  while (PackPoolNext(pool, &piece)) {
    EXPECT_EQ(piece.source, expectSource);
    if (!piece.error.empty()) {
      j.errors.push_back(piece.error);
      break;
    }
    if (piece.first) {
      stream = "\x78\x9c";
      adler = piece.adler;
    } else {
      adler = PackAdlerCombine(adler, piece.adler, piece.rawSize);
    }
    std::string bytes(piece.data.begin(), piece.data.end());
    j.pieces.push_back(bytes);
    stream += bytes;
    if (piece.last) {
      for (int shift = 24; shift >= 0; shift -= 8)
        stream.push_back(static_cast<char>(adler >> shift));
      j.streams.push_back(stream);
      ++expectSource;
    }
  }
  PackPoolFinish(pool);
  return j;
}

std::string Uncompress(const std::string& stream, size_t size, bool* ok) {
  std::string out(size, '\0');
  uLongf len = static_cast<uLongf>(size);
  *ok = uncompress(reinterpret_cast<Bytef*>(&out[0]), &len,
                   reinterpret_cast<const Bytef*>(stream.data()),
                   static_cast<uLong>(stream.size())) == Z_OK &&
        len == size;
  return out;
}

TEST(CompressEngine, NonFinalPiecesEndInAnEmptyStoredBlockAndChainOn) {
  for (CompressEngineKind kind : Engines()) {
    CompressEngine* engine = CompressEngineCreate(kind);
    ASSERT_NE(engine, nullptr);
    for (size_t size :
         {size_t(1), size_t(2), size_t(3), size_t(17), size_t(4000), size_t(200000)}) {
      std::string data = testupd::MixedData(size, static_cast<uint32_t>(size));
      std::vector<uint8_t> piece;
      ASSERT_EQ(CompressPiece(engine, nullptr, 0, reinterpret_cast<const uint8_t*>(data.data()),
                              size, false, &piece),
                0);
      std::string raw(piece.begin(), piece.end());
      ASSERT_GE(raw.size(), 4u);
      EXPECT_EQ(raw.substr(raw.size() - 4), std::string("\x00\x00\xff\xff", 4))
          << CompressEngineName(kind) << " " << size;
      bool ok;
      InflateRaw(raw, &ok);
      EXPECT_FALSE(ok) << "a non-final piece must not end the stream";
      // An empty final block after it completes the stream with the data.
      EXPECT_EQ(InflateRaw(raw + std::string("\x03\x00", 2), &ok), data);
      EXPECT_TRUE(ok) << CompressEngineName(kind) << " " << size;
    }
    CompressEngineFree(engine);
  }
}

TEST(CompressEngine, AnEmptyFileIsTheEightByteStream) {
  for (CompressEngineKind kind : Engines()) {
    std::vector<PackSource> sources(1);
    std::vector<uint8_t> empty;
    sources[0].memory = &empty;
    Joined j = RunPool(sources, kind, 2, kPackPieceSize);
    ASSERT_EQ(j.streams.size(), 1u);
    EXPECT_EQ(j.streams[0], std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8))
        << CompressEngineName(kind);
  }
}

TEST(PackPool, JoinedPiecesAreOneZlibStreamPerFileForEverySize) {
  const size_t piece = 4096;
  std::vector<std::vector<uint8_t>> contents;
  for (size_t size :
       {size_t(0), size_t(1), piece - 1, piece, piece + 1, 3 * piece + 100, size_t(9 * piece)}) {
    std::string d = testupd::MixedData(size, static_cast<uint32_t>(size + 1));
    contents.emplace_back(d.begin(), d.end());
  }
  std::vector<PackSource> sources(contents.size());
  for (size_t i = 0; i < contents.size(); ++i) {
    sources[i].memory = &contents[i];
    sources[i].size = contents[i].size();
  }
  for (CompressEngineKind kind : Engines()) {
    Joined j = RunPool(sources, kind, 3, piece);
    ASSERT_TRUE(j.errors.empty());
    ASSERT_EQ(j.streams.size(), contents.size());
    for (size_t i = 0; i < contents.size(); ++i) {
      bool ok;
      std::string out = Uncompress(j.streams[i], contents[i].size(), &ok);
      EXPECT_TRUE(ok) << CompressEngineName(kind) << " file " << i;
      EXPECT_TRUE(out == std::string(contents[i].begin(), contents[i].end()))
          << CompressEngineName(kind) << " file " << i;
      EXPECT_EQ(j.streams[i].substr(0, 2), "\x78\x9c");
    }
  }
}

TEST(PackPool, OutputDoesNotDependOnTheNumberOfThreads) {
  std::vector<std::vector<uint8_t>> contents;
  for (uint32_t i = 0; i < 12; ++i) {
    std::string d = testupd::MixedData(1000 + i * 7919, i);
    contents.emplace_back(d.begin(), d.end());
  }
  std::vector<PackSource> sources(contents.size());
  for (size_t i = 0; i < contents.size(); ++i) {
    sources[i].memory = &contents[i];
    sources[i].size = contents[i].size();
  }
  for (CompressEngineKind kind : Engines()) {
    Joined one = RunPool(sources, kind, 1, 8192);
    Joined many = RunPool(sources, kind, 5, 8192);
    ASSERT_FALSE(one.pieces.empty());
    EXPECT_EQ(one.pieces, many.pieces) << CompressEngineName(kind);
  }
}

TEST(PackPool, ReadsFilesWithTheirHistoryAndNoticesChangedSizes) {
  testupd::TempDir dir;
  std::string data = testupd::MixedData(50000, 9);
  testupd::WriteBytes(dir / "a.bin", data);
  for (CompressEngineKind kind : Engines()) {
    std::vector<PackSource> sources(1);
    sources[0].path = dir / "a.bin";
    sources[0].size = data.size();
    Joined j = RunPool(sources, kind, 2, 4096);
    ASSERT_EQ(j.streams.size(), 1u) << CompressEngineName(kind);
    bool ok;
    EXPECT_EQ(Uncompress(j.streams[0], data.size(), &ok), data);
    EXPECT_TRUE(ok);

    sources[0].size = data.size() + 10;  // the file is shorter than announced
    Joined shorter = RunPool(sources, kind, 2, 4096);
    ASSERT_EQ(shorter.errors.size(), 1u);
    EXPECT_NE(shorter.errors[0].find("shorter"), std::string::npos) << shorter.errors[0];

    sources[0].size = data.size() - 10;  // and longer
    Joined longer = RunPool(sources, kind, 2, 4096);
    ASSERT_EQ(longer.errors.size(), 1u);
    EXPECT_NE(longer.errors[0].find("grew"), std::string::npos) << longer.errors[0];

    sources[0].path = dir / "missing.bin";
    Joined missing = RunPool(sources, kind, 1, 4096);
    ASSERT_EQ(missing.errors.size(), 1u);
    EXPECT_NE(missing.errors[0].find("cannot open"), std::string::npos);
  }
}

TEST(PackPool, AdlerOfPartsCombinesToTheWhole) {
  std::string a = testupd::MixedData(7000, 1), b = testupd::MixedData(3333, 2);
  auto adler = [](const std::string& s) {
    return static_cast<uint32_t>(
        adler32(1, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
  };
  EXPECT_EQ(PackAdlerCombine(adler(a), adler(b), static_cast<uint32_t>(b.size())), adler(a + b));
  for (CompressEngineKind kind : Engines()) {
    EXPECT_EQ(CompressAdler32(kind, 1, reinterpret_cast<const uint8_t*>(a.data()), a.size()),
              adler(a));
  }
}

}  // namespace
