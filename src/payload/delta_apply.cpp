#include "payload/delta_apply.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kInputBytes = 32768;
constexpr uint32_t kBufferBytes = 4096;

uint32_t Get32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// One of the three zlib streams, read from its own place in the delta.
struct Inflater {
  z_stream z;
  bool open;
  bool ended;
  uint32_t next;  // delta offset of the next byte to read
  uint32_t left;  // packed bytes not read yet
  unsigned char in[kInputBytes];
  unsigned char buf[kBufferBytes];  // inflated bytes for varints
  uint32_t at, have;
};

struct ApplyState {
  Inflater control, difference, literal;
  unsigned char out[kPayloadChunkSize];
  unsigned char diff[kPayloadChunkSize];
  uint32_t consumed;       // delta bytes read by all three
  uint64_t addLeft;        // bytes of the current add its runs have not covered yet
  uint64_t same, changed;  // what is left of the current pair of runs
};

int Open(Inflater* f, uint32_t offset, uint32_t bytes) {
  memset(&f->z, 0, sizeof f->z);
  f->open = false;
  f->ended = false;
  f->next = offset;
  f->left = bytes;
  f->at = f->have = 0;
  int r = inflateInit(&f->z);
  if (r == Z_MEM_ERROR) return kDeltaNoMemory;
  if (r != Z_OK) return kDeltaCorrupt;
  f->open = true;
  return kDeltaOk;
}

void Close(Inflater* f) {
  if (f->open) inflateEnd(&f->z);
  f->open = false;
}

// Inflates up to n bytes into out; *got may fall short only at the stream's
// end.
int InflateSome(Inflater* f, const DeltaReader& delta, uint32_t* consumed, unsigned char* out,
                uint32_t n, uint32_t* got) {
  f->z.next_out = out;
  f->z.avail_out = n;
  while (f->z.avail_out > 0 && !f->ended) {
    if (f->z.avail_in == 0 && f->left > 0) {
      uint32_t take = f->left < kInputBytes ? f->left : kInputBytes;
      if (delta.readAt(delta.context, f->next, f->in, take) != 0) return kDeltaReadFailed;
      f->next += take;
      f->left -= take;
      *consumed += take;
      f->z.next_in = f->in;
      f->z.avail_in = take;
    }
    int r = inflate(&f->z, Z_NO_FLUSH);
    if (r == Z_STREAM_END) {
      f->ended = true;
    } else if (r == Z_MEM_ERROR) {
      return kDeltaNoMemory;
    } else if (r != Z_OK) {
      return kDeltaCorrupt;  // data error, or no input left (Z_BUF_ERROR)
    }
  }
  *got = n - f->z.avail_out;
  return kDeltaOk;
}

// n bytes: first what the varint buffer holds, then straight from zlib.
int InflateExactly(Inflater* f, const DeltaReader& delta, uint32_t* consumed, unsigned char* out,
                   uint32_t n) {
  uint32_t buffered = f->have - f->at < n ? f->have - f->at : n;
  memcpy(out, f->buf + f->at, buffered);
  f->at += buffered;
  if (buffered == n) return kDeltaOk;
  uint32_t got = 0;
  int r = InflateSome(f, delta, consumed, out + buffered, n - buffered, &got);
  if (r != kDeltaOk) return r;
  return got == n - buffered ? kDeltaOk : kDeltaCorrupt;
}

// The stream must end here, with its packed bytes used up exactly.
int Finish(Inflater* f, const DeltaReader& delta, uint32_t* consumed) {
  if (f->at != f->have) return kDeltaCorrupt;
  unsigned char extra;
  uint32_t got = 0;
  int r = InflateSome(f, delta, consumed, &extra, 1, &got);
  if (r != kDeltaOk) return r;
  if (got != 0 || !f->ended || f->z.avail_in != 0 || f->left != 0) return kDeltaCorrupt;
  return kDeltaOk;
}

// *end is set when the stream has ended before the varint's first byte (a
// clean end between instructions).
int ReadVarint(Inflater* f, const DeltaReader& delta, uint32_t* consumed, uint64_t* value,
               bool* end) {
  *value = 0;
  *end = false;
  for (int i = 0; i < 5; ++i) {
    if (f->at == f->have) {
      uint32_t got = 0;
      int r = InflateSome(f, delta, consumed, f->buf, kBufferBytes, &got);
      if (r != kDeltaOk) return r;
      if (got == 0) {
        *end = i == 0;
        return i == 0 ? kDeltaOk : kDeltaCorrupt;
      }
      f->at = 0;
      f->have = got;
    }
    unsigned char b = f->buf[f->at++];
    *value |= static_cast<uint64_t>(b & 0x7F) << (7 * i);
    if (!(b & 0x80)) return kDeltaOk;
  }
  return kDeltaCorrupt;
}

// An add's differences over n bytes at `at`: runs of unchanged bytes and
// of changed ones, each pair within the add.
int AddDifferences(ApplyState* s, const DeltaReader& delta, unsigned char* at, uint32_t n,
                   uint64_t* same, uint64_t* changed) {
  while (n > 0) {
    if (*same == 0 && *changed == 0) {
      bool end = false;
      int r = ReadVarint(&s->difference, delta, &s->consumed, same, &end);
      if (r == kDeltaOk) r = ReadVarint(&s->difference, delta, &s->consumed, changed, &end);
      if (r == kDeltaOk && end) r = kDeltaCorrupt;
      if (r != kDeltaOk) return r;
      if ((*same == 0 && *changed == 0) || *same + *changed > s->addLeft) return kDeltaCorrupt;
      s->addLeft -= *same + *changed;
    }
    uint32_t skip = *same < n ? static_cast<uint32_t>(*same) : n;
    at += skip;
    n -= skip;
    *same -= skip;
    uint32_t take = *changed < n ? static_cast<uint32_t>(*changed) : n;
    if (take > 0) {
      int r = InflateExactly(&s->difference, delta, &s->consumed, s->diff, take);
      if (r != kDeltaOk) return r;
      for (uint32_t i = 0; i < take; ++i) at[i] = static_cast<unsigned char>(at[i] + s->diff[i]);
      at += take;
      n -= take;
      *changed -= take;
    }
  }
  return kDeltaOk;
}

struct Output {
  const PayloadSink* sink;
  Sha256 sha;
  uint32_t used;     // bytes in the chunk
  uint32_t written;  // bytes written before it
};

int Flush(ApplyState* s, Output* o, uint32_t position) {
  if (o->used == 0) return kDeltaOk;
  Sha256Update(&o->sha, s->out, o->used);
  if (o->sink->write(o->sink->context, s->out, o->used) != 0) return kDeltaWriteFailed;
  o->written += o->used;
  o->used = 0;
  if (o->sink->chunkWritten) o->sink->chunkWritten(o->sink->context, o->written, position);
  return kDeltaOk;
}

// One instruction of n bytes, in pieces that fill the output chunk.
int Produce(ApplyState* s, Output* o, uint32_t kind, uint32_t n, uint32_t baseAt,
            const DeltaReader& delta, const DeltaReader& base, uint32_t position) {
  while (n > 0) {
    uint32_t piece = kPayloadChunkSize - o->used;
    if (piece > n) piece = n;
    unsigned char* at = s->out + o->used;
    int r = kDeltaOk;
    if (kind == kDeltaKindLiteral) {
      r = InflateExactly(&s->literal, delta, &s->consumed, at, piece);
    } else {
      if (base.readAt(base.context, baseAt, at, piece) != 0) return kDeltaReadFailed;
      baseAt += piece;
      if (kind == kDeltaKindAdd) r = AddDifferences(s, delta, at, piece, &s->same, &s->changed);
    }
    if (r != kDeltaOk) return r;
    o->used += piece;
    n -= piece;
    if (o->used == kPayloadChunkSize) {
      r = Flush(s, o, position + s->consumed);
      if (r != kDeltaOk) return r;
    }
  }
  return kDeltaOk;
}

int Run(ApplyState* s, const DeltaHeader& h, const DeltaReader& delta, const DeltaReader& base,
        const PayloadSink& sink, uint32_t position, uint32_t* written) {
  Output o;
  o.sink = &sink;
  o.used = 0;
  o.written = 0;
  Sha256Begin(&o.sha);
  int64_t recent[kDeltaRecentEnds] = {0, 0, 0, 0};  // ends of the last copies and adds
  int64_t baseAt = 0;
  uint64_t made = 0;
  int r = kDeltaOk;
  while (r == kDeltaOk) {
    uint64_t head = 0, move = 0;
    bool end = false;
    r = ReadVarint(&s->control, delta, &s->consumed, &head, &end);
    if (r != kDeltaOk) break;
    if (end) {
      if (made != h.newSize) r = kDeltaWrongSize;
      break;
    }
    uint32_t kind = static_cast<uint32_t>(head & 3);
    uint64_t n = head >> 2;
    if (kind > kDeltaKindLiteral || n == 0) {
      r = kDeltaCorrupt;
      break;
    }
    if (n > h.newSize - made) {
      r = kDeltaWrongSize;
      break;
    }
    if (kind != kDeltaKindLiteral) {
      r = ReadVarint(&s->control, delta, &s->consumed, &move, &end);
      if (r == kDeltaOk && end) r = kDeltaCorrupt;
      if (r != kDeltaOk) break;
      uint64_t slot = move & (kDeltaRecentEnds - 1);
      move >>= 2;
      int64_t step = static_cast<int64_t>(move >> 1) ^ -static_cast<int64_t>(move & 1);
      baseAt = recent[slot] + step;
      if (baseAt < 0 || baseAt + static_cast<int64_t>(n) > static_cast<int64_t>(h.baseSize)) {
        r = kDeltaOutsideBase;
        break;
      }
    }
    s->addLeft = n;
    s->same = s->changed = 0;
    r = Produce(s, &o, kind, static_cast<uint32_t>(n), static_cast<uint32_t>(baseAt), delta, base,
                position);
    if (kind != kDeltaKindLiteral) {
      for (uint32_t k = kDeltaRecentEnds - 1; k > 0; --k) recent[k] = recent[k - 1];
      recent[0] = baseAt + static_cast<int64_t>(n);
    }
    made += n;
  }
  if (r == kDeltaOk) r = Flush(s, &o, position + s->consumed);
  if (r == kDeltaOk) r = Finish(&s->control, delta, &s->consumed);
  if (r == kDeltaOk) r = Finish(&s->difference, delta, &s->consumed);
  if (r == kDeltaOk) r = Finish(&s->literal, delta, &s->consumed);
  *written = o.written;
  if (r != kDeltaOk) return r;
  unsigned char digest[kSha256Bytes];
  Sha256End(&o.sha, digest);
  return memcmp(digest, h.newSha, kSha256Bytes) == 0 ? kDeltaOk : kDeltaBadOutput;
}

}  // namespace

int DeltaParseHeader(const unsigned char* bytes, uint32_t packedSize, DeltaHeader* h) {
  if (memcmp(bytes, kDeltaMagic, 4) != 0) return kDeltaBadHeader;
  h->baseSize = Get32(bytes + 4);
  memcpy(h->baseSha, bytes + 8, kSha256Bytes);
  h->newSize = Get32(bytes + 40);
  memcpy(h->newSha, bytes + 44, kSha256Bytes);
  h->controlBytes = Get32(bytes + 76);
  h->differenceBytes = Get32(bytes + 80);
  h->literalBytes = Get32(bytes + 84);
  if (h->baseSize > kPayloadValueMax || h->newSize > kPayloadValueMax) return kDeltaBadHeader;
  uint64_t total = static_cast<uint64_t>(kDeltaHeaderBytes) + h->controlBytes + h->differenceBytes +
                   h->literalBytes;
  return total == packedSize ? kDeltaOk : kDeltaBadHeader;
}

int DeltaCheckBase(const DeltaHeader& header, const DeltaReader& base, uint32_t baseSize) {
  if (baseSize != header.baseSize) return kDeltaBaseDiffers;
  unsigned char* chunk = static_cast<unsigned char*>(malloc(kPayloadChunkSize));
  if (!chunk) return kDeltaNoMemory;
  Sha256 sha;
  Sha256Begin(&sha);
  int r = kDeltaOk;
  for (uint32_t at = 0; at < baseSize;) {
    uint32_t piece = baseSize - at < kPayloadChunkSize ? baseSize - at : kPayloadChunkSize;
    if (base.readAt(base.context, at, chunk, piece) != 0) {
      r = kDeltaReadFailed;
      break;
    }
    Sha256Update(&sha, chunk, piece);
    at += piece;
  }
  free(chunk);
  if (r != kDeltaOk) return r;
  unsigned char digest[kSha256Bytes];
  Sha256End(&sha, digest);
  return memcmp(digest, header.baseSha, kSha256Bytes) == 0 ? kDeltaOk : kDeltaBaseDiffers;
}

int DeltaApply(const DeltaHeader& header, const DeltaReader& delta, const DeltaReader& base,
               uint32_t baseSize, const PayloadSink& sink, uint32_t position, uint32_t* written) {
  *written = 0;
  if (baseSize != header.baseSize) return kDeltaBaseDiffers;
  ApplyState* s = static_cast<ApplyState*>(malloc(sizeof(ApplyState)));
  if (!s) return kDeltaNoMemory;
  s->consumed = kDeltaHeaderBytes;
  uint32_t at = kDeltaHeaderBytes;
  int r = Open(&s->control, at, header.controlBytes);
  at += header.controlBytes;
  int r2 = Open(&s->difference, at, header.differenceBytes);
  at += header.differenceBytes;
  int r3 = Open(&s->literal, at, header.literalBytes);
  if (r == kDeltaOk) r = r2;
  if (r == kDeltaOk) r = r3;
  if (r == kDeltaOk) r = Run(s, header, delta, base, sink, position, written);
  Close(&s->control);
  Close(&s->difference);
  Close(&s->literal);
  free(s);
  return r;
}

const char* DeltaResultText(int code) {
  switch (code) {
    case kDeltaOk:
      return "ok";
    case kDeltaBadHeader:
      return "delta header is damaged";
    case kDeltaBaseDiffers:
      return "base file differs from the one the delta was made against";
    case kDeltaCorrupt:
      return "delta stream is corrupt";
    case kDeltaOutsideBase:
      return "delta copies from outside the base file";
    case kDeltaWrongSize:
      return "delta makes a file of another size than announced";
    case kDeltaBadOutput:
      return "new file's checksum fails";
    case kDeltaReadFailed:
      return "read failed";
    case kDeltaWriteFailed:
      return "write failed";
    case kDeltaNoMemory:
      return "out of memory";
    default:
      return "unknown delta failure";
  }
}
