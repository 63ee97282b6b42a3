#include "updpack/build/build_delta.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include "payload/format.h"
#include "updpack/archive/pack_order.h"
#include "updpack/delta/delta_encode.h"
#include "updpack/fsys/fsys.h"
#include "updpack/report.h"

namespace {

// What the encoders may hold at once (both files, the index, the delta),
// so that a 32-bit updpack with a few large files does not run out of
// address space; one job runs whatever its size.
constexpr uint64_t kDeltaMemoryBudget = uint64_t{1} << 30;
constexpr uint64_t kIndexedMost = uint64_t{1} << 24;  // DeltaEncodeOptions::maxEntries
constexpr uint64_t kZlibWrapBytes = 6;                // header and Adler-32

uint64_t JobMemory(const BuildDeltaJob& job, uint64_t newSize) {
  uint64_t indexed = job.baseSize < kIndexedMost ? job.baseSize : kIndexedMost;
  return job.baseSize + newSize + indexed * 12 + newSize / 4;
}

// The most a whole stream of n bytes can take: stored blocks (5 bytes a
// block of at most 65535 bytes; the pool ends a block at each piece too).
uint64_t WholeBound(uint64_t n) { return n + (n / 16384 + 1) * 5 + kZlibWrapBytes; }

struct Outcome {
  std::vector<unsigned char> delta;
  std::string error;  // the file could not be read
  bool noMemory = false;
};

void Encode(const BuildEntry& fresh, const BuildDeltaJob& job, int level, Outcome* out) {
  try {
    std::string base, next, error;
    if (!FsReadAll(job.basePath, &base, &error)) {
      out->error = "cannot read " + FsShown(job.basePath) + ": " + error;
      return;
    }
    if (!FsReadAll(fresh.path, &next, &error)) {
      out->error = "cannot read: " + error;
      return;
    }
    if (base.size() != job.baseSize || next.size() != fresh.size) {
      out->error = "a file changed while the update was made";
      return;
    }
    DeltaEncodeOptions options;
    options.level = level;  // literals as whole files are packed, so the choice stays fair
    if (DeltaEncode(reinterpret_cast<const unsigned char*>(base.data()),
                    static_cast<uint32_t>(base.size()),
                    reinterpret_cast<const unsigned char*>(next.data()),
                    static_cast<uint32_t>(next.size()), options, &out->delta) != 0) {
      out->noMemory = true;
      out->delta.clear();
    }
  } catch (const std::bad_alloc&) {
    out->noMemory = true;
    out->delta.clear();
  }
}

// Encodes the jobs on threads, each waiting until the budget has room.
void EncodeAll(const std::vector<BuildEntry>& entries, const std::vector<BuildDeltaJob>& jobs,
               int threads, int level, std::vector<Outcome>* outcomes) {
  std::mutex lock;
  std::condition_variable freed;
  uint64_t inUse = 0;
  std::atomic<size_t> next{0};
  auto run = [&] {
    for (size_t k; (k = next++) < jobs.size();) {
      const BuildEntry& fresh = entries[jobs[k].entry];
      uint64_t cost = JobMemory(jobs[k], fresh.size);
      {
        std::unique_lock<std::mutex> hold(lock);
        freed.wait(hold, [&] { return inUse == 0 || inUse + cost <= kDeltaMemoryBudget; });
        inUse += cost;
      }
      Encode(fresh, jobs[k], level, &(*outcomes)[k]);
      std::lock_guard<std::mutex> hold(lock);
      inUse -= cost;
      freed.notify_all();
    }
  };
  if (threads < 1) threads = 1;
  if (static_cast<size_t>(threads) > jobs.size()) threads = static_cast<int>(jobs.size());
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(run);
  run();
  for (std::thread& t : pool) t.join();
}

// The whole stream of each source as `build` would write it, through the
// pack pool. Returns the number of problems reported.
int MeasureWhole(const std::vector<BuildEntry>& entries, const std::vector<size_t>& which,
                 const PackOptions& pack, std::vector<uint64_t>* whole) {
  std::vector<PackSource> sources;
  for (size_t i : which) {
    PackSource src;
    src.path = entries[i].path;
    src.size = entries[i].size;
    sources.push_back(src);
  }
  whole->assign(which.size(), kZlibWrapBytes);
  if (sources.empty()) return 0;
  PackPool* pool = PackPoolStart(&sources, pack);
  if (!pool) {
    ReportError(nullptr, "cannot start the compressor");
    return 1;
  }
  int problems = 0;
  std::vector<char> failed(sources.size(), 0);
  PackPiece piece;
  while (PackPoolNext(pool, &piece)) {
    if (!piece.error.empty() && !failed[piece.source]) {
      ReportError(entries[which[piece.source]].shown.c_str(), "%s", piece.error.c_str());
      failed[piece.source] = 1;
      ++problems;
    }
    (*whole)[piece.source] += piece.data.size();
  }
  PackPoolFinish(pool);
  return problems;
}

}  // namespace

bool BuildDeltaPays(uint64_t deltaBytes, uint64_t wholeBytes) {
  return deltaBytes * 10 <= wholeBytes * 9;
}

bool BuildDeltaAllowed(const BuildEntry& fresh, uint64_t baseSize) {
  return !fresh.isFolder && !fresh.path.empty() && !PackIsStartupName(fresh.name.c_str()) &&
         fresh.size <= kPayloadValueMax && baseSize <= kPayloadValueMax;
}

int BuildDeltaChoose(std::vector<BuildEntry>* entries, const std::vector<BuildDeltaJob>& jobs,
                     const PackOptions& pack, BuildDeltaTotals* totals) {
  std::vector<Outcome> outcomes(jobs.size());
  EncodeAll(*entries, jobs, pack.threads, pack.level, &outcomes);
  int problems = 0;
  std::vector<size_t> measured, measuredJob;
  for (size_t k = 0; k < jobs.size(); ++k) {
    BuildEntry& e = (*entries)[jobs[k].entry];
    const Outcome& o = outcomes[k];
    if (!o.error.empty()) {
      ReportError(e.shown.c_str(), "%s", o.error.c_str());
      ++problems;
    } else if (o.noMemory) {
      ReportWarning(e.shown.c_str(), "packed whole: not enough memory to make its delta");
    } else {
      e.deltaBytes = o.delta.size();
      // A delta that cannot pay even against the file stored is not measured.
      if (BuildDeltaPays(e.deltaBytes, WholeBound(e.size))) {
        measured.push_back(jobs[k].entry);
        measuredJob.push_back(k);
      }
    }
  }
  std::vector<uint64_t> whole;
  problems += MeasureWhole(*entries, measured, pack, &whole);
  if (problems) return problems;
  for (size_t m = 0; m < measured.size(); ++m) {
    BuildEntry& e = (*entries)[measured[m]];
    e.wholeBytes = whole[m];
    if (!BuildDeltaPays(e.deltaBytes, e.wholeBytes)) continue;
    e.delta = std::move(outcomes[measuredJob[m]].delta);
    totals->files++;
    totals->wholeBytes += e.wholeBytes;
    totals->deltaBytes += e.deltaBytes;
  }
  return 0;
}
