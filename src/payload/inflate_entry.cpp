#include "payload/inflate_entry.h"

#include <zlib.h>

#include "payload/format.h"

namespace {

int Fail(z_stream* zs, const char** reason, const char* text) {
  if (reason) *reason = text ? text : (zs->msg ? zs->msg : "corrupt stream");
  inflateEnd(zs);
  return 1;
}

}  // namespace

int PayloadWriteStdio(void* context, const unsigned char* data, uint32_t size) {
  return fwrite(data, 1, size, static_cast<FILE*>(context)) == size ? 0 : 1;
}

int PayloadReadTimeStamp(FILE* stream, uint64_t* stamp) {
  unsigned char bytes[kPayloadTimeStampBytes];
  if (fread(bytes, 1, sizeof bytes, stream) != sizeof bytes) return -1;
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | bytes[i];
  *stamp = value;
  return 0;
}

int PayloadInflateEntry(FILE* stream, uint32_t packedSize, uint32_t position,
                        unsigned char* inChunk, unsigned char* outChunk, const PayloadSink& sink,
                        uint32_t* written, const char** reason) {
  *written = 0;
  z_stream zs{};  // default memory routines, no input yet
  if (inflateInit(&zs) != Z_OK) {
    if (reason) *reason = "inflateInit failed";
    return 1;
  }
  zs.next_out = outChunk;
  zs.avail_out = kPayloadChunkSize;
  uint32_t remaining = packedSize;
  for (;;) {
    if (zs.avail_in == 0 && remaining > 0) {
      uint32_t n = remaining < kPayloadChunkSize ? remaining : kPayloadChunkSize;
      size_t got = fread(inChunk, 1, n, stream);
      zs.next_in = inChunk;
      zs.avail_in = static_cast<uInt>(got);
      remaining -= n;
      position += n;
    }
    int result = inflate(&zs, Z_NO_FLUSH);
    if (result == Z_STREAM_END) {
      uint32_t k = kPayloadChunkSize - zs.avail_out;
      if (k > 0) {
        if (sink.write(sink.context, outChunk, k) != 0) return Fail(&zs, reason, "write failed");
        *written += k;
        if (sink.chunkWritten) sink.chunkWritten(sink.context, *written, position);
      }
      bool unused = zs.avail_in != 0 || remaining != 0;
      if (inflateEnd(&zs) != Z_OK) {
        if (reason) *reason = "inflateEnd failed";
        return 1;
      }
      if (unused) {
        if (reason) *reason = "stream ends before its packed size";
        return 1;
      }
      return 0;
    }
    if (result != Z_OK) {
      if (result == Z_BUF_ERROR) return Fail(&zs, reason, "stream is cut short");
      return Fail(&zs, reason, nullptr);
    }
    if (zs.avail_out != 0) continue;
    if (sink.write(sink.context, outChunk, kPayloadChunkSize) != 0) {
      return Fail(&zs, reason, "write failed");
    }
    *written += kPayloadChunkSize;
    zs.next_out = outChunk;
    zs.avail_out = kPayloadChunkSize;
    if (sink.chunkWritten) sink.chunkWritten(sink.context, *written, position);
  }
}
