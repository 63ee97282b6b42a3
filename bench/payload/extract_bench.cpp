// The updater's extraction loop (PayloadInflateEntry, the code the updater
// runs) against plain chunked zlib inflate-and-write loops, on the same
// stream, in rotating order, in one process. Reports throughput and the
// ratios ours / plain (1.0 = as fast).
//
//   payload_extract_bench [MEGABYTES] [ROUNDS]
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "payload/format.h"
#include "payload/inflate_entry.h"

namespace {

using Clock = std::chrono::steady_clock;

// Game data: stretches of text-like bytes and of nearly random bytes.
std::vector<unsigned char> MakeData(size_t size) {
  std::vector<unsigned char> out(size);
  uint32_t x = 2463534242u;
  const char words[] = "the quick brown fox jumps over a lazy dog; ";
  for (size_t i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    bool noisy = ((i >> 16) % 4) == 3;  // a quarter of 64 KiB blocks
    out[i] = noisy ? static_cast<unsigned char>(x >> 24)
                   : static_cast<unsigned char>(words[(i + (x >> 29)) % (sizeof words - 1)]);
  }
  return out;
}

std::vector<unsigned char> Compress(const std::vector<unsigned char>& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::vector<unsigned char> out(size);
  compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 6);
  out.resize(size);
  return out;
}

// The textbook loop: read a chunk when the inflater wants input, inflate
// into the output buffer and write whatever each call produced.
int PlainLoop(FILE* in, uint32_t packed, FILE* out, unsigned char* inBuf, unsigned char* outBuf) {
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return 1;
  uint32_t remaining = packed;
  int result;
  do {
    if (zs.avail_in == 0 && remaining > 0) {
      uint32_t n = std::min(remaining, kPayloadChunkSize);
      zs.avail_in = static_cast<uInt>(fread(inBuf, 1, n, in));
      zs.next_in = inBuf;
      remaining -= n;
    }
    zs.next_out = outBuf;
    zs.avail_out = kPayloadChunkSize;
    result = inflate(&zs, Z_NO_FLUSH);
    if (result != Z_OK && result != Z_STREAM_END) break;
    size_t have = kPayloadChunkSize - zs.avail_out;
    if (have && fwrite(outBuf, 1, have, out) != have) result = Z_ERRNO;
  } while (result == Z_OK);
  inflateEnd(&zs);
  return result == Z_STREAM_END ? 0 : 1;
}

// The same, but writing only full output chunks (and the rest at the end),
// as the updater does: the like-for-like baseline.
int FullChunkLoop(FILE* in, uint32_t packed, FILE* out, unsigned char* inBuf,
                  unsigned char* outBuf) {
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return 1;
  uint32_t remaining = packed;
  zs.next_out = outBuf;
  zs.avail_out = kPayloadChunkSize;
  for (;;) {
    if (zs.avail_in == 0 && remaining > 0) {
      uint32_t n = std::min(remaining, kPayloadChunkSize);
      zs.avail_in = static_cast<uInt>(fread(inBuf, 1, n, in));
      zs.next_in = inBuf;
      remaining -= n;
    }
    int result = inflate(&zs, Z_NO_FLUSH);
    if (result == Z_STREAM_END) {
      size_t have = kPayloadChunkSize - zs.avail_out;
      bool ok = have == 0 || fwrite(outBuf, 1, have, out) == have;
      return (inflateEnd(&zs) == Z_OK && ok) ? 0 : 1;
    }
    if (result != Z_OK) break;
    if (zs.avail_out == 0) {
      if (fwrite(outBuf, 1, kPayloadChunkSize, out) != kPayloadChunkSize) break;
      zs.next_out = outBuf;
      zs.avail_out = kPayloadChunkSize;
    }
  }
  inflateEnd(&zs);
  return 1;
}

void NoProgress(void*, uint32_t, uint32_t) {}

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  size_t megabytes = argc > 1 ? strtoul(argv[1], nullptr, 10) : 96;
  int rounds = argc > 2 ? atoi(argv[2]) : 7;
  std::string temp = getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp";
  std::string inPath = temp + "/payload_bench_in.z";
  std::string outPath = temp + "/payload_bench_out.bin";

  std::vector<unsigned char> data = MakeData(megabytes << 20);
  std::vector<unsigned char> stream = Compress(data);
  FILE* f = fopen(inPath.c_str(), "wb");
  if (!f || fwrite(stream.data(), 1, stream.size(), f) != stream.size() || fclose(f) != 0) {
    fprintf(stderr, "payload_extract_bench: cannot write %s\n", inPath.c_str());
    return 1;
  }
  std::vector<unsigned char> inBuf(kPayloadChunkSize), outBuf(kPayloadChunkSize);
  uint32_t packed = static_cast<uint32_t>(stream.size());

  std::vector<double> times[3];  // plain, full-chunk, ours
  for (int round = 0; round < rounds; ++round) {
    for (int step = 0; step < 3; ++step) {
      // Rotate the order so that no loop always runs first.
      int which = (step + round) % 3;
      FILE* in = fopen(inPath.c_str(), "rb");
      FILE* out = fopen(outPath.c_str(), "wb");
      if (!in || !out) return 1;
      Clock::time_point start = Clock::now();
      int result;
      if (which == 2) {
        PayloadSink sink{out, PayloadWriteStdio, NoProgress};
        uint32_t written = 0;
        result = PayloadInflateEntry(in, packed, 0, inBuf.data(), outBuf.data(), sink, &written);
        if (written != data.size()) result = 1;
      } else if (which == 1) {
        result = FullChunkLoop(in, packed, out, inBuf.data(), outBuf.data());
      } else {
        result = PlainLoop(in, packed, out, inBuf.data(), outBuf.data());
      }
      fclose(out);
      Clock::time_point end = Clock::now();
      fclose(in);
      if (result != 0) {
        fprintf(stderr, "payload_extract_bench: extraction failed\n");
        return 1;
      }
      times[which].push_back(Seconds(start, end));
    }
  }
  remove(inPath.c_str());
  remove(outPath.c_str());

  double mb = static_cast<double>(data.size()) / (1 << 20);
  double plainTime = Median(times[0]), fullTime = Median(times[1]), oursTime = Median(times[2]);
  printf("payload extraction, %.0f MiB inflated from %.1f MiB, %d rounds (median)\n", mb,
         static_cast<double>(stream.size()) / (1 << 20), rounds);
  printf("  plain zlib loop (write per call)  %8.1f MiB/s\n", mb / plainTime);
  printf("  plain zlib loop (full chunks)     %8.1f MiB/s\n", mb / fullTime);
  printf("  updater loop                      %8.1f MiB/s\n", mb / oursTime);
  printf("  ratio updater / write-per-call: %.3f (target >= 0.95)\n", plainTime / oursTime);
  printf("  ratio updater / full-chunk:     %.3f (target >= 0.95)\n", fullTime / oursTime);
  return 0;
}
