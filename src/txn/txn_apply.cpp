#include "txn/txn_apply.h"

#include <cstring>
#include <vector>

#include "payload/format.h"

namespace {

struct Paths {
  char target[kPayloadPathMax];
  char fresh[kPayloadPathMax];  // the new file in the staging folder
  char old[kPayloadPathMax];    // the replaced file in the staging folder
};

// Every path of an entry; false when one does not fit (the update's checks
// before it began make that impossible for a plan of its own).
bool EntryPaths(const char* folder, const TxnPlan& plan, const TxnEntry& e, Paths* p) {
  return TxnTargetPath(p->target, sizeof p->target, folder, e.name) == 0 &&
         TxnStagedPath(p->fresh, sizeof p->fresh, folder, 'n', e.index, plan.flat) == 0 &&
         TxnStagedPath(p->old, sizeof p->old, folder, 'o', e.index, plan.flat) == 0;
}

// A rename, asked again while the player wants to retry a file in use. 0,
// kTxnCancelled or kTxnFailed.
int MoveAsking(const TxnFs& fs, const char* from, const char* to, bool replace, const char* shown) {
  for (;;) {
    int r = fs.move(fs.context, from, to, replace);
    if (r == 0) return 0;
    if (r != kTxnInUse) return kTxnFailed;
    if (!fs.retryInUse || !fs.retryInUse(fs.context, shown)) return kTxnCancelled;
  }
}

// Readies a replaced file for its new one: the old one gets its second name
// in the staging folder (where `linked`, it got it while the files were
// staged), and the rename that follows is all that is left, returned in
// *rename. Where the volume has no hard links, the old file is renamed away
// and the new one follows at once. 0, kTxnCancelled or kTxnFailed.
int ReadyReplace(const TxnFs& fs, const Paths& p, bool linked, bool* rename) {
  *rename = false;
  if (!linked) {
    // A file the game holds is found before it gets a second name: that name
    // could not be taken away again while the game holds the file.
    while (fs.probe(fs.context, p.target) == kTxnInUse) {
      if (!fs.retryInUse || !fs.retryInUse(fs.context, p.target)) return kTxnCancelled;
    }
  }
  while (!linked) {
    int r = fs.link(fs.context, p.target, p.old);
    linked = r == 0;
    if (r != kTxnInUse) break;  // -1: no hard links here, see below
    if (!fs.retryInUse || !fs.retryInUse(fs.context, p.target)) return kTxnCancelled;
  }
  if (linked) {
    *rename = true;
    return 0;
  }
  int result = MoveAsking(fs, p.target, p.old, false, p.target);
  if (result == 0) result = MoveAsking(fs, p.fresh, p.target, false, p.target);
  return result;
}

// The renames that put the new files in place, all at once where the file
// system can; one refused because its file is in use is asked about and
// tried again by itself. kTxnDone, kTxnCancelled or kTxnFailed (a replaced
// file that was not renamed still has its old file in its place).
int RenameAll(const TxnFs& fs, std::vector<TxnMove>* moves) {
  if (fs.moveMany) {
    fs.moveMany(fs.context, moves->data(), moves->size());
  } else {
    for (TxnMove& m : *moves) m.result = fs.move(fs.context, m.from, m.to, m.replace);
  }
  for (const TxnMove& m : *moves) {
    if (m.result == kTxnInUse) {
      int asked = MoveAsking(fs, m.from, m.to, m.replace, m.to);
      if (asked != 0) return asked;
    } else if (m.result != 0) {
      return kTxnFailed;
    }
  }
  return kTxnDone;
}

}  // namespace

int TxnRollback(const char* folder, const TxnPlan& plan, size_t done, const TxnFs& fs) {
  if (done > plan.entries.size()) done = plan.entries.size();
  int result = 0;
  for (size_t i = done; i-- > 0;) {
    const TxnEntry& e = plan.entries[i];
    Paths p;
    if (!EntryPaths(folder, plan, e, &p)) {
      result = -1;
      continue;
    }
    if (e.kind == kTxnFolder) {
      // Only an empty folder goes: anything put there since stays.
      if (!e.existed) fs.removeFolder(fs.context, p.target);
      continue;
    }
    if (e.existed) {
      // The old file is in the staging folder only once its replacement
      // began. While the new one waits there too, the old one was never
      // taken from its place, and its second name is all there is to drop
      // (a game holding it may keep that from working: the clean-up after
      // tries again). Otherwise it goes back over whatever took its place.
      if (fs.kind(fs.context, p.old) != kTxnIsFile) continue;
      if (fs.kind(fs.context, p.fresh) == kTxnIsFile &&
          fs.kind(fs.context, p.target) == kTxnIsFile) {
        fs.removeFile(fs.context, p.old);
      } else if (MoveAsking(fs, p.old, p.target, true, p.target) != 0) {
        result = -1;
      }
    } else if (fs.kind(fs.context, p.fresh) == kTxnNone &&
               fs.kind(fs.context, p.target) == kTxnIsFile) {
      // The new file left the staging folder: the file in its place is it.
      if (fs.removeFile(fs.context, p.target) != 0) result = -1;
    }
  }
  return result;
}

int TxnCommit(const char* folder, const TxnPlan& plan, const TxnFs& fs) {
  int result = TxnCommitKeepingStaging(folder, plan, fs);
  if (result == kTxnDone) TxnDiscard(folder, fs);
  return result;
}

int TxnCommitKeepingStaging(const char* folder, const TxnPlan& plan, const TxnFs& fs) {
  char journal[kPayloadPathMax];
  if (TxnJournalPath(journal, sizeof journal, folder) != 0) return kTxnFailed;
  std::string text = TxnJournalText(plan);
  if (fs.writeFile(fs.context, journal, text.data(), text.size(), false) != 0) {
    TxnDiscard(folder, fs);
    return kTxnFailed;
  }
  int result = kTxnDone;
  size_t done = 0;
  std::vector<Paths> paths(plan.entries.size());
  std::vector<TxnMove> moves;
  for (; done < plan.entries.size() && result == kTxnDone; ++done) {
    const TxnEntry& e = plan.entries[done];
    Paths& p = paths[done];
    bool rename = false;
    if (!EntryPaths(folder, plan, e, &p)) {
      result = kTxnFailed;
    } else if (e.kind == kTxnFolder) {
      if (!e.existed && fs.makeFolder(fs.context, p.target) != 0) result = kTxnFailed;
    } else if (e.existed) {
      result = ReadyReplace(fs, p, e.linked != 0, &rename);
    } else {
      rename = true;  // an added file: nothing in its way
    }
    if (result == kTxnDone && rename) moves.push_back(TxnMove{p.fresh, p.target, !!e.existed, 0});
  }
  // Every folder is made and every old file kept: the renames are all that
  // is left, and none depends on another.
  if (result == kTxnDone) result = RenameAll(fs, &moves);
  // Every rename is done; the mark says so to a run that follows a crash.
  // Without it that run would put the update back, so a mark that cannot be
  // written fails the update now.
  if (result == kTxnDone) {
    size_t n = strlen(kTxnCommittedLine);
    if (fs.writeFile(fs.context, journal, kTxnCommittedLine, n, true) != 0) result = kTxnFailed;
  }
  if (result == kTxnDone) return kTxnDone;
  if (TxnRollback(folder, plan, done, fs) != 0) return kTxnStuck;
  TxnDiscard(folder, fs);
  return result;
}

int TxnRecover(const char* folder, const TxnFs& fs) {
  char staging[kPayloadPathMax];
  char journal[kPayloadPathMax];
  if (TxnStagingPath(staging, sizeof staging, folder) != 0) return 0;
  if (fs.kind(fs.context, staging) != kTxnIsFolder) return 0;
  if (TxnJournalPath(journal, sizeof journal, folder) != 0) return -1;
  std::string text;
  TxnPlan plan;
  int state = kTxnJournalIncomplete;
  if (fs.readFile(fs.context, journal, &text) == 0) {
    state = TxnJournalParse(text.data(), text.size(), &plan);
  }
  if (state == kTxnJournalPlanned && TxnRollback(folder, plan, plan.entries.size(), fs) != 0) {
    return -1;
  }
  TxnDiscard(folder, fs);
  return fs.kind(fs.context, staging) == kTxnNone ? 0 : -1;
}

void TxnDiscard(const char* folder, const TxnFs& fs) {
  char staging[kPayloadPathMax];
  char journal[kPayloadPathMax];
  if (TxnStagingPath(staging, sizeof staging, folder) != 0) return;
  // The journal goes first: a clean-up cut short must not leave a plan
  // whose files are partly gone for the next run to put back.
  if (TxnJournalPath(journal, sizeof journal, folder) == 0 &&
      fs.removeFile(fs.context, journal) != 0) {
    return;
  }
  fs.clearFolder(fs.context, staging);
}
