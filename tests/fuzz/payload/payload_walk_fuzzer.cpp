// Any bytes as an executable with a payload: the walk in both modes, with
// every file's stream inflated into a sink that only counts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "payload/entry.h"
#include "payload/inflate_entry.h"
#include "payload/walk.h"

namespace {

struct Counter {
  std::vector<unsigned char> in = std::vector<unsigned char>(kPayloadChunkSize);
  std::vector<unsigned char> out = std::vector<unsigned char>(kPayloadChunkSize);
  uint64_t bytes = 0;
};

int Count(void* context, const unsigned char*, uint32_t size) {
  Counter* c = static_cast<Counter*>(context);
  c->bytes += size;
  // Stop streams that would inflate far beyond any real file here.
  return c->bytes > (64u << 20) ? 1 : 0;
}

void MakeFolder(void*, const char* path) {
  if (!path[0]) abort();
}

int ExtractFile(void* context, FILE* stream, const PayloadEntry& entry, const char*,
                uint32_t position) {
  Counter* c = static_cast<Counter*>(context);
  uint64_t stamp;
  if (PayloadReadTimeStamp(stream, &stamp) != 0) return 1;
  PayloadSink sink{c, Count, nullptr};
  uint32_t written = 0;
  return PayloadInflateEntry(stream, entry.packedSize, position + 8, c->in.data(), c->out.data(),
                             sink, &written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (int mode : {kPayloadFullMode, kPayloadStartupMode}) {
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f) return 0;
    PayloadLocation where;
    if (PayloadLocate(f, &where) == 0) {
      Counter counter;
      PayloadWalkOps ops{&counter, IsLeadByte, MakeFolder, ExtractFile, nullptr};
      PayloadWalk(f, where.length, "C:\\dest", mode, ops);
    }
    fclose(f);
  }
  return 0;
}
