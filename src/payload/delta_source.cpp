#include "payload/delta_source.h"

namespace {

int ReadAt(void* context, uint32_t offset, unsigned char* data, uint32_t size) {
  DeltaSource* s = static_cast<DeltaSource*>(context);
  if (offset > s->size || size > s->size - offset) return -1;
  int64_t want = s->origin + offset;
  if (s->at != want) {
    if (s->seek(s->handle, want) != 0) {
      s->at = -1;
      return -1;
    }
    s->at = want;
  }
  uint32_t got = 0;
  while (got < size) {
    uint32_t n = s->read(s->handle, data + got, size - got);
    if (n == 0) break;
    got += n;
  }
  s->at = got == size ? want + size : -1;
  return got == size ? 0 : -1;
}

int StdioSeek(void* handle, int64_t offset) {
#ifdef _WIN32
  return _fseeki64(static_cast<FILE*>(handle), offset, SEEK_SET);
#else
  return fseeko(static_cast<FILE*>(handle), static_cast<off_t>(offset), SEEK_SET);
#endif
}

uint32_t StdioRead(void* handle, unsigned char* data, uint32_t size) {
  return static_cast<uint32_t>(fread(data, 1, size, static_cast<FILE*>(handle)));
}

}  // namespace

void DeltaSourceInit(DeltaSource* source, void* handle, int (*seek)(void*, int64_t),
                     uint32_t (*read)(void*, unsigned char*, uint32_t), int64_t origin,
                     uint32_t size) {
  source->handle = handle;
  source->seek = seek;
  source->read = read;
  source->origin = origin;
  source->size = size;
  source->at = -1;
}

void DeltaSourceOnStdio(DeltaSource* source, FILE* stream, int64_t origin, uint32_t size) {
  DeltaSourceInit(source, stream, StdioSeek, StdioRead, origin, size);
}

DeltaReader DeltaSourceReader(DeltaSource* source) { return DeltaReader{source, ReadAt}; }

int DeltaEntryBegin(FILE* stream, uint32_t packedSize, uint64_t* stamp, DeltaHeader* header,
                    int64_t* start) {
  if (PayloadReadTimeStamp(stream, stamp) != 0) return kDeltaReadFailed;
#ifdef _WIN32
  *start = _ftelli64(stream);
#else
  *start = ftello(stream);
#endif
  unsigned char bytes[kDeltaHeaderBytes];
  if (*start < 0 || packedSize < kDeltaHeaderBytes ||
      fread(bytes, 1, sizeof bytes, stream) != sizeof bytes) {
    return kDeltaReadFailed;
  }
  return DeltaParseHeader(bytes, packedSize, header);
}
