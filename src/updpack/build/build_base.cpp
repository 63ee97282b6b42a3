#include "updpack/build/build_base.h"

#include <atomic>
#include <cstring>
#include <thread>

#include "payload/format.h"
#include "payload/names.h"
#include "support/sjis.h"
#include "updpack/build/base_env.h"
#include "updpack/build/base_plan.h"
#include "updpack/build/build_delta.h"
#include "updpack/fsys/fsys.h"
#include "updpack/report.h"

namespace {

// Files the updater takes at start-up go in whatever the old version holds:
// its menu reads them from the update, not from the game's folder.
bool StartupFile(const BuildEntry& e) {
  if (e.isFolder || MbsChr(e.name.c_str(), '\\', IsLeadByte)) return false;
  for (const char* pattern : kPayloadStartupPatterns)
    if (NameContains(e.name.c_str(), pattern, IsLeadByte)) return true;
  return false;
}

std::vector<BaseItem> Items(const std::vector<BuildEntry>& entries, bool fresh) {
  std::vector<BaseItem> items;
  items.reserve(entries.size());
  for (const BuildEntry& e : entries) {
    BaseItem item;
    item.name = e.name;
    item.isFolder = e.isFolder;
    item.size = e.size;
    item.fileTime = e.fileTime;
    item.always = fresh && (e.path.empty() || StartupFile(e));
    items.push_back(item);
  }
  return items;
}

// 1 when both files hold the same bytes; stops at the first difference.
uint8_t SameBytes(const std::string& a, const std::string& b) {
  std::string error;
  FILE* fa = FsOpenRegular(a, &error);
  FILE* fb = fa ? FsOpenRegular(b, &error) : nullptr;
  uint8_t same = fa && fb;
  static thread_local std::vector<char> ba(1 << 20), bb(1 << 20);
  while (same) {
    size_t na = fread(ba.data(), 1, ba.size(), fa);
    size_t nb = fread(bb.data(), 1, bb.size(), fb);
    if (na != nb || memcmp(ba.data(), bb.data(), na) != 0) same = 0;
    if (na < ba.size()) break;
  }
  if (same && (ferror(fa) || ferror(fb))) same = 0;
  if (fa) fclose(fa);
  if (fb) fclose(fb);
  return same;
}

// Sizes first; only files of equal size are read, on every core.
std::vector<uint8_t> CompareContents(const std::vector<BuildEntry>& old,
                                     const std::vector<BuildEntry>& fresh,
                                     const std::vector<BaseItem>& oldItems,
                                     const std::vector<BaseItem>& freshItems, const BasePlan& plan,
                                     int jobs) {
  std::vector<size_t> work;
  for (size_t i = 0; i < fresh.size(); ++i)
    if (BaseNeedsCompare(oldItems, freshItems, plan, i)) work.push_back(i);
  std::vector<uint8_t> same(fresh.size(), 0);
  std::atomic<size_t> next{0};
  auto run = [&] {
    for (size_t k; (k = next++) < work.size();) {
      size_t i = work[k];
      same[i] = SameBytes(old[plan.match[i]].path, fresh[i].path);
    }
  };
  int threads = jobs > 0 ? jobs : static_cast<int>(std::thread::hardware_concurrency());
  if (threads < 1) threads = 1;
  if (static_cast<size_t>(threads) > work.size()) threads = static_cast<int>(work.size());
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(run);
  run();
  for (std::thread& t : pool) t.join();
  return same;
}

// The changed files that may travel as deltas, in entry order.
std::vector<BuildDeltaJob> DeltaJobs(const std::vector<BuildEntry>& old,
                                     const std::vector<BuildEntry>& fresh, const BasePlan& plan) {
  std::vector<BuildDeltaJob> jobs;
  for (size_t i = 0; i < fresh.size(); ++i) {
    if (plan.state[i] != kBaseChanged || !plan.packed[i] || plan.match[i] < 0) continue;
    const BuildEntry& base = old[plan.match[i]];
    if (base.isFolder || !BuildDeltaAllowed(fresh[i], base.size)) continue;
    jobs.push_back(BuildDeltaJob{i, base.path, base.size});
  }
  return jobs;
}

// How a changed file travels, for -v, in bytes exactly.
std::string DeltaNote(const BuildEntry& e) {
  std::string d = std::to_string(e.deltaBytes), w = std::to_string(e.wholeBytes);
  if (!e.delta.empty()) return "  (delta " + d + " bytes instead of " + w + " bytes)";
  if (e.deltaBytes == 0) return "";
  if (e.wholeBytes == 0) return "  (whole: a delta of " + d + " bytes is no smaller)";
  return "  (whole: " + w + " bytes; a delta of " + d + " bytes saves too little)";
}

void PrintPlan(const BaseOptions& options, const std::string& newFolder,
               const std::vector<BuildEntry>& fresh, const BasePlan& plan,
               const BuildDeltaTotals& deltas) {
  ReportInfo("plan: %s -> %s\n", FsShown(options.folder).c_str(), FsShown(newFolder).c_str());
  static const char* const kLabel[] = {"new", "changed", "unchanged"};
  for (int s = kBaseNew; s <= kBaseSame; ++s) {
    ReportInfo("  %-9s %8llu files %12s%s\n", kLabel[s],
               static_cast<unsigned long long>(plan.count[s]), HumanBytes(plan.bytes[s]).c_str(),
               s == kBaseSame ? "  (left out)" : "");
  }
  ReportInfo("  %-9s %8llu files %12s  (lines added to [delfiles_afterinst])\n", "deleted",
             static_cast<unsigned long long>(plan.deletedFiles),
             HumanBytes(plan.deletedBytes).c_str());
  if (deltas.files) {
    ReportInfo("  %-9s %8llu files %12s  (changed files as deltas; whole they take %s, %s saved)\n",
               "as deltas", static_cast<unsigned long long>(deltas.files),
               HumanBytes(deltas.deltaBytes).c_str(), HumanBytes(deltas.wholeBytes).c_str(),
               HumanBytes(deltas.wholeBytes - deltas.deltaBytes).c_str());
  }
  if (!options.verbose) return;
  for (size_t i = 0; i < fresh.size(); ++i) {
    if (fresh[i].isFolder) continue;
    const char* label = kLabel[plan.state[i]];
    if (plan.state[i] == kBaseSame && plan.packed[i]) label = "packed";
    if (!fresh[i].delta.empty()) label = "delta";
    ReportInfo("  %-9s %s%s\n", label, FsDisplayName(fresh[i].name).c_str(),
               DeltaNote(fresh[i]).c_str());
  }
  for (const std::string& name : plan.deleted)
    ReportInfo("  %-9s %s\n", "deleted", FsDisplayName(name).c_str());
}

}  // namespace

int BuildBaseApply(const BaseOptions& options, const std::string& newFolder,
                   std::vector<BuildEntry>* entries) {
  std::string oldRoot = FsCanonical(options.folder);
  if (!oldRoot.empty() && oldRoot == FsCanonical(newFolder)) {
    ReportError(FsShown(options.folder).c_str(),
                "--base names the folder being packed: an update from a version to itself has "
                "nothing to do");
    return 1;
  }
  std::vector<BuildEntry> old;
  int problems = BuildScanFolder(options.folder, &old);
  if (problems) return problems;

  std::vector<BaseItem> oldItems = Items(old, false);
  std::vector<BaseItem> freshItems = Items(*entries, true);
  BasePlan plan;
  BaseMatchNames(oldItems, freshItems, &plan);
  std::vector<uint8_t> same =
      CompareContents(old, *entries, oldItems, freshItems, plan, options.jobs);
  BaseDecide(oldItems, freshItems, same, options.keepTimes, &plan);

  for (const BaseFinding& f : plan.problems) {
    ReportError(FsShown(FsJoin(options.folder, FsDisplayName(f.name))).c_str(), "%s",
                f.text.c_str());
  }
  if (!plan.problems.empty()) return static_cast<int>(plan.problems.size());
  BuildDeltaTotals deltas;
  if (!options.noDelta) {
    int failed = BuildDeltaChoose(entries, DeltaJobs(old, *entries, plan), options.pack, &deltas);
    if (failed) return failed;
  }
  PrintPlan(options, newFolder, *entries, plan, deltas);
  for (const BaseFinding& f : plan.notes)
    ReportWarning(FsDisplayName(f.name).c_str(), "%s", FsDisplayName(f.text).c_str());

  std::vector<BuildEntry> kept;
  for (size_t i = 0; i < entries->size(); ++i)
    if (plan.packed[i]) kept.push_back(std::move((*entries)[i]));
  entries->swap(kept);
  if (plan.count[kBaseNew] + plan.count[kBaseChanged] == 0 && plan.deletions.empty())
    ReportWarning(FsShown(newFolder).c_str(),
                  "no file differs from %s: the update carries only its own files",
                  FsShown(options.folder).c_str());
  if (plan.deletions.empty()) return 0;

  BuildEntry* env = BuildFindEntry(entries, "install.env");
  std::string text;
  if (!env || env->isFolder) {
    ReportError(FsShown(newFolder).c_str(),
                "no install.env to carry the deletion lines for the files %s no longer has",
                FsShown(newFolder).c_str());
    return 1;
  }
  if (env->path.empty()) {
    text.assign(env->contents.begin(), env->contents.end());
  } else if (!FsReadAll(env->path, &text)) {
    ReportError(env->shown.c_str(), "cannot read");
    return 1;
  }
  std::string packed, why;
  if (BaseAddDeletions(text, plan.deletions, &packed, &why) != 0) {
    ReportError(env->shown.c_str(), "cannot add the deletion lines: %s", why.c_str());
    return 1;
  }
  env->path.clear();
  env->contents.assign(packed.begin(), packed.end());
  env->size = packed.size();
  return 0;
}
