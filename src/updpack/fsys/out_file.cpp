#include "updpack/fsys/out_file.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#ifndef _WIN32
#include <pthread.h>
#endif

#include "updpack/cmd/commands.h"
#include "updpack/fsys/fsys.h"
#include "updpack/report.h"

namespace {

// The temporary being written, removed when a signal ends the process.
char g_tempPath[4096];

void RemoveTempOnSignal(int sig) {
  if (g_tempPath[0]) remove(g_tempPath);
  signal(sig, SIG_DFL);
  raise(sig);
}

const int kSignals[] = {
    SIGINT,
    SIGTERM,
#ifdef SIGHUP
    SIGHUP,
#endif
};

void Arm(const std::string& path) {
  if (path.size() >= sizeof g_tempPath) return;
  memcpy(g_tempPath, path.c_str(), path.size() + 1);
  for (int sig : kSignals) signal(sig, RemoveTempOnSignal);
}

// Holds the signals back while the temporary and its handler come into being
// together: one between the two would leave the file behind. Windows runs its
// console handlers on a thread of their own; there is nothing to block.
struct SignalsHeld {
#ifndef _WIN32
  sigset_t saved;
  SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int sig : kSignals) sigaddset(&held, sig);
    pthread_sigmask(SIG_BLOCK, &held, &saved);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &saved, nullptr); }
#endif
};

void Disarm() {
  g_tempPath[0] = 0;
  for (int sig : kSignals) signal(sig, SIG_DFL);
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool AllDigits(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

int OutCheckTarget(const std::string& output, const std::vector<std::string>& inputs, bool force) {
  if (output.empty()) {
    ReportError(nullptr, "the output path is empty");
    return kExitBadUsage;
  }
  bool regular = false, folder = false;
  if (FsLstatKind(output, &regular, &folder) != 0) return 0;
  if (folder) {
    ReportError(FsShown(output).c_str(), "is a folder");
    return kExitBadInput;
  }
  if (!regular) {
    ReportError(FsShown(output).c_str(),
                "exists and is not a regular file (a link, FIFO or device); not replaced");
    return kExitBadInput;
  }
  for (const std::string& input : inputs) {
    if (!input.empty() && FsSameFile(input, output)) {
      ReportError(FsShown(output).c_str(), "is also an input; write the output elsewhere");
      return kExitBadInput;
    }
  }
  if (!force) {
    ReportError(FsShown(output).c_str(), "already exists; give --force to replace it");
    return kExitBadInput;
  }
  return 0;
}

int OutTempCreate(const std::string& target, OutTemp* temp, bool executable) {
  temp->target = target;
  std::string folder = FsFolderOf(target);
  std::string prefix = "." + BaseName(target) + "." + std::to_string(FsProcessId()) + "-";
  [[maybe_unused]] SignalsHeld held;
  for (int i = 0; i < 1000; ++i) {
    temp->path = FsJoin(folder, prefix + std::to_string(i) + ".tmp");
    temp->f = FsCreateNew(temp->path, executable);
    if (temp->f) {
      Arm(temp->path);
      return 0;
    }
    if (errno != EEXIST) break;
  }
  ReportError(FsShown(target).c_str(), "cannot create a temporary file beside it: %s",
              strerror(errno));
  return -1;
}

void OutTempDrop(OutTemp* temp) {
  if (temp->f) fclose(temp->f);
  temp->f = nullptr;
  if (!temp->path.empty()) FsRemove(temp->path);
  temp->path.clear();
  Disarm();
}

int OutTempClose(OutTemp* temp) {
  if (!temp->f) return 0;
  std::string target = FsShown(temp->target);
  if (FsSync(temp->f) != 0) {
    ReportError(target.c_str(), "cannot write: %s", strerror(errno));
    OutTempDrop(temp);
    return -1;
  }
  FILE* f = temp->f;
  temp->f = nullptr;
  if (fclose(f) != 0) {
    ReportError(target.c_str(), "cannot write: %s", strerror(errno));
    OutTempDrop(temp);
    return -1;
  }
  return 0;
}

int OutTempCommit(OutTemp* temp, bool replace) {
  std::string target = FsShown(temp->target);
  if (OutTempClose(temp) != 0) return -1;
  std::string error;
  if (FsRename(temp->path, temp->target, replace, &error) != 0) {
    ReportError(target.c_str(), "cannot put the file in place: %s", error.c_str());
    OutTempDrop(temp);
    return -1;
  }
  temp->path.clear();
  Disarm();
  return 0;
}

int OutRemoveStale(const std::string& target) {
  std::string folder = FsFolderOf(target);
  std::string prefix = "." + BaseName(target) + ".";
  std::vector<FsItem> items;
  std::string error;
  if (FsListFolder(folder, &items, &error) != 0) return 0;
  int removed = 0;
  for (const FsItem& item : items) {
    const std::string& n = item.name;
    if (!item.isFile || item.isLink || n.size() <= prefix.size() + 4 ||
        n.compare(0, prefix.size(), prefix) != 0 || n.compare(n.size() - 4, 4, ".tmp") != 0)
      continue;
    std::string middle = n.substr(prefix.size(), n.size() - prefix.size() - 4);  // PID-N
    size_t dash = middle.find('-');
    if (dash == std::string::npos || !AllDigits(middle.substr(0, dash)) ||
        !AllDigits(middle.substr(dash + 1)) || dash > 10)
      continue;
    unsigned long pid = strtoul(middle.substr(0, dash).c_str(), nullptr, 10);
    if (pid == FsProcessId() || !FsProcessGone(pid)) continue;
    if (FsRemove(FsJoin(folder, n)) == 0) {
      ReportWarning(FsShown(FsJoin(folder, n)).c_str(),
                    "removed, left behind by a build that was stopped");
      ++removed;
    }
  }
  return removed;
}

int OutWriteFile(const std::string& output, const std::string& bytes,
                 const std::vector<std::string>& inputs, bool force) {
  int rc = OutCheckTarget(output, inputs, force);
  if (rc != 0) return rc;
  OutRemoveStale(output);
  OutTemp temp;
  if (OutTempCreate(output, &temp) != 0) return kExitBadInput;
  if (fwrite(bytes.data(), 1, bytes.size(), temp.f) != bytes.size()) {
    ReportError(FsShown(output).c_str(), "cannot write: %s", strerror(errno));
    OutTempDrop(&temp);
    return kExitBadInput;
  }
  return OutTempCommit(&temp, force) == 0 ? 0 : kExitBadInput;
}
