#include "updpack/build/build_run.h"

#include <cerrno>
#include <cstring>
#include <thread>

#include "payload/format.h"
#include "updpack/archive/pack_read.h"
#include "updpack/build/build_entries.h"
#include "updpack/build/build_names.h"
#include "updpack/build/build_order.h"
#include "updpack/build/build_write.h"
#include "updpack/cmd/commands.h"
#include "updpack/fsys/fsys.h"
#include "updpack/fsys/out_file.h"
#include "updpack/report.h"

namespace {

constexpr int kBuildProblemsShown = 20;

// Reads the whole stub. Returns 0 or -1 (reported).
int ReadStub(const std::string& path, std::vector<uint8_t>* image) {
  std::string error;
  FILE* f = FsOpenRegular(path, &error);
  if (!f) {
    ReportError(FsShown(path).c_str(), "cannot open the updater: %s", error.c_str());
    return -1;
  }
  uint8_t buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) {
    image->insert(image->end(), buf, buf + n);
    if (image->size() > kPayloadValueMax) break;
  }
  bool bad = ferror(f) != 0;
  bool packed = !bad && PackHasPayload(f);
  fclose(f);
  if (bad) {
    ReportError(FsShown(path).c_str(), "cannot read the updater");
    return -1;
  }
  if (image->size() < 64 || (*image)[0] != 'M' || (*image)[1] != 'Z') {
    ReportError(FsShown(path).c_str(), "not a Windows executable");
    return -1;
  }
  if (packed) {
    ReportError(FsShown(path).c_str(), "already carries a payload; give the bare updater");
    return -1;
  }
  if (image->size() > kPayloadValueMax - kPayloadEndMarkerBytes - kPayloadTrailerBytes) {
    ReportError(FsShown(path).c_str(), "the updater is too large for an update");
    return -1;
  }
  return 0;
}

int ReadContents(const BuildEntry& e, std::vector<uint8_t>* bytes) {
  if (e.path.empty()) {
    *bytes = e.contents;
    return 0;
  }
  FILE* f = FsOpen(e.path, "rb");
  if (!f) return -1;
  bytes->resize(e.size);
  bool ok = fread(bytes->data(), 1, bytes->size(), f) == bytes->size();
  fclose(f);
  return ok ? 0 : -1;
}

// Runs the content checks. Returns the number of errors.
int RunChecks(const BuildOptions& options, std::vector<BuildEntry>* entries) {
  int errors = 0;
  for (const BuildCheck& c : options.checks) {
    std::string name;
    if (!FsUtf8ToCp932(c.name, &name)) continue;
    BuildEntry* e = BuildFindEntry(entries, name);
    if (!e || e->isFolder) continue;
    std::vector<uint8_t> bytes;
    if (ReadContents(*e, &bytes) != 0) {
      ReportError(e->shown.c_str(), "cannot read: %s", strerror(errno));
      ++errors;
      continue;
    }
    errors += c.check(bytes, e->shown);
  }
  return errors;
}

// Where an installed updpack (PREFIX/bin) finds the updater: a Windows
// program whatever the platform, so it sits with the shared data.
constexpr char kInstalledStub[] = "share/updpack/updater.exe";

// The stub used when none is given, found at run time: updater.exe beside
// updpack (the Windows kit, a build folder), else the installed one. ""
// when neither exists.
std::string DefaultStub() {
  std::string self = FsSelfFolder();
  if (self.empty()) return "";
  std::string beside = FsJoin(self, "updater.exe");
  if (FsExists(beside)) return beside;
  std::string installed = FsJoin(FsFolderOf(self), kInstalledStub);
  if (FsExists(installed)) return installed;
  return "";
}

}  // namespace

int RunBuild(const BuildOptions& options) {
  std::string stub = options.stub.empty() ? DefaultStub() : options.stub;
  if (stub.empty()) {
    ReportError(nullptr, "no updater.exe beside updpack or in PREFIX/%s; give one with --stub",
                kInstalledStub);
    return kExitBadInput;
  }
  std::vector<std::string> inputs = options.inputs;
  inputs.push_back(stub);
  if (int rc = OutCheckTarget(options.output, inputs, options.force)) return rc;
  std::string root = FsCanonical(options.folder);
  std::string outFolder = FsCanonical(FsFolderOf(options.output));
  if (!root.empty() && !outFolder.empty() && FsIsInside(outFolder, root)) {
    ReportError(FsShown(options.output).c_str(), "lies inside %s, the folder being packed",
                FsShown(options.folder).c_str());
    return kExitBadInput;
  }
  std::string base = options.base.folder.empty() ? "" : FsCanonical(options.base.folder);
  if (!base.empty() && !outFolder.empty() && FsIsInside(outFolder, base)) {
    ReportError(FsShown(options.output).c_str(), "lies inside %s, the version it updates",
                FsShown(options.base.folder).c_str());
    return kExitBadInput;
  }

  std::vector<uint8_t> image;
  if (ReadStub(stub, &image) != 0) return kExitBadInput;

  PackOptions pack;
  pack.threads =
      options.jobs > 0 ? options.jobs : static_cast<int>(std::thread::hardware_concurrency());
  if (pack.threads < 1) pack.threads = 1;
  pack.engine = options.engine;
  pack.level = options.level;
  pack.pieceSize = options.pieceSize ? options.pieceSize : kPackPieceSize;

  std::vector<BuildEntry> entries;
  // A folder full of bad names is told in its first few.
  ReportLimit(kBuildProblemsShown);
  int problems = BuildScanFolder(options.folder, &entries);
  for (const BuildGenerated& g : options.generated) {
    if (BuildPutGenerated(&entries, g.name, g.contents, g.fileTime, g.shown) != 0) ++problems;
  }
  BuildApplyTimes(options.times, &entries);
  if (!options.base.folder.empty() && problems == 0) {
    BaseOptions base = options.base;
    base.pack = pack;
    problems += BuildBaseApply(base, options.folder, &entries);
  }
  problems += BuildCheckNames(entries);
  problems += BuildOrder(&entries);
  int heldBack = ReportLimit(0);
  if (heldBack)
    ReportError(FsShown(options.folder).c_str(), "%d more message%s not shown", heldBack,
                heldBack == 1 ? "" : "s");
  if (problems) {
    ReportError(FsShown(options.folder).c_str(), "%d problem%s; nothing written", problems,
                problems == 1 ? "" : "s");
    return kExitBadInput;
  }
  // The updater cannot start without its environment file.
  BuildEntry* env = BuildFindEntry(&entries, "install.env");
  if (!env || env->isFolder)
    ReportWarning(FsShown(options.folder).c_str(),
                  "no install.env at the top level: the update will not start");
  int failedChecks = RunChecks(options, &entries);
  if (failedChecks && !options.ignoreChecks) {
    ReportError(FsShown(options.folder).c_str(),
                "%d error%s in the checked files; nothing written "
                "(give --ignore-check to build anyway)",
                failedChecks, failedChecks == 1 ? "" : "s");
    return kExitBadInput;
  }
  if (options.dryRun) return kExitOk;

  OutRemoveStale(options.output);
  OutTemp temp;
  if (OutTempCreate(options.output, &temp, true) != 0) return kExitBadInput;
  static char buffer[1 << 20];
  setvbuf(temp.f, buffer, _IOFBF, sizeof buffer);

  BuildStats stats;
  int rc = 0;
  if (fwrite(image.data(), 1, image.size(), temp.f) != image.size()) {
    ReportError(FsShown(options.output).c_str(), "cannot write: %s", strerror(errno));
    rc = -1;
  }
  if (rc == 0) rc = BuildWritePayload(temp.f, options.output, image.size(), entries, pack, &stats);
  if (rc == 0) {
    rc = OutTempCommit(&temp, options.force);
  } else {
    OutTempDrop(&temp);
  }
  if (rc != 0) return kExitBadInput;

  std::string ofThem =
      stats.deltas ? " (" + std::to_string(stats.deltas) + " of them as deltas)" : std::string();
  ReportInfo("%s: %llu files%s, %llu folders; %s packed to %s (%s with the updater)\n",
             FsShown(options.output).c_str(), static_cast<unsigned long long>(stats.files),
             ofThem.c_str(), static_cast<unsigned long long>(stats.folders),
             HumanBytes(stats.rawBytes).c_str(), HumanBytes(stats.packedBytes).c_str(),
             HumanBytes(stats.totalBytes).c_str());
  return kExitOk;
}
