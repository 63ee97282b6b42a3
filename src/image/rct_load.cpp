#include "image/rct_load.h"

#include <cstdio>
#include <cstdlib>

#include "image/picture_layout.h"
#include "image/rct_decode.h"
#include "image/rct_format.h"
#include "support/alloc_or_exit.h"
#include "support/fflayer.h"

namespace {

enum ReadResult { kReadOk, kReadShort, kReadRefused };

// Bytes from the file position to its end, or -1 when it cannot be told.
long RemainingBytes(FILE* file) {
  long here = ftell(file);
  if (here < 0 || fseek(file, 0, SEEK_END) != 0) return -1;
  long end = ftell(file);
  if (fseek(file, here, SEEK_SET) != 0 || end < here) return -1;
  return end - here;
}

bool SkipBytes(FILE* file, size_t count) {
  unsigned char chunk[256];
  while (count > 0) {
    size_t part = count < sizeof chunk ? count : sizeof chunk;
    if (fread(chunk, 1, part, file) != part) return false;
    count -= part;
  }
  return true;
}

// Reads the header, passes over a TC01 text and reads the pixel stream into
// a new buffer (*stream, which the caller frees whatever the result).
ReadResult ReadPicture(FILE* file, RctHeader* header, unsigned char** stream) {
  unsigned char bytes[kRctHeaderSize];
  if (fread(bytes, 1, sizeof bytes, file) != sizeof bytes) return kReadShort;
  int kind = RctParseHeader(bytes, header);
  if (kind != kRctKindTc00 && kind != kRctKindTc01) return kReadRefused;
  if (PicturePackedBytes(header->width, header->height) < 0) return kReadRefused;
  if (kind == kRctKindTc01) {
    unsigned char length[kRctTextLengthSize];
    if (fread(length, 1, sizeof length, file) != sizeof length) return kReadShort;
    if (!SkipBytes(file, length[0] | (length[1] << 8))) return kReadShort;
  }
  // A size beyond the file's end could only end in a short read; finding it
  // first keeps a damaged header from asking for gigabytes.
  long remaining = RemainingBytes(file);
  if (remaining >= 0 && header->dataSize > static_cast<unsigned long>(remaining)) {
    return kReadShort;
  }
  *stream = static_cast<unsigned char*>(AllocOrExit(header->dataSize));
  if (fread(*stream, 1, header->dataSize, file) != header->dataSize) return kReadShort;
  return kReadOk;
}

}  // namespace

Surface* RctLoad(const char* name) {
  for (int attempt = 0; attempt <= kRctLoadRestarts; ++attempt) {
    FILE* file = Ffopen(name, "rb");
    RctHeader header;
    unsigned char* stream = nullptr;
    ReadResult read = ReadPicture(file, &header, &stream);
    fclose(file);
    if (read == kReadShort) {
      free(stream);
      continue;
    }
    if (read == kReadRefused) {
      free(stream);
      return nullptr;
    }

    Surface* surface = SurfaceCreate(header.width, header.height);
    if (!surface) {
      free(stream);
      return nullptr;
    }
    // Straight into the bitmap's memory as packed rows, spread afterwards.
    const size_t bitmapBytes = static_cast<size_t>(surface->stride) * surface->height;
    int decoded =
        RctDecode(stream, header.dataSize, header.width, header.height, surface->bits, bitmapBytes);
    free(stream);
    if (decoded != kRctDecodeOk) {
      SurfaceFree(surface);
      return nullptr;
    }
    PictureSpreadRows(surface->bits, surface->width, surface->height, surface->stride);
    return surface;
  }
  return nullptr;
}
