// Any bytes as a delta stream, applied to a base of the size its header
// names: the base is made up from its offsets, so no size needs memory.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "payload/delta_apply.h"

namespace {

struct Input {
  const uint8_t* data;
  size_t size;
};

int ReadDelta(void* context, uint32_t offset, unsigned char* out, uint32_t size) {
  Input* in = static_cast<Input*>(context);
  if (offset > in->size || size > in->size - offset) abort();  // never beyond the packed size
  memcpy(out, in->data + offset, size);
  return 0;
}

struct Base {
  uint32_t size;
};

int ReadBase(void* context, uint32_t offset, unsigned char* out, uint32_t size) {
  Base* b = static_cast<Base*>(context);
  if (offset > b->size || size > b->size - offset) abort();  // copies stay inside
  for (uint32_t i = 0; i < size; ++i) out[i] = static_cast<unsigned char>((offset + i) * 131 >> 3);
  return 0;
}

struct Counter {
  uint64_t bytes;
  uint32_t limit;
};

int Count(void* context, const unsigned char*, uint32_t size) {
  Counter* c = static_cast<Counter*>(context);
  if (size == 0 || size > kPayloadChunkSize) abort();
  c->bytes += size;
  if (c->bytes > c->limit) abort();  // more than announced
  // Stop files far larger than a fuzzer's input makes worth following.
  return c->bytes > (16u << 20) ? 1 : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kDeltaHeaderBytes || size > 0x7FFFFFFF) return 0;
  DeltaHeader h;
  if (DeltaParseHeader(data, static_cast<uint32_t>(size), &h) != kDeltaOk) return 0;
  Input in{data, size};
  Base base{h.baseSize};
  DeltaReader delta{&in, ReadDelta}, baseReader{&base, ReadBase};
  if (h.baseSize <= 65536) DeltaCheckBase(h, baseReader, h.baseSize);
  Counter counter{0, h.newSize};
  PayloadSink sink{&counter, Count, nullptr};
  uint32_t written = 0;
  int r = DeltaApply(h, delta, baseReader, h.baseSize, sink, 0, &written);
  if (written != counter.bytes) abort();
  if (r == kDeltaOk && written != h.newSize) abort();
  return 0;
}
