// The delta codec from the command line, for delta_bench.sh:
//   delta_bench_tool encode BASE NEW DELTA   the delta stream (as in a payload)
//   delta_bench_tool apply BASE DELTA OUT    the new file, base read with seeks
// Exit code 0, or 1 with a message. For tuning, the environment may set
// the encoder options MM (minMatch), NM (nearMatch), CL (chainLimit), CR
// (copyRun) and ME (maxEntries).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "payload/delta_apply.h"
#include "updpack/delta/delta_encode.h"

namespace {

bool ReadWhole(const char* path, std::vector<unsigned char>* out) {
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  fseek(f, 0, SEEK_END);
  long size = ftell(f);
  fseek(f, 0, SEEK_SET);
  out->resize(static_cast<size_t>(size));
  bool ok = size == 0 || fread(out->data(), 1, out->size(), f) == out->size();
  fclose(f);
  return ok;
}

// A file read at offsets, seeking only when the offset is not where the
// last read ended.
struct SeekFile {
  FILE* f;
  long at;
};

int ReadAt(void* context, uint32_t offset, unsigned char* data, uint32_t size) {
  SeekFile* s = static_cast<SeekFile*>(context);
  if (s->at != static_cast<long>(offset) && fseek(s->f, offset, SEEK_SET) != 0) return 1;
  s->at = static_cast<long>(offset) + size;
  return fread(data, 1, size, s->f) == size ? 0 : 1;
}

int WriteFile(void* context, const unsigned char* data, uint32_t size) {
  return fwrite(data, 1, size, static_cast<FILE*>(context)) == size ? 0 : 1;
}

int Encode(const char* basePath, const char* newPath, const char* outPath) {
  std::vector<unsigned char> base, next, delta;
  if (!ReadWhole(basePath, &base) || !ReadWhole(newPath, &next)) {
    fprintf(stderr, "cannot read the inputs\n");
    return 1;
  }
  DeltaEncodeOptions options;
  if (getenv("CR")) options.copyRun = atoi(getenv("CR"));
  if (getenv("MM")) options.minMatch = atoi(getenv("MM"));
  if (getenv("NM")) options.nearMatch = atoi(getenv("NM"));
  if (getenv("CL")) options.chainLimit = atoi(getenv("CL"));
  if (getenv("ME")) options.maxEntries = atoi(getenv("ME"));
  DeltaEncodeStats stats;
  if (DeltaEncode(base.data(), static_cast<uint32_t>(base.size()), next.data(),
                  static_cast<uint32_t>(next.size()), options, &delta, &stats) != 0) {
    fprintf(stderr, "encoding failed\n");
    return 1;
  }
  FILE* f = fopen(outPath, "wb");
  if (!f || fwrite(delta.data(), 1, delta.size(), f) != delta.size() || fclose(f) != 0) {
    fprintf(stderr, "cannot write %s\n", outPath);
    return 1;
  }
  fprintf(stderr, "copies %u (%llu B), adds %u (%llu B), literals %u (%llu B)\n", stats.copies,
          static_cast<unsigned long long>(stats.copyBytes), stats.adds,
          static_cast<unsigned long long>(stats.addBytes), stats.literals,
          static_cast<unsigned long long>(stats.literalBytes));
  return 0;
}

int Apply(const char* basePath, const char* deltaPath, const char* outPath) {
  SeekFile base{fopen(basePath, "rb"), 0}, delta{fopen(deltaPath, "rb"), 0};
  FILE* out = fopen(outPath, "wb");
  if (!base.f || !delta.f || !out) {
    fprintf(stderr, "cannot open the files\n");
    return 1;
  }
  fseek(base.f, 0, SEEK_END);
  uint32_t baseSize = static_cast<uint32_t>(ftell(base.f));
  fseek(base.f, 0, SEEK_SET);
  fseek(delta.f, 0, SEEK_END);
  uint32_t deltaSize = static_cast<uint32_t>(ftell(delta.f));
  fseek(delta.f, 0, SEEK_SET);
  unsigned char head[kDeltaHeaderBytes];
  DeltaHeader h;
  int r = ReadAt(&delta, 0, head, kDeltaHeaderBytes) != 0 ? kDeltaReadFailed
                                                          : DeltaParseHeader(head, deltaSize, &h);
  DeltaReader dr{&delta, ReadAt}, br{&base, ReadAt};
  PayloadSink sink{out, WriteFile, nullptr};
  uint32_t written = 0;
  if (r == kDeltaOk) r = DeltaApply(h, dr, br, baseSize, sink, 0, &written);
  fclose(base.f);
  fclose(delta.f);
  if (fclose(out) != 0 && r == kDeltaOk) r = kDeltaWriteFailed;
  if (r != kDeltaOk) {
    fprintf(stderr, "apply failed: %s\n", DeltaResultText(r));
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && strcmp(argv[1], "encode") == 0) return Encode(argv[2], argv[3], argv[4]);
  if (argc == 5 && strcmp(argv[1], "apply") == 0) return Apply(argv[2], argv[3], argv[4]);
  fprintf(stderr, "usage: delta_bench_tool encode BASE NEW DELTA | apply BASE DELTA OUT\n");
  return 2;
}
