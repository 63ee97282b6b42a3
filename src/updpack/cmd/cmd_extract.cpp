// updpack extract FILE DIR: writes every entry below DIR with its time stamp,
// by the updater's rules for names and paths, and more carefully than it:
// no symbolic link below DIR is followed, no file grows past its declared
// size, and a file replaces an existing one only once it has checked out.
// A delta entry's new file is made only with --base OLD_DIR (from the file
// of its name there, checked first); without it the delta is named and
// skipped, the others are written, and the exit code is 1: the folder
// lacks files the update carries.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "payload/names.h"
#include "updpack/archive/pack_delta.h"
#include "updpack/archive/pack_read.h"
#include "updpack/cmd/commands.h"
#include "updpack/fsys/fsys.h"
#include "updpack/fsys/fsys_txn.h"
#include "updpack/fsys/out_file.h"
#include "updpack/report.h"

namespace {

struct Extraction {
  PackReader reader;
  std::string destination;
  std::string base;  // --base OLD_DIR; empty: deltas are skipped
  uint64_t files = 0, folders = 0, skipped = 0;
};

int EntryFailed(Extraction* x, const std::string& name, const std::string& why) {
  ReportError(x->reader.shown.c_str(), "entry \"%s\": %s", name.c_str(), why.c_str());
  return -1;
}

int ExtractFile(Extraction* x, const PayloadEntry& entry, const std::string& name,
                const std::string& local) {
  bool regular = false, folder = false;
  if (FsLstatKind(local, &regular, &folder) == 0 && !regular)
    return EntryFailed(x, name, FsShown(local) + " exists and is not a regular file");
  OutTemp temp;
  if (OutTempCreate(local, &temp) != 0) return -1;
  uint64_t stamp = 0;
  std::string why;
  int made;
  if (PayloadIsDelta(entry)) {
    std::string basePath;
    if (!FsTxnLocal(x->base, entry.name, &basePath)) {
      OutTempDrop(&temp);
      return EntryFailed(x, name, "the name is not code page 932 text");
    }
    made = PackDeltaMake(&x->reader, entry, basePath, temp.f, &stamp, &why);
  } else {
    made = PackInflate(&x->reader, entry, temp.f, &stamp, &why);
  }
  if (made != 0) {
    OutTempDrop(&temp);
    return EntryFailed(x, name, why);
  }
  if (OutTempClose(&temp) != 0) return -1;
  if (FsSetFileTime(temp.path, stamp) != 0)
    ReportWarning(FsShown(local).c_str(), "cannot set its time");
  if (OutTempCommit(&temp, true) != 0) return -1;
  x->files++;
  return 0;
}

int ExtractEntries(Extraction* x) {
  std::string previous;
  for (;;) {
    PayloadEntry entry;
    int read = PackNextEntry(&x->reader, &entry, previous);
    if (read == kPayloadEndReached) return 0;
    if (read != kPayloadEntryRead) return -1;
    previous = entry.name;
    std::string name = FsDisplayName(entry.name);
    // The updater joins the name to its folder in 260 bytes; "." stands in
    // for the shortest folder.
    char joined[kPayloadPathMax];
    if (PayloadJoinPath(joined, sizeof joined, ".", entry.name) != 0)
      return EntryFailed(x, name, "the output path does not fit 260 bytes");
    std::string utf8;
    if (!FsCp932ToUtf8(entry.name, &utf8))
      return EntryFailed(x, name, "the name is not code page 932 text");
    for (char& ch : utf8)
      if (ch == '\\') ch = '/';
    while (!utf8.empty() && utf8.back() == '/') utf8.pop_back();
    std::string local = FsJoin(x->destination, utf8);
    std::string link = FsFirstLink(x->destination, local);
    if (!link.empty())
      return EntryFailed(x, name,
                         FsShown(link) +
                             " is a symbolic link; links below the destination are not "
                             "followed");
    if (PayloadIsFolder(entry)) {
      if (FsMakeFolder(local) != 0)
        return EntryFailed(
            x, name,
            "cannot create the folder: " +
                std::string(FsExists(local) ? "a file of that name exists" : strerror(errno)));
      x->folders++;
      continue;
    }
    if (PayloadIsDelta(entry) && x->base.empty()) {
      ReportWarning(x->reader.shown.c_str(),
                    "entry \"%s\": skipped: it is a delta against the old version's file; "
                    "give --base OLD_DIR to make it",
                    name.c_str());
      x->skipped++;
      if (PackSkipData(&x->reader, entry) != 0) return -1;
      continue;
    }
    if (ExtractFile(x, entry, name, local) != 0) return -1;
  }
}

int RunExtract(const std::string& path, const std::string& destination, const std::string& base) {
  Extraction x;
  x.base = base;
  if (!base.empty() && RequireFolder(base) != kExitOk) return kExitBadInput;
  if (PackOpen(path, &x.reader) != 0) return kExitBadInput;
  if (FsMakeFolders(destination) != 0) {
    ReportError(FsShown(destination).c_str(), "cannot create the folder: %s", strerror(errno));
    PackClose(&x.reader);
    return kExitBadInput;
  }
  x.destination = destination;
  ProgressStart("extracting", x.reader.location.length);
  int rc = ExtractEntries(&x);
  ProgressEnd();
  PackClose(&x.reader);
  if (rc != 0) return kExitBadInput;
  ReportInfo("%s: %llu files, %llu folders written to %s\n", FsShown(path).c_str(),
             static_cast<unsigned long long>(x.files), static_cast<unsigned long long>(x.folders),
             FsShown(destination).c_str());
  if (x.skipped) {
    ReportError(FsShown(path).c_str(), "%llu delta%s not made (no --base)",
                static_cast<unsigned long long>(x.skipped), x.skipped == 1 ? "" : "s");
    return kExitBadInput;
  }
  return kExitOk;
}

}  // namespace

void RegisterExtractCommand(CLI::App& app, UpdpackContext& context) {
  auto args = std::make_shared<std::vector<std::string>>(3);
  CLI::App* cmd = app.add_subcommand("extract", "Write the files of an update into a folder");
  cmd->add_option("--base", (*args)[2],
                  "The version the update is for: make each delta's file from the file of its "
                  "name there")
      ->check(NonEmptyPath());
  cmd->add_option("FILE", (*args)[0], "The update executable")->required()->check(NonEmptyPath());
  cmd->add_option("DIR", (*args)[1], "Where the files go (created if missing)")
      ->required()
      ->check(NonEmptyPath());
  cmd->callback([&context, args] {
    std::string base = (*args)[2].empty() ? "" : FsArgPath((*args)[2].c_str());
    context.result = RunExtract(FsArgPath((*args)[0].c_str()), FsArgPath((*args)[1].c_str()), base);
  });
}
