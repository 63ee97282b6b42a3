// Applying a delta against extracting the same new file from a zlib stream,
// as the updater does both (its readers, its chunk size, Win32 writes), in
// rotating order in one run under Wine. Reports both times, the ratio
// apply / inflate (1.0 = as fast) and the peak private memory of the
// process that applies, which reads everything through files.
//
//   delta_apply_bench OLD NEW [ROUNDS]          prepares, then runs itself
//   delta_apply_bench --run FOLDER ROUNDS       the measuring process
#include <windows.h>

#include <psapi.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "payload/delta_base.h"
#include "payload/delta_source.h"
#include "payload/format.h"
#include "payload/inflate_entry.h"
#include "support/sha256.h"
#include "updpack/delta/delta_encode.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<unsigned char>;

Bytes ReadAll(const char* path) {
  Bytes out;
  FILE* f = fopen(path, "rb");
  if (!f) return out;
  unsigned char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  fclose(f);
  return out;
}

bool WriteAll(const std::string& path, const Bytes& head, const Bytes& data) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(head.data(), 1, head.size(), f) == head.size() &&
            fwrite(data.data(), 1, data.size(), f) == data.size();
  return fclose(f) == 0 && ok;
}

int WriteHandle(void* context, const unsigned char* data, uint32_t size) {
  DWORD written = 0;
  return WriteFile(static_cast<HANDLE>(context), data, size, &written, nullptr) && written == size
             ? 0
             : 1;
}

HANDLE CreateOutput(const std::string& folder) {
  return CreateFileA((folder + "\\out.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The entries as the updater meets them: stamp, then stream.
double TimeInflate(const std::string& folder, uint32_t packed) {
  auto start = Clock::now();
  FILE* in = fopen((folder + "\\new.z").c_str(), "rb");
  HANDLE out = CreateOutput(folder);
  uint64_t stamp;
  Bytes inChunk(kPayloadChunkSize), outChunk(kPayloadChunkSize);
  PayloadSink sink{out, WriteHandle, nullptr};
  uint32_t written = 0;
  int r = in && out != INVALID_HANDLE_VALUE ? PayloadReadTimeStamp(in, &stamp) : 1;
  if (r == 0)
    r = PayloadInflateEntry(in, packed, 0, inChunk.data(), outChunk.data(), sink, &written);
  if (in) fclose(in);
  CloseHandle(out);
  if (r != 0) {
    fprintf(stderr, "inflate failed\n");
    exit(1);
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double TimeApply(const std::string& folder, uint32_t packed) {
  auto start = Clock::now();
  FILE* in = fopen((folder + "\\new.delta").c_str(), "rb");
  HANDLE out = CreateOutput(folder);
  uint64_t stamp;
  DeltaHeader header;
  int64_t at = 0;
  DeltaBase base;
  int r = in && out != INVALID_HANDLE_VALUE ? DeltaEntryBegin(in, packed, &stamp, &header, &at)
                                            : kDeltaReadFailed;
  if (r == kDeltaOk) r = DeltaBaseOpen(&base, (folder + "\\old.bin").c_str());
  if (r == kDeltaOk) {
    DeltaSource source;
    DeltaSourceOnStdio(&source, in, at, packed);
    PayloadSink sink{out, WriteHandle, nullptr};
    uint32_t written = 0;
    r = DeltaApply(header, DeltaSourceReader(&source), DeltaBaseReader(&base), base.size, sink, 0,
                   &written);
    DeltaBaseClose(&base);
  }
  if (in) fclose(in);
  CloseHandle(out);
  if (r != kDeltaOk) {
    fprintf(stderr, "apply failed: %s\n", DeltaResultText(r));
    exit(1);
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int Run(const std::string& folder, int rounds) {
  uint32_t packedZ = 0, packedDelta = 0;
  FILE* sizes = fopen((folder + "\\sizes.txt").c_str(), "r");
  if (!sizes || fscanf(sizes, "%u %u", &packedZ, &packedDelta) != 2) return 1;
  fclose(sizes);
  std::vector<double> inflate, apply;
  for (int i = 0; i < rounds; ++i) {
    // Rotating order: neither always has the warmer cache.
    if (i % 2 == 0) {
      inflate.push_back(TimeInflate(folder, packedZ));
      apply.push_back(TimeApply(folder, packedDelta));
    } else {
      apply.push_back(TimeApply(folder, packedDelta));
      inflate.push_back(TimeInflate(folder, packedZ));
    }
  }
  // What the new file's checksum alone costs, over the same bytes.
  Bytes chunk(kPayloadChunkSize, 0x5A);
  auto shaStart = Clock::now();
  Sha256 sha;
  Sha256Begin(&sha);
  for (uint32_t done = 0; done < packedZ; done += kPayloadChunkSize) {
    Sha256Update(&sha, chunk.data(), chunk.size());
  }
  unsigned char digest[kSha256Bytes];
  Sha256End(&sha, digest);
  double shaTime = std::chrono::duration<double>(Clock::now() - shaStart).count();
  printf("sha-256  %.0f MB/s\n", packedZ / shaTime / 1e6);
  std::sort(inflate.begin(), inflate.end());
  std::sort(apply.begin(), apply.end());
  double mi = inflate[inflate.size() / 2], ma = apply[apply.size() / 2];
  PROCESS_MEMORY_COUNTERS mem{};
  mem.cb = sizeof mem;
  GetProcessMemoryInfo(GetCurrentProcess(), &mem, sizeof mem);
  printf("inflate  %.3f s (median of %d)\napply    %.3f s\nratio apply/inflate %.2f\n", mi, rounds,
         ma, ma / mi);
  printf("peak private bytes of the measuring process: %.1f MiB\n",
         mem.PeakPagefileUsage / 1048576.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--run") return Run(argv[2], atoi(argv[3]));
  if (argc < 3) {
    fprintf(stderr, "usage: delta_apply_bench OLD NEW [ROUNDS]\n");
    return 2;
  }
  int rounds = argc > 3 ? atoi(argv[3]) : 3;
  Bytes base = ReadAll(argv[1]), next = ReadAll(argv[2]);
  if (base.empty() || next.empty()) return 1;
  std::vector<unsigned char> delta;
  auto t0 = Clock::now();
  if (DeltaEncode(base.data(), static_cast<uint32_t>(base.size()), next.data(),
                  static_cast<uint32_t>(next.size()), DeltaEncodeOptions(), &delta) != 0) {
    return 1;
  }
  double encode = std::chrono::duration<double>(Clock::now() - t0).count();
  uLongf zsize = compressBound(static_cast<uLong>(next.size()));
  Bytes z(zsize);
  compress2(z.data(), &zsize, next.data(), static_cast<uLong>(next.size()), 6);
  z.resize(zsize);
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string folder = std::string(temp) + "delta_apply_bench";
  CreateDirectoryA(folder.c_str(), nullptr);
  Bytes stamp(8, 0);
  if (!WriteAll(folder + "\\old.bin", {}, base) || !WriteAll(folder + "\\new.z", stamp, z) ||
      !WriteAll(folder + "\\new.delta", stamp, delta)) {
    return 1;
  }
  FILE* sizes = fopen((folder + "\\sizes.txt").c_str(), "w");
  fprintf(sizes, "%u %u\n", static_cast<unsigned>(z.size()), static_cast<unsigned>(delta.size()));
  fclose(sizes);
  printf("new file %.1f MB, zlib -6 stream %.1f MB, delta %.2f MB (encoded in %.1f s)\n",
         next.size() / 1e6, z.size() / 1e6, delta.size() / 1e6, encode);
  fflush(stdout);
  Bytes().swap(base);
  Bytes().swap(next);

  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string command =
      "\"" + std::string(self) + "\" --run \"" + folder + "\" " + std::to_string(rounds);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                      &pi)) {
    return 1;
  }
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  for (const char* name : {"old.bin", "new.z", "new.delta", "sizes.txt", "out.bin"}) {
    DeleteFileA((folder + "\\" + name).c_str());
  }
  RemoveDirectoryA(folder.c_str());
  return static_cast<int>(code);
}
