#include "updpack/build/build_write.h"

#include <cerrno>
#include <cstring>

#include "payload/writer.h"
#include "updpack/fsys/fsys.h"
#include "updpack/report.h"

namespace {

constexpr size_t kZlibHeaderBytes = 2;

struct Writer {
  FILE* out;
  const std::string* outName;
  uint64_t pos;  // file offset of the next byte
  bool failed;
  uint8_t zlibHeader[kZlibHeaderBytes];
};

// The whole file, trailer included, must stay within the format's signed
// 32-bit offsets; tail is what still has to follow (end marker, trailer).
constexpr uint64_t kTail = kPayloadEndMarkerBytes + kPayloadTrailerBytes;

bool Fits(const Writer& w, uint64_t more) { return w.pos + more + kTail <= kPayloadValueMax; }

bool Put(Writer* w, const void* data, size_t size) {
  if (size && fwrite(data, 1, size, w->out) != size) {
    ReportError(FsShown(*w->outName).c_str(), "cannot write: %s", strerror(errno));
    w->failed = true;
    return false;
  }
  w->pos += size;
  return true;
}

bool Put(Writer* w, const std::vector<uint8_t>& bytes) {
  return Put(w, bytes.data(), bytes.size());
}

void ReportTooLarge(const BuildEntry& e) {
  ReportError(e.shown.c_str(),
              "the update would reach 2 GiB here, more than the format can address");
}

bool PieceOk(const PackPiece& piece, const BuildEntry& e) {
  if (piece.error.empty()) return true;
  ReportError(e.shown.c_str(), "%s", piece.error.c_str());
  return false;
}

// Writes one file entry from its pieces. Returns 0 or -1 (reported).
int WriteFile(Writer* w, PackPool* pool, const BuildEntry& e, BuildStats* stats, uint64_t* done) {
  PackPiece piece;
  if (!PackPoolNext(pool, &piece) || !PieceOk(piece, e)) return -1;
  // A file in one piece is written whole; a longer one gets its packed size
  // patched in once its stream is complete.
  bool whole = piece.last;
  uint64_t packed = kZlibHeaderBytes + piece.data.size() + 4;
  std::vector<uint8_t> head;
  if (PayloadAppendEntryHeader(
          &head, e.name.c_str(), static_cast<uint32_t>(e.size),
          whole && packed <= kPayloadValueMax ? static_cast<uint32_t>(packed) : 0) != 0) {
    ReportTooLarge(e);
    return -1;
  }
  PayloadAppendTimeStamp(&head, e.fileTime);
  uint64_t packedSizeAt = w->pos + PayloadPackedSizeOffset(e.name.c_str());
  uint64_t streamStart = w->pos + head.size();
  if (!Fits(*w, head.size() + packed)) {
    ReportTooLarge(e);
    return -1;
  }
  if (!Put(w, head) || !Put(w, w->zlibHeader, kZlibHeaderBytes) || !Put(w, piece.data)) return -1;
  uint32_t adler = piece.adler;
  *done += piece.rawSize;
  ProgressUpdate(*done);
  while (!piece.last) {
    if (!PackPoolNext(pool, &piece) || !PieceOk(piece, e)) return -1;
    if (!Fits(*w, piece.data.size() + 4)) {
      ReportTooLarge(e);
      return -1;
    }
    if (!Put(w, piece.data)) return -1;
    adler = PackAdlerCombine(adler, piece.adler, piece.rawSize);
    *done += piece.rawSize;
    ProgressUpdate(*done);
  }
  uint8_t check[4] = {static_cast<uint8_t>(adler >> 24), static_cast<uint8_t>(adler >> 16),
                      static_cast<uint8_t>(adler >> 8), static_cast<uint8_t>(adler)};
  if (!Put(w, check, 4)) return -1;
  packed = w->pos - streamStart;
  if (!whole) {
    uint8_t field[4];
    PayloadPutU32(field, static_cast<uint32_t>(packed));
    uint64_t end = w->pos;
    if (FsSeek(w->out, packedSizeAt) != 0 || fwrite(field, 1, 4, w->out) != 4 ||
        FsSeek(w->out, end) != 0) {
      ReportError(FsShown(*w->outName).c_str(), "cannot write: %s", strerror(errno));
      return -1;
    }
  }
  stats->files++;
  stats->rawBytes += e.size;
  stats->packedBytes += packed;
  return 0;
}

// Writes one delta entry: a file's header with the delta mark for its size.
int WriteDelta(Writer* w, const BuildEntry& e, BuildStats* stats, uint64_t* done) {
  std::vector<uint8_t> head;
  // The header writer takes sizes below 2^31 only; the mark goes in after.
  if (PayloadAppendEntryHeader(&head, e.name.c_str(), 0, static_cast<uint32_t>(e.delta.size())) !=
          0 ||
      !Fits(*w, head.size() + kPayloadTimeStampBytes + e.delta.size())) {
    ReportTooLarge(e);
    return -1;
  }
  PayloadPutU32(&head[PayloadPackedSizeOffset(e.name.c_str()) - 4], kPayloadDeltaSize);
  PayloadAppendTimeStamp(&head, e.fileTime);
  if (!Put(w, head) || !Put(w, e.delta)) return -1;
  *done += e.size;
  ProgressUpdate(*done);
  stats->files++;
  stats->deltas++;
  stats->rawBytes += e.size;
  stats->packedBytes += e.delta.size();
  return 0;
}

}  // namespace

int BuildWritePayload(FILE* out, const std::string& outName, uint64_t imageLength,
                      const std::vector<BuildEntry>& entries, const PackOptions& options,
                      BuildStats* stats) {
  std::vector<PackSource> sources;
  uint64_t total = 0;
  for (const BuildEntry& e : entries) {
    if (e.isFolder) continue;
    total += e.size;
    if (!e.delta.empty()) continue;
    PackSource src;
    if (e.path.empty()) {
      src.memory = &e.contents;
    } else {
      src.path = e.path;
    }
    src.size = e.size;
    sources.push_back(src);
  }
  PackPool* pool = PackPoolStart(&sources, options);
  if (!pool) {
    ReportError(nullptr, "cannot start the compressor");
    return -1;
  }
  Writer w{out, &outName, imageLength, false, {}};
  CompressZlibHeader(options.level, w.zlibHeader);
  uint64_t done = 0;
  int rc = 0;
  ProgressStart("packing", total);
  for (const BuildEntry& e : entries) {
    if (e.isFolder) {
      std::vector<uint8_t> head;
      if (PayloadAppendEntryHeader(&head, e.name.c_str(), kPayloadFolderSize, 0) != 0 ||
          !Fits(w, head.size())) {
        ReportTooLarge(e);
        rc = -1;
        break;
      }
      if (!Put(&w, head)) {
        rc = -1;
        break;
      }
      stats->folders++;
    } else if (!e.delta.empty()) {
      if (WriteDelta(&w, e, stats, &done) != 0) {
        rc = -1;
        break;
      }
    } else if (WriteFile(&w, pool, e, stats, &done) != 0) {
      rc = -1;
      break;
    }
  }
  PackPoolFinish(pool);
  if (rc == 0) {
    std::vector<uint8_t> tail;
    PayloadAppendEndMarker(&tail);
    PayloadAppendTrailer(&tail, static_cast<uint32_t>(imageLength));
    if (!Put(&w, tail)) rc = -1;
  }
  ProgressEnd();
  stats->totalBytes = w.pos;
  return rc;
}
