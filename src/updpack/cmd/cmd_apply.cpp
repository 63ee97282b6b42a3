// updpack apply FILE GAME_DIR: does to a game's folder what the updater does
// (the payload's files with their times, then [delfiles_afterinst]) and shows
// what it would write to the INI file and the registry. All or nothing, as
// the updater: the files are staged in ~updtxn and replace the game's only
// when every one arrived whole; any failure leaves the folder as it was.
// Like extract, it follows no symbolic link below GAME_DIR. A delta entry
// makes its file from the game's file of that name: every delta's base is
// checked (size, SHA-256) before anything is written, and the new file's
// checksum before it replaces the old one.
#include <CLI/CLI.hpp>
#include <memory>
#include <vector>

#include "env/sections.h"
#include "payload/names.h"
#include "txn/txn_apply.h"
#include "update/deletion_match.h"
#include "update/deletion_rules.h"
#include "updpack/archive/pack_delta.h"
#include "updpack/archive/pack_read.h"
#include "updpack/build/build_names.h"
#include "updpack/check/check_env.h"
#include "updpack/check/check_transfer.h"
#include "updpack/cmd/apply_run.h"
#include "updpack/cmd/commands.h"
#include "updpack/fsys/fsys.h"
#include "updpack/fsys/fsys_txn.h"
#include "updpack/report.h"

namespace {

struct Apply {
  PackReader reader;
  std::string game;
  FsTxnContext context;
  TxnFs fs;
  TxnPlan plan = TxnPlan{};  // its count starts at 0 only so
  std::string env;           // the packed install.env
  uint64_t replaced = 0, added = 0, folders = 0, deleted = 0;
};

int Failed(Apply* a, const std::string& name, const std::string& why) {
  ReportError(a->reader.shown.c_str(), "entry \"%s\": %s", FsDisplayName(name).c_str(),
              why.c_str());
  return -1;
}

// Every header, name, path and place before anything is written.
int Scan(Apply* a) {
  std::string previous;
  for (;;) {
    PayloadEntry entry;
    int read = PackNextEntry(&a->reader, &entry, previous);
    if (read == kPayloadEndReached) return 0;
    if (read != kPayloadEntryRead) return -1;
    previous = entry.name;
    char joined[kPayloadPathMax];
    if (PayloadJoinPath(joined, sizeof joined, kFsTxnFolder, entry.name) != 0)
      return Failed(a, entry.name, "the output path does not fit 260 bytes");
    std::string local;
    if (!FsTxnLocal(a->game, entry.name, &local))
      return Failed(a, entry.name, "the name is not code page 932 text");
    std::string link = FsFirstLink(a->game, local);
    if (!link.empty())
      return Failed(a, entry.name,
                    FsShown(link) +
                        " is a symbolic link; links below the game's folder are not "
                        "followed");
    bool regular = false, folder = false;
    bool exists = FsLstatKind(local, &regular, &folder) == 0;
    if (PayloadIsFolder(entry) && exists && !folder)
      return Failed(a, entry.name, "a file is in the folder's place");
    if (!PayloadIsFolder(entry) && exists && !regular)
      return Failed(a, entry.name, "a folder or other non-file is in the file's place");
    // The updater cannot replace a read-only file and fails before it begins.
    if (!PayloadIsFolder(entry) && exists && FsIsReadOnly(local))
      return Failed(a, entry.name, "a read-only file is in the way");
    if (PayloadIsDelta(entry)) {
      DeltaHeader header;
      uint64_t stamp;
      std::string why;
      if (PackDeltaPeek(&a->reader, entry, &header, &stamp, &why) != 0)
        return Failed(a, entry.name, why);
      if (!exists)
        return Failed(a, entry.name,
                      "its base " + FsShown(local) +
                          " is missing: the update is for another version of the game");
      if (PackDeltaCheckBase(header, local, &why) != 0)
        return Failed(a, entry.name, why + ": the update is for another version of the game");
    }
    // The updater opens it in any letter case.
    if (!PayloadIsFolder(entry) && !PayloadIsDelta(entry) &&
        BuildFoldCase(entry.name) == "install.env") {
      std::string why;
      if (PackReadWhole(&a->reader, entry, &a->env, &why) != 0) return Failed(a, entry.name, why);
    } else if (PackSkipData(&a->reader, entry) != 0) {
      return -1;
    }
  }
}

// Writes every file into the staging folder and builds the plan.
int Stage(Apply* a) {
  std::string previous;
  for (;;) {
    PayloadEntry entry;
    int read = PackNextEntry(&a->reader, &entry, previous);
    if (read == kPayloadEndReached) return 0;
    if (read != kPayloadEntryRead) return -1;
    previous = entry.name;
    std::string local;
    FsTxnLocal(a->game, entry.name, &local);
    bool existed = FsExists(local);
    if (PayloadIsFolder(entry)) {
      TxnPlanAdd(&a->plan, kTxnFolder, existed, entry.name);
      if (!existed) a->folders++;
      continue;
    }
    int index = TxnPlanAdd(&a->plan, kTxnFile, existed, entry.name);
    char staged[kPayloadPathMax];
    char bucket[kPayloadPathMax];
    if (index < 0 || TxnStagedPath(staged, sizeof staged, kFsTxnFolder, 'n', index) != 0 ||
        TxnBucketPath(bucket, sizeof bucket, kFsTxnFolder, index) != 0)
      return Failed(a, entry.name, "the staged path does not fit");
    std::string path;
    if (index % kTxnBucketFiles == 0) {
      FsTxnLocal(a->game, bucket, &path);
      if (FsMakeFolder(path) != 0) return Failed(a, entry.name, "cannot create " + FsShown(path));
    }
    FsTxnLocal(a->game, staged, &path);
    FILE* f = FsCreateNew(path);
    if (!f) return Failed(a, entry.name, "cannot create " + FsShown(path));
    uint64_t stamp = 0;
    std::string why;
    // The base is the game's file, untouched until the commit.
    int rc = PayloadIsDelta(entry) ? PackDeltaMake(&a->reader, entry, local, f, &stamp, &why)
                                   : PackInflate(&a->reader, entry, f, &stamp, &why);
    if (rc == 0 && FsSync(f) != 0) {
      rc = -1;
      why = "cannot write " + FsShown(path);
    }
    if (fclose(f) != 0 && rc == 0) {
      rc = -1;
      why = "cannot write " + FsShown(path);
    }
    if (rc == 0 && FsSetFileTime(path, stamp) != 0) {
      rc = -1;
      why = "cannot set the time of " + FsShown(path);
    }
    if (rc != 0) return Failed(a, entry.name, why);
    (existed ? a->replaced : a->added)++;
  }
}

// One [delfiles_afterinst] line, as the updater carries it out: every file
// (not folder) in the line's folder that matches its last part, then the
// line's top-level folder when it is empty.
void DeleteLine(Apply* a, const char* line) {
  if (!DeletionLineStaysInside(line, IsLeadByte)) return;
  const char* slash = MbsRChr(line, '\\', IsLeadByte);
  std::string folderName = slash ? std::string(line, slash - line) : "";
  std::string folder;
  if (!FsTxnLocal(a->game, folderName, &folder) || !FsFirstLink(a->game, folder).empty()) return;
  std::vector<FsItem> items;
  std::string error;
  if (FsListFolder(folder, &items, &error) == 0) {
    for (const FsItem& item : items) {
      std::string name;
      if (item.isFolder || !FsUtf8ToCp932(item.name, &name)) continue;
      std::string path = folderName.empty() ? name : folderName + "\\" + name;
      if (DeletionLineMatches(line, path.c_str(), IsLeadByte) &&
          FsRemove(FsJoin(folder, item.name)) == 0) {
        a->deleted++;
      }
    }
  }
  const char* first = MbsChr(line, '\\', IsLeadByte);
  if (!first) return;
  std::string top;
  if (FsTxnLocal(a->game, std::string(line, first - line), &top) &&
      FsFirstLink(a->game, top).empty())
    FsRemoveFolder(top);
}

int Run(const std::string& update, const std::string& game, const TxnFs* fs) {
  Apply a;
  if (RequireFolder(game) != kExitOk) return kExitBadInput;
  a.game = game;
  a.context.root = game;
  a.fs = fs ? *fs : FsTxnTable(&a.context);
  if (fs) a.fs.context = &a.context;
  if (PackOpen(update, &a.reader) != 0) return kExitBadInput;
  // A killed run of apply or of the updater left its staging folder.
  if (TxnRecover(kFsTxnFolder, a.fs) != 0) {
    ReportError(FsShown(game).c_str(), "cannot put back what an interrupted update left");
    PackClose(&a.reader);
    return kExitBadInput;
  }
  int rc = Scan(&a);
  std::string staging;
  FsTxnLocal(game, std::string(kFsTxnFolder) + "\\" + kPayloadStagingName, &staging);
  if (rc == 0 && FsSeek(a.reader.f, a.reader.location.first) != 0) {
    ReportError(a.reader.shown.c_str(), "cannot go back to the first entry");
    rc = -1;
  }
  if (rc == 0) {
    a.reader.position = 0;
    a.reader.index = 0;
    if (FsExists(staging) || FsMakeFolder(staging) != 0) {
      ReportError(FsShown(staging).c_str(), "cannot make the staging folder");
      rc = -1;
    } else if ((rc = Stage(&a)) != 0) {
      TxnDiscard(kFsTxnFolder, a.fs);
    }
  }
  PackClose(&a.reader);
  if (rc == 0) {
    int committed = TxnCommit(kFsTxnFolder, a.plan, a.fs);
    if (committed == kTxnStuck) {
      ReportError(FsShown(game).c_str(),
                  "could not put the folder back; %s keeps what the next run needs to",
                  FsShown(staging).c_str());
      return kExitBadInput;
    }
    if (committed != kTxnDone) {
      ReportError(FsShown(game).c_str(), "the files could not be replaced");
      rc = -1;
    }
  }
  if (rc != 0) {
    ReportError(FsShown(game).c_str(), "nothing changed");
    return kExitBadInput;
  }
  EnvCheckResult env;
  CheckEnvText(a.env, false, &env);
  for (const SectionEntry* e = DelfilesAfterinstList.first; e; e = e->next) DeleteLine(&a, e->text);
  ReportInfo("%s: %llu files replaced, %llu added, %llu folders made, %llu deleted in %s\n",
             FsShown(update).c_str(), static_cast<unsigned long long>(a.replaced),
             static_cast<unsigned long long>(a.added), static_cast<unsigned long long>(a.folders),
             static_cast<unsigned long long>(a.deleted), FsShown(game).c_str());
  if (!a.env.empty()) PrintTransfer(env);
  return kExitOk;
}

}  // namespace

int ApplyRun(const std::string& update, const std::string& game, const TxnFs* fs) {
  return Run(update, game, fs);
}

void RegisterApplyCommand(CLI::App& app, UpdpackContext& context) {
  auto args = std::make_shared<std::vector<std::string>>(2);
  CLI::App* cmd = app.add_subcommand(
      "apply", "Update a copy of a game's folder as the updater would (all or nothing)");
  cmd->add_option("FILE", (*args)[0], "The update executable")->required()->check(NonEmptyPath());
  cmd->add_option("GAME_DIR", (*args)[1], "The game's folder (a copy of the old version)")
      ->required()
      ->check(NonEmptyPath());
  cmd->callback([&context, args] {
    context.result =
        ApplyRun(FsArgPath((*args)[0].c_str()), FsArgPath((*args)[1].c_str()), nullptr);
  });
}
