#include "updpack/build/build_run.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

#include "payload/format.h"
#include "updpack/build/build_entries.h"
#include "updpack/build/build_names.h"
#include "updpack/build/build_order.h"
#include "updpack/build/build_write.h"
#include "updpack/cmd/commands.h"
#include "updpack/fsys/fsys.h"
#include "updpack/archive/pack_read.h"
#include "updpack/report.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#ifndef UPD_UPDATER_EXE
#define UPD_UPDATER_EXE ""
#endif

namespace {

// The temporary output, removed when the user interrupts the build.
char g_tempPath[4096];

void RemoveTempOnSignal(int sig) {
  if (g_tempPath[0]) remove(g_tempPath);
  signal(sig, SIG_DFL);
  raise(sig);
}

struct TempFile {
  std::string path;
  FILE* f = nullptr;
};

int CreateTemp(const std::string& output, TempFile* temp) {
  std::string folder = FsFolderOf(output);
  std::string base = output.substr(output.find_last_of("/\\") == std::string::npos
                                       ? 0
                                       : output.find_last_of("/\\") + 1);
  for (int i = 0; i < 1000; ++i) {
    temp->path = FsJoin(folder, "." + base + "." + std::to_string(getpid()) + "-" +
                                    std::to_string(i) + ".tmp");
    if (temp->path.size() >= sizeof g_tempPath) break;
    temp->f = FsCreateNew(temp->path);
    if (temp->f) {
      memcpy(g_tempPath, temp->path.c_str(), temp->path.size() + 1);
      return 0;
    }
    if (errno != EEXIST) break;
  }
  ReportError(FsShown(output).c_str(), "cannot create a temporary file beside it: %s", strerror(errno));
  return -1;
}

void DropTemp(TempFile* temp) {
  if (temp->f) fclose(temp->f);
  temp->f = nullptr;
  FsRemove(temp->path);
  g_tempPath[0] = 0;
}

// Reads the whole stub. Returns 0 or -1 (reported).
int ReadStub(const std::string& path, std::vector<uint8_t>* image) {
  FILE* f = FsOpen(path, "rb");
  if (!f) {
    ReportError(FsShown(path).c_str(), "cannot open the updater: %s", strerror(errno));
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

std::string HumanBytes(uint64_t n) {
  char buf[64];
  if (n >= (1ull << 30)) {
    snprintf(buf, sizeof buf, "%.2f GiB", n / 1073741824.0);
  } else if (n >= (1ull << 20)) {
    snprintf(buf, sizeof buf, "%.1f MiB", n / 1048576.0);
  } else if (n >= 1024) {
    snprintf(buf, sizeof buf, "%.1f KiB", n / 1024.0);
  } else {
    snprintf(buf, sizeof buf, "%llu bytes", static_cast<unsigned long long>(n));
  }
  return buf;
}

}  // namespace

std::string BuildDefaultStub() {
  std::string self = FsSelfFolder();
  if (!self.empty()) {
    std::string beside = FsJoin(self, "updater.exe");
    if (FsExists(beside)) return beside;
  }
  std::string configured = UPD_UPDATER_EXE;
  if (!configured.empty() && FsExists(configured)) return configured;
  return "";
}

int RunBuild(const BuildOptions& options) {
  std::string stub = options.stub.empty() ? BuildDefaultStub() : options.stub;
  if (stub.empty()) {
    ReportError(nullptr, "no updater found beside updpack or at %s; give one with --stub",
                UPD_UPDATER_EXE);
    return kExitBadInput;
  }
  FsItem item;
  std::string error;
  if (FsStat(options.output, &item, &error) == 0) {
    if (item.isFolder) {
      ReportError(FsShown(options.output).c_str(), "is a folder");
      return kExitBadInput;
    }
    if (!options.force) {
      ReportError(FsShown(options.output).c_str(), "already exists; give --force to replace it");
      return kExitBadInput;
    }
  }
  std::string root = FsCanonical(options.folder);
  std::string outFolder = FsCanonical(FsFolderOf(options.output));
  if (!root.empty() && !outFolder.empty() && FsIsInside(outFolder, root)) {
    ReportError(FsShown(options.output).c_str(), "lies inside %s, the folder being packed",
                FsShown(options.folder).c_str());
    return kExitBadInput;
  }

  std::vector<uint8_t> image;
  if (ReadStub(stub, &image) != 0) return kExitBadInput;

  std::vector<BuildEntry> entries;
  int problems = BuildScanFolder(options.folder, &entries);
  for (const BuildGenerated& g : options.generated) {
    if (BuildPutGenerated(&entries, g.name, g.contents, g.fileTime, g.shown) != 0) ++problems;
  }
  BuildApplyTimes(options.times, &entries);
  problems += BuildCheckNames(entries);
  problems += BuildOrder(&entries);
  if (problems) {
    ReportError(FsShown(options.folder).c_str(), "%d problem%s; nothing written", problems,
                problems == 1 ? "" : "s");
    return kExitBadInput;
  }
  // The updater cannot start without its environment file.
  BuildEntry* env = BuildFindEntry(&entries, "install.env");
  if (!env || env->isFolder)
    ReportWarning(FsShown(options.folder).c_str(), "no install.env at the top level: the update will not start");
  int failedChecks = RunChecks(options, &entries);
  if (failedChecks && !options.force) {
    ReportError(FsShown(options.folder).c_str(), "%d error%s in the checked files; nothing written "
                "(give --force to build anyway)", failedChecks, failedChecks == 1 ? "" : "s");
    return kExitBadInput;
  }

  PackOptions pack;
  pack.threads = options.jobs > 0 ? options.jobs : static_cast<int>(std::thread::hardware_concurrency());
  if (pack.threads < 1) pack.threads = 1;
  pack.engine = options.engine;
  pack.level = options.level;
  pack.pieceSize = options.pieceSize ? options.pieceSize : kPackPieceSize;

  TempFile temp;
  if (CreateTemp(options.output, &temp) != 0) return kExitBadInput;
  signal(SIGINT, RemoveTempOnSignal);
  signal(SIGTERM, RemoveTempOnSignal);
  static char buffer[1 << 20];
  setvbuf(temp.f, buffer, _IOFBF, sizeof buffer);

  BuildStats stats;
  int rc = 0;
  if (fwrite(image.data(), 1, image.size(), temp.f) != image.size()) {
    ReportError(FsShown(options.output).c_str(), "cannot write: %s", strerror(errno));
    rc = -1;
  }
  if (rc == 0) rc = BuildWritePayload(temp.f, options.output, image.size(), entries, pack, &stats);
  if (rc == 0 && FsSync(temp.f) != 0) {
    ReportError(FsShown(options.output).c_str(), "cannot write: %s", strerror(errno));
    rc = -1;
  }
  if (rc == 0) {
    FILE* f = temp.f;
    temp.f = nullptr;
    if (fclose(f) != 0) {
      ReportError(FsShown(options.output).c_str(), "cannot write: %s", strerror(errno));
      rc = -1;
    }
  }
  if (rc == 0 && FsRename(temp.path, options.output, options.force, &error) != 0) {
    ReportError(FsShown(options.output).c_str(), "cannot put the update in place: %s", error.c_str());
    rc = -1;
  }
  if (rc != 0) {
    DropTemp(&temp);
  } else {
    g_tempPath[0] = 0;
  }
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  if (rc != 0) return kExitBadInput;

  ReportInfo("%s: %llu files, %llu folders; %s packed to %s (%s with the updater)\n",
             FsShown(options.output).c_str(), static_cast<unsigned long long>(stats.files),
             static_cast<unsigned long long>(stats.folders), HumanBytes(stats.rawBytes).c_str(),
             HumanBytes(stats.packedBytes).c_str(), HumanBytes(stats.totalBytes).c_str());
  return kExitOk;
}
