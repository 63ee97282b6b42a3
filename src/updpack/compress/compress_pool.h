// Compresses the contents of many files on every core. Each file is cut into
// pieces of a fixed size; the pieces are compressed in any order by worker
// threads and handed back strictly in order (file by file, piece by piece),
// so the output does not depend on the number of threads. Only a bounded
// number of pieces is in flight, whatever the files' sizes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "updpack/compress/compress_engine.h"

constexpr size_t kPackPieceSize = 1u << 20;
constexpr size_t kPackPieceSizeMax = 1u << 26;

// One file's contents: a file read by the workers, or bytes in memory.
struct PackSource {
  std::string path;
  const std::vector<uint8_t>* memory = nullptr;
  uint64_t size = 0;  // the size expected; a file that changed is an error
};

struct PackPiece {
  size_t source = 0;          // index into the sources
  bool first = false;         // the source's first piece
  bool last = false;          // the source's last piece
  uint32_t rawSize = 0;       // bytes of the source in this piece
  uint32_t adler = 1;         // Adler-32 of those bytes alone
  std::vector<uint8_t> data;  // raw deflate ending on a byte boundary
  std::string error;          // why the piece could not be made ("" when fine)
};

struct PackOptions {
  int threads = 1;
  CompressEngineKind engine = CompressEngineKind::kZlib;
  int level = kCompressLevelDefault;
  size_t pieceSize = kPackPieceSize;
};

struct PackPool;

// Starts the workers. The sources must stay unchanged until PackPoolFinish.
// Returns null when a compressor cannot be made.
PackPool* PackPoolStart(const std::vector<PackSource>* sources, const PackOptions& options);
// The next piece in order. Returns false when every piece has been handed out.
bool PackPoolNext(PackPool* pool, PackPiece* piece);
// Stops the workers (also midway) and frees the pool.
void PackPoolFinish(PackPool* pool);

// Joins the Adler-32 of consecutive data: a of the first part, b of the
// second part of length lengthB.
uint32_t PackAdlerCombine(uint32_t a, uint32_t b, uint32_t lengthB);
