#include "updpack/compress/compress_engine.h"

#include <zlib.h>

#include <cstring>

#include "updpack/compress/deflate_scan.h"

#ifdef UPD_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

struct CompressEngine {
  CompressEngineKind kind;
  z_stream zs;
  bool zsReady;
#ifdef UPD_HAVE_LIBDEFLATE
  libdeflate_compressor* ld;
#endif
};

// Turns a raw deflate stream that ends with its final block into one whose
// blocks are all non-final, ending with an empty stored block. Returns 0, or
// -1 when the data is not a complete deflate stream.
#ifdef UPD_HAVE_LIBDEFLATE
static int CompressMakeNonFinal(std::vector<uint8_t>* piece);
#endif

namespace {

#ifdef UPD_HAVE_LIBDEFLATE
int LibdeflatePiece(CompressEngine* e, const uint8_t* data, size_t size, bool last,
                    std::vector<uint8_t>* out) {
  // The bound leaves room for the stored block that CompressMakeNonFinal adds.
  out->resize(libdeflate_deflate_compress_bound(e->ld, size) + 8);
  size_t n = libdeflate_deflate_compress(e->ld, data, size, out->data(), out->size());
  if (n == 0) return -1;
  out->resize(n);
  return last ? 0 : CompressMakeNonFinal(out);
}
#endif

int ZlibPiece(CompressEngine* e, const uint8_t* history, size_t historySize, const uint8_t* data,
              size_t size, bool last, std::vector<uint8_t>* out) {
  z_stream* zs = &e->zs;
  if (deflateReset(zs) != Z_OK) return -1;
  if (historySize && deflateSetDictionary(zs, history, static_cast<uInt>(historySize)) != Z_OK)
    return -1;
  // deflateBound does not count the flush marker; a few more bytes cover it.
  out->resize(deflateBound(zs, static_cast<uLong>(size)) + 16);
  zs->next_in = const_cast<Bytef*>(data);
  zs->avail_in = static_cast<uInt>(size);
  size_t produced = 0;
  for (;;) {
    zs->next_out = out->data() + produced;
    zs->avail_out = static_cast<uInt>(out->size() - produced);
    int rc = deflate(zs, last ? Z_FINISH : Z_SYNC_FLUSH);
    produced = out->size() - zs->avail_out;
    if (rc == Z_STREAM_ERROR) return -1;
    if (last ? rc == Z_STREAM_END : (zs->avail_in == 0 && zs->avail_out != 0)) break;
    out->resize(out->size() * 2);
  }
  out->resize(produced);
  return 0;
}

}  // namespace

CompressEngineKind CompressDefaultEngine() {
#ifdef UPD_HAVE_LIBDEFLATE
  return CompressEngineKind::kLibdeflate;
#else
  return CompressEngineKind::kZlib;
#endif
}

bool CompressEngineAvailable(CompressEngineKind kind) {
#ifdef UPD_HAVE_LIBDEFLATE
  (void)kind;
  return true;
#else
  return kind == CompressEngineKind::kZlib;
#endif
}

const char* CompressEngineName(CompressEngineKind kind) {
  return kind == CompressEngineKind::kLibdeflate ? "libdeflate" : "zlib";
}

bool CompressEngineByName(const char* name, CompressEngineKind* kind) {
  if (strcmp(name, "libdeflate") == 0) {
    *kind = CompressEngineKind::kLibdeflate;
  } else if (strcmp(name, "zlib") == 0) {
    *kind = CompressEngineKind::kZlib;
  } else {
    return false;
  }
  return true;
}

bool CompressEngineUsesHistory(CompressEngineKind kind) {
  return kind == CompressEngineKind::kZlib;
}

int CompressEngineMaxLevel(CompressEngineKind kind) {
  return kind == CompressEngineKind::kLibdeflate ? kCompressLevelMax : 9;
}

void CompressZlibHeader(int level, uint8_t header[2]) {
  // FLEVEL: 0 fastest, 1 fast, 2 default, 3 maximum; FCHECK makes the
  // 16-bit header a multiple of 31.
  int flevel = level <= 1 ? 0 : level <= 5 ? 1 : level == 6 ? 2 : 3;
  unsigned value = 0x7800u | static_cast<unsigned>(flevel << 6);
  value += 31 - value % 31;
  header[0] = static_cast<uint8_t>(value >> 8);
  header[1] = static_cast<uint8_t>(value);
}

CompressEngine* CompressEngineCreate(CompressEngineKind kind, int level) {
  if (!CompressEngineAvailable(kind)) return nullptr;
  if (level < kCompressLevelMin) level = kCompressLevelMin;
  if (level > CompressEngineMaxLevel(kind)) level = CompressEngineMaxLevel(kind);
  CompressEngine* e = new CompressEngine();
  e->kind = kind;
#ifdef UPD_HAVE_LIBDEFLATE
  if (kind == CompressEngineKind::kLibdeflate) {
    e->ld = libdeflate_alloc_compressor(level);
    if (!e->ld) {
      delete e;
      return nullptr;
    }
    return e;
  }
#endif
  // Raw deflate (negative window bits): the packer writes the zlib wrapper.
  if (deflateInit2(&e->zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    delete e;
    return nullptr;
  }
  e->zsReady = true;
  return e;
}

void CompressEngineFree(CompressEngine* engine) {
  if (!engine) return;
  if (engine->zsReady) deflateEnd(&engine->zs);
#ifdef UPD_HAVE_LIBDEFLATE
  if (engine->ld) libdeflate_free_compressor(engine->ld);
#endif
  delete engine;
}

int CompressPiece(CompressEngine* engine, const uint8_t* history, size_t historySize,
                  const uint8_t* data, size_t size, bool last, std::vector<uint8_t>* out) {
  if (size == 0 && last) {
    // An empty final block with fixed codes: the shortest end there is, and
    // what zlib itself writes for an empty file.
    out->assign({0x03, 0x00});
    return 0;
  }
#ifdef UPD_HAVE_LIBDEFLATE
  if (engine->kind == CompressEngineKind::kLibdeflate)
    return LibdeflatePiece(engine, data, size, last, out);
#endif
  if (historySize > kCompressHistoryMax) {
    history += historySize - kCompressHistoryMax;
    historySize = kCompressHistoryMax;
  }
  return ZlibPiece(engine, history, historySize, data, size, last, out);
}

uint32_t CompressAdler32(CompressEngineKind kind, uint32_t adler, const uint8_t* data,
                         size_t size) {
#ifdef UPD_HAVE_LIBDEFLATE
  if (kind == CompressEngineKind::kLibdeflate) return libdeflate_adler32(adler, data, size);
#else
  (void)kind;
#endif
  // zlib takes the length as a 32-bit count.
  while (size > 0) {
    uInt n = size > (1u << 30) ? (1u << 30) : static_cast<uInt>(size);
    adler = static_cast<uint32_t>(adler32(adler, data, n));
    data += n;
    size -= n;
  }
  return adler;
}

#ifdef UPD_HAVE_LIBDEFLATE
static int CompressMakeNonFinal(std::vector<uint8_t>* piece) {
  DeflateFinalBlock final;
  if (DeflateFindFinalBlock(piece->data(), piece->size(), &final) != 0) return -1;
  uint8_t* p = piece->data();
  p[final.startBit / 8] &= static_cast<uint8_t>(~(1u << (final.startBit % 8)));
  // An empty stored block follows at final.endBit: three zero header bits
  // (not final, stored), zero padding to the byte boundary, LEN 0, NLEN 0xFFFF.
  size_t bytes = (final.endBit + 3 + 7) / 8;
  piece->resize(bytes, 0);
  if (final.endBit % 8) {
    piece->data()[final.endBit / 8] &= static_cast<uint8_t>((1u << (final.endBit % 8)) - 1);
  }
  static const uint8_t kEmptyStored[4] = {0x00, 0x00, 0xFF, 0xFF};
  piece->insert(piece->end(), kEmptyStored, kEmptyStored + 4);
  return 0;
}
#endif
