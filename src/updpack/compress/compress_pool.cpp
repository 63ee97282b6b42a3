#include "updpack/compress/compress_pool.h"

#include <zlib.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "updpack/fsys/fsys.h"

namespace {

struct Task {
  size_t source;
  uint64_t offset;
  uint32_t size;
  bool first;
  bool last;
};

}  // namespace

struct PackPool {
  const std::vector<PackSource>* sources;
  PackOptions options;
  std::vector<Task> tasks;
  std::vector<CompressEngine*> engines;
  std::vector<std::thread> threads;

  std::mutex lock;
  std::condition_variable changed;
  size_t window = 0;     // pieces in flight at most
  size_t nextTask = 0;   // the next task a worker takes
  size_t delivered = 0;  // pieces handed out so far
  bool stop = false;
  std::vector<PackPiece> slots;  // task t waits in slot t % window
  std::vector<char> filled;
};

namespace {

// Reads the piece's bytes, with history before them when the engine uses it.
// Returns "" or the reason of a failure.
std::string ReadPiece(const PackSource& src, const Task& task, size_t historyWanted,
                      std::vector<uint8_t>* buffer, const uint8_t** data, size_t* history) {
  size_t hist = task.offset < historyWanted ? static_cast<size_t>(task.offset) : historyWanted;
  *history = hist;
  if (src.memory) {
    *data = src.memory->data() + task.offset - hist;
    return "";
  }
  FILE* f = FsOpen(src.path, "rb");
  if (!f) return std::string("cannot open: ") + strerror(errno);
  buffer->resize(hist + task.size);
  std::string error;
  if (FsSeek(f, task.offset - hist) != 0) {
    error = std::string("cannot read: ") + strerror(errno);
  } else {
    size_t n = fread(buffer->data(), 1, buffer->size(), f);
    if (n != buffer->size()) {
      error = ferror(f) ? std::string("cannot read: ") + strerror(errno)
                        : "the file became shorter while it was packed";
    } else if (task.last && fgetc(f) != EOF) {
      error = "the file grew while it was packed";
    }
  }
  fclose(f);
  *data = buffer->data();
  return error;
}

void Work(PackPool* pool, CompressEngine* engine) {
  std::vector<uint8_t> buffer;
  size_t historyWanted = CompressEngineUsesHistory(pool->options.engine) ? kCompressHistoryMax : 0;
  for (;;) {
    size_t t;
    {
      std::unique_lock<std::mutex> hold(pool->lock);
      pool->changed.wait(hold, [pool] {
        return pool->stop || pool->nextTask >= pool->tasks.size() ||
               pool->nextTask < pool->delivered + pool->window;
      });
      if (pool->stop || pool->nextTask >= pool->tasks.size()) return;
      t = pool->nextTask++;
    }
    const Task& task = pool->tasks[t];
    const PackSource& src = (*pool->sources)[task.source];
    PackPiece piece;
    piece.source = task.source;
    piece.first = task.first;
    piece.last = task.last;
    piece.rawSize = task.size;
    const uint8_t* data = nullptr;
    size_t history = 0;
    piece.error = ReadPiece(src, task, historyWanted, &buffer, &data, &history);
    if (piece.error.empty()) {
      const uint8_t* bytes = data + history;
      piece.adler = CompressAdler32(pool->options.engine, 1, bytes, task.size);
      if (CompressPiece(engine, data, history, bytes, task.size, task.last, &piece.data) != 0)
        piece.error = "the compressor failed";
    }
    std::lock_guard<std::mutex> hold(pool->lock);
    pool->slots[t % pool->window] = std::move(piece);
    pool->filled[t % pool->window] = 1;
    pool->changed.notify_all();
  }
}

}  // namespace

PackPool* PackPoolStart(const std::vector<PackSource>* sources, const PackOptions& options) {
  PackPool* pool = new PackPool();
  pool->sources = sources;
  pool->options = options;
  if (pool->options.threads < 1) pool->options.threads = 1;
  if (pool->options.pieceSize == 0 || pool->options.pieceSize > kPackPieceSizeMax)
    pool->options.pieceSize = kPackPieceSize;
  size_t pieceSize = pool->options.pieceSize;
  for (size_t s = 0; s < sources->size(); ++s) {
    uint64_t size = (*sources)[s].size;
    uint64_t offset = 0;
    do {
      uint64_t n = size - offset < pieceSize ? size - offset : pieceSize;
      pool->tasks.push_back(
          Task{s, offset, static_cast<uint32_t>(n), offset == 0, offset + n == size});
      offset += n;
    } while (offset < size);
  }
  int threads = pool->options.threads;
  pool->window = static_cast<size_t>(threads) * 4;
  pool->slots.resize(pool->window);
  pool->filled.assign(pool->window, 0);
  for (int i = 0; i < threads; ++i) {
    CompressEngine* engine = CompressEngineCreate(options.engine, options.level);
    if (!engine) {
      PackPoolFinish(pool);
      return nullptr;
    }
    pool->engines.push_back(engine);
  }
  for (int i = 0; i < threads; ++i) pool->threads.emplace_back(Work, pool, pool->engines[i]);
  return pool;
}

bool PackPoolNext(PackPool* pool, PackPiece* piece) {
  std::unique_lock<std::mutex> hold(pool->lock);
  if (pool->delivered >= pool->tasks.size()) return false;
  size_t slot = pool->delivered % pool->window;
  pool->changed.wait(hold, [pool, slot] { return pool->filled[slot] != 0; });
  *piece = std::move(pool->slots[slot]);
  pool->slots[slot] = PackPiece();
  pool->filled[slot] = 0;
  pool->delivered++;
  pool->changed.notify_all();
  return true;
}

void PackPoolFinish(PackPool* pool) {
  if (!pool) return;
  {
    std::lock_guard<std::mutex> hold(pool->lock);
    pool->stop = true;
    pool->changed.notify_all();
  }
  for (std::thread& t : pool->threads) t.join();
  for (CompressEngine* e : pool->engines) CompressEngineFree(e);
  delete pool;
}

uint32_t PackAdlerCombine(uint32_t a, uint32_t b, uint32_t lengthB) {
  return static_cast<uint32_t>(adler32_combine(a, b, static_cast<z_off_t>(lengthB)));
}
