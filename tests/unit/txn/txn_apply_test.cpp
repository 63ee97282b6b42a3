#include "txn/txn_apply.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "txn/txn_plan.h"

namespace {

// A file system in memory whose process can be killed before any step: from
// the step numbered killAt on, nothing changes any more. A journal write
// killed half-way leaves half its bytes, as a real one may.
struct FakeFs {
  std::map<std::string, std::string> files;
  std::set<std::string> folders;
  bool links = true;    // the volume has hard links
  bool batches = true;  // renames together, here last first
  int steps = 0;
  int killAt = 0;  // 0: never
  bool dead = false;
  std::set<std::string> inUse;   // held open by the game, no sharing
  std::set<std::string> held;    // held open, shared but not for renames: links work
  std::set<std::string> broken;  // cannot be renamed
  int retries = 0;               // times the player closes the game and retries
  std::vector<std::string> asked;

  bool Step() {
    if (dead) return false;
    if (++steps == killAt) dead = true;
    return !dead;
  }
  static std::string Parent(const std::string& path) { return path.substr(0, path.rfind('\\')); }
  bool HasChildren(const std::string& path) const {
    std::string prefix = path + "\\";
    for (const auto& f : files) {
      if (f.first.compare(0, prefix.size(), prefix) == 0) return true;
    }
    for (const auto& d : folders) {
      if (d.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
  }
};

FakeFs* Of(void* context) { return static_cast<FakeFs*>(context); }

int Kind(void* c, const char* path) {
  if (Of(c)->files.count(path)) return kTxnIsFile;
  return Of(c)->folders.count(path) ? kTxnIsFolder : kTxnNone;
}

int Move(void* c, const char* from, const char* to, bool replace) {
  FakeFs* f = Of(c);
  if (!f->Step()) return -1;
  if (f->inUse.count(from) || f->inUse.count(to)) return kTxnInUse;
  if (f->held.count(from) || f->held.count(to)) return kTxnInUse;
  if (f->broken.count(from)) return -1;
  if (!f->files.count(from) || f->folders.count(to) || !f->folders.count(FakeFs::Parent(to))) {
    return -1;
  }
  if (f->files.count(to) && !replace) return -1;
  std::string data = f->files[from];
  f->files.erase(from);
  f->files[to] = data;
  return 0;
}

int Probe(void* c, const char* path) {
  FakeFs* f = Of(c);
  return f->inUse.count(path) ? kTxnInUse : 0;
}

int Link(void* c, const char* from, const char* to) {
  FakeFs* f = Of(c);
  if (!f->links || !f->Step()) return -1;
  if (f->inUse.count(from)) return kTxnInUse;
  if (!f->files.count(from) || f->files.count(to)) return -1;
  f->files[to] = f->files[from];
  return 0;
}

int RemoveFile(void* c, const char* path) {
  FakeFs* f = Of(c);
  if (!f->Step()) return -1;
  if (f->inUse.count(path)) return -1;
  f->files.erase(path);
  return 0;
}

int MakeFolder(void* c, const char* path) {
  FakeFs* f = Of(c);
  if (!f->Step()) return -1;
  if (f->files.count(path) || f->folders.count(path) || !f->folders.count(FakeFs::Parent(path))) {
    return -1;
  }
  f->folders.insert(path);
  return 0;
}

int RemoveFolder(void* c, const char* path) {
  FakeFs* f = Of(c);
  if (!f->Step()) return -1;
  if (!f->folders.count(path) || f->HasChildren(path)) return -1;
  f->folders.erase(path);
  return 0;
}

int WriteFile(void* c, const char* path, const char* data, size_t size, bool append) {
  FakeFs* f = Of(c);
  if (f->dead) return -1;
  bool whole = f->Step();
  if (!f->folders.count(FakeFs::Parent(path))) return -1;
  std::string bytes(data, whole ? size : size / 2);
  if (append) {
    f->files[path] += bytes;
  } else {
    f->files[path] = bytes;
  }
  return whole ? 0 : -1;
}

int ReadFile(void* c, const char* path, std::string* data) {
  auto it = Of(c)->files.find(path);
  if (it == Of(c)->files.end()) return -1;
  *data = it->second;
  return 0;
}

void ClearFolder(void* c, const char* path) {
  FakeFs* f = Of(c);
  std::string prefix = std::string(path) + "\\";
  std::vector<std::string> doomed;
  for (const auto& file : f->files) {
    if (file.first.compare(0, prefix.size(), prefix) == 0) doomed.push_back(file.first);
  }
  for (const std::string& name : doomed) {
    if (!f->Step()) return;
    f->files.erase(name);
  }
  std::vector<std::string> subfolders;
  for (const std::string& d : f->folders) {
    if (d.compare(0, prefix.size(), prefix) == 0) subfolders.push_back(d);
  }
  for (const std::string& d : subfolders) RemoveFolder(c, d.c_str());
  RemoveFolder(c, path);
}

bool RetryInUse(void* c, const char* path) {
  FakeFs* f = Of(c);
  f->asked.push_back(path);
  if (f->retries == 0) return false;
  f->retries--;
  f->inUse.clear();  // the player closed the game
  f->held.clear();
  return true;
}

// Renames "in any order": the last first, so that none may count on one
// before it.
void MoveMany(void* c, TxnMove* moves, size_t count) {
  for (size_t i = count; i-- > 0;)
    moves[i].result = Move(c, moves[i].from, moves[i].to, moves[i].replace);
}

TxnFs FsOf(FakeFs* f) {
  return TxnFs{f,
               Kind,
               Move,
               Probe,
               Link,
               RemoveFile,
               MakeFolder,
               RemoveFolder,
               WriteFile,
               ReadFile,
               ClearFolder,
               RetryInUse,
               f->batches ? MoveMany : nullptr};
}

using Tree = std::map<std::string, std::string>;  // path -> contents, "<dir>" for folders

const char kGame[] = "C:\\Game";

// The game's folder without the staging folder.
Tree Snapshot(const FakeFs& f) {
  Tree tree;
  std::string staging = std::string(kGame) + "\\" + kPayloadStagingName;
  for (const auto& file : f.files) {
    if (file.first.compare(0, staging.size(), staging) != 0) tree[file.first] = file.second;
  }
  for (const auto& d : f.folders) {
    if (d.compare(0, staging.size(), staging) != 0) tree[d] = "<dir>";
  }
  return tree;
}

// An installed game, and an update that replaces two files, adds a folder
// with a file, and adds a file to a folder the game has.
struct Scenario {
  FakeFs fs;
  TxnPlan plan{};
  Tree before;
  Tree after;
  bool ahead = false;  // each replaced file got its second name while staging

  explicit Scenario(bool linkedAhead = false) : ahead(linkedAhead) {
    std::string g = kGame;
    fs.folders = {"C:", g, g + "\\save"};
    fs.files = {{g + "\\data.pak", "old data"},
                {g + "\\readme.txt", "old readme"},
                {g + "\\keep.txt", "kept"}};
    before = Snapshot(fs);
    after = before;
    Stage();
  }

  void Stage() {
    std::string g = kGame;
    plan = TxnPlan{};
    fs.folders.insert(g + "\\" + kPayloadStagingName);
    struct Item {
      TxnKind kind;
      const char* name;
      const char* data;
    };
    const Item items[] = {
        {kTxnFolder, "bgm", nullptr},        {kTxnFile, "data.pak", "new data"},
        {kTxnFile, "bgm\\a.ogg", "new ogg"}, {kTxnFile, "readme.txt", "new readme"},
        {kTxnFolder, "save", nullptr},       {kTxnFile, "save\\x.dat", "new x"}};
    for (const Item& item : items) {
      std::string target = g + "\\" + item.name;
      bool existed = fs.files.count(target) || fs.folders.count(target);
      int index = TxnPlanAdd(&plan, item.kind, existed, item.name);
      if (item.kind == kTxnFile) {
        char staged[260];
        TxnBucketPath(staged, sizeof staged, kGame, index);
        fs.folders.insert(staged);
        TxnStagedPath(staged, sizeof staged, kGame, 'n', index);
        fs.files[staged] = item.data;
        after[target] = item.data;
        if (ahead && fs.files.count(target)) {
          TxnStagedPath(staged, sizeof staged, kGame, 'o', index);
          fs.files[staged] = fs.files[target];
          plan.entries.back().linked = 1;
        }
      } else {
        after[target] = "<dir>";
      }
    }
  }

  bool StagingGone() const {
    return !fs.folders.count(std::string(kGame) + "\\" + kPayloadStagingName);
  }

  // Between the process's steps, each game file is its old or its new
  // version; a replaced file may be missing only where the volume has no
  // hard links, and then its old version waits in the staging folder.
  void ExpectEveryFileOldOrNew(const std::string& where) const {
    Tree now = Snapshot(fs);
    for (const auto& entry : now) {
      bool old = before.count(entry.first) && before.at(entry.first) == entry.second;
      bool fresh = after.count(entry.first) && after.at(entry.first) == entry.second;
      EXPECT_TRUE(old || fresh) << where << ": " << entry.first << " = " << entry.second;
    }
    for (const auto& entry : before) {
      if (now.count(entry.first)) continue;
      EXPECT_FALSE(fs.links) << where << ": " << entry.first << " missing";
      bool waiting = false;
      for (const auto& file : fs.files) waiting |= file.second == entry.second;
      EXPECT_TRUE(waiting) << where << ": " << entry.first << " lost";
    }
  }
};

int CleanCommitSteps(bool links, bool ahead = false, bool batches = true) {
  Scenario s(ahead);
  s.fs.links = links;
  s.fs.batches = batches;
  EXPECT_EQ(TxnCommit(kGame, s.plan, FsOf(&s.fs)), kTxnDone);
  return s.fs.steps;
}

TEST(TxnCommit, ReplacesAddsAndLeavesNoStagingFolder) {
  for (bool links : {true, false}) {
    Scenario s;
    s.fs.links = links;
    EXPECT_EQ(TxnCommit(kGame, s.plan, FsOf(&s.fs)), kTxnDone);
    EXPECT_EQ(Snapshot(s.fs), s.after) << links;
    EXPECT_TRUE(s.StagingGone());

    // Committed but not yet cleared: the old files wait beside a journal
    // that says so, and what clears them later leaves the new folder.
    Scenario kept;
    kept.fs.links = links;
    EXPECT_EQ(TxnCommitKeepingStaging(kGame, kept.plan, FsOf(&kept.fs)), kTxnDone);
    EXPECT_EQ(Snapshot(kept.fs), kept.after) << links;
    EXPECT_FALSE(kept.StagingGone());
    char journal[260];
    TxnJournalPath(journal, sizeof journal, kGame);
    const std::string& text = kept.fs.files[journal];
    TxnPlan parsed;
    EXPECT_EQ(TxnJournalParse(text.data(), text.size(), &parsed), kTxnJournalCommitted);
    EXPECT_EQ(TxnRecover(kGame, FsOf(&kept.fs)), 0);
    EXPECT_EQ(Snapshot(kept.fs), kept.after) << links;
    EXPECT_TRUE(kept.StagingGone());
  }
}

// The heart of it: the process killed before any one of its steps. On the
// disk every file is old or new; the next run puts the folder back whole
// (or, killed after the committed mark, keeps the new one), and running the
// same update then gives exactly the new folder.
TEST(TxnCommit, KilledAtAnyStepIsPutBackByTheNextRunAndCompletesOnTheNext) {
  for (int way = 0; way < 4; ++way) {
    bool links = way != 1;
    bool ahead = way == 2;    // second names made while staging
    bool batches = way != 3;  // the renames together, or one after another
    int total = CleanCommitSteps(links, ahead, batches);
    ASSERT_GT(total, 10);
    for (int kill = 1; kill <= total; ++kill) {
      std::string where = "way " + std::to_string(way) + ", killed at step " + std::to_string(kill);
      Scenario s(ahead);
      s.fs.links = links;
      s.fs.batches = batches;
      s.fs.killAt = kill;
      TxnCommit(kGame, s.plan, FsOf(&s.fs));
      ASSERT_TRUE(s.fs.dead) << where;
      s.ExpectEveryFileOldOrNew(where);

      s.fs.dead = false;
      s.fs.killAt = 0;
      ASSERT_EQ(TxnRecover(kGame, FsOf(&s.fs)), 0) << where;
      EXPECT_TRUE(s.StagingGone()) << where;
      Tree now = Snapshot(s.fs);
      EXPECT_TRUE(now == s.before || now == s.after) << where;

      s.Stage();
      ASSERT_EQ(TxnCommit(kGame, s.plan, FsOf(&s.fs)), kTxnDone) << where;
      EXPECT_EQ(Snapshot(s.fs), s.after) << where;
      EXPECT_TRUE(s.StagingGone()) << where;
    }
  }
}

TEST(TxnCommit, AKillDuringThePuttingBackIsPutBackByTheRunAfter) {
  int total = CleanCommitSteps(false);
  for (int kill = 1; kill <= total; kill += 3) {
    for (int second = 1; second <= 8; ++second) {
      std::string where =
          "killed at " + std::to_string(kill) + ", then at " + std::to_string(second);
      Scenario s;
      s.fs.links = false;
      s.fs.killAt = kill;
      TxnCommit(kGame, s.plan, FsOf(&s.fs));
      s.fs.dead = false;
      s.fs.steps = 0;
      s.fs.killAt = second;
      TxnRecover(kGame, FsOf(&s.fs));
      s.ExpectEveryFileOldOrNew(where);
      s.fs.dead = false;
      s.fs.killAt = 0;
      ASSERT_EQ(TxnRecover(kGame, FsOf(&s.fs)), 0) << where;
      Tree now = Snapshot(s.fs);
      EXPECT_TRUE(now == s.before || now == s.after) << where;
      EXPECT_TRUE(s.StagingGone()) << where;
    }
  }
}

TEST(TxnCommit, AFileInUseIsRetriedOrEverythingGoesBack) {
  std::string readme = std::string(kGame) + "\\readme.txt";
  for (bool links : {true, false}) {
    Scenario retried;
    retried.fs.links = links;
    retried.fs.inUse = {readme};
    retried.fs.retries = 1;
    EXPECT_EQ(TxnCommit(kGame, retried.plan, FsOf(&retried.fs)), kTxnDone);
    EXPECT_EQ(retried.fs.asked, std::vector<std::string>{readme});
    EXPECT_EQ(Snapshot(retried.fs), retried.after);

    // The second replaced file is held: the first, already replaced, and
    // the added folder and file go back too.
    Scenario cancelled;
    cancelled.fs.links = links;
    cancelled.fs.inUse = {readme};
    EXPECT_EQ(TxnCommit(kGame, cancelled.plan, FsOf(&cancelled.fs)), kTxnCancelled);
    EXPECT_EQ(cancelled.fs.asked, std::vector<std::string>{readme});
    EXPECT_EQ(Snapshot(cancelled.fs), cancelled.before);
    EXPECT_TRUE(cancelled.StagingGone());
  }
}

// Opened by the game between the probe and the replacement: the old file has
// its second name, the new one cannot take its place. Cancel must leave no
// work for a recovery that would need that file too.
TEST(TxnCommit, AFileHeldAgainstRenamesIsRetriedOrLeftAsItWas) {
  std::string readme = std::string(kGame) + "\\readme.txt";
  Scenario retried;
  retried.fs.held = {readme};
  retried.fs.retries = 1;
  EXPECT_EQ(TxnCommit(kGame, retried.plan, FsOf(&retried.fs)), kTxnDone);
  EXPECT_EQ(Snapshot(retried.fs), retried.after);

  Scenario cancelled;
  cancelled.fs.held = {readme};
  EXPECT_EQ(TxnCommit(kGame, cancelled.plan, FsOf(&cancelled.fs)), kTxnCancelled);
  EXPECT_EQ(cancelled.fs.asked, std::vector<std::string>{readme});
  EXPECT_EQ(Snapshot(cancelled.fs), cancelled.before);
  EXPECT_TRUE(cancelled.StagingGone()) << "not stuck";
}

// The game opened a file after it got its second name: its replacement is
// asked about once, and Cancel puts everything back without asking again
// for a file that never left its place.
TEST(TxnCommit, AFileOpenedAfterItsSecondNameWasMadeIsAskedAboutOnce) {
  std::string readme = std::string(kGame) + "\\readme.txt";
  Scenario retried(true);
  retried.fs.inUse = {readme};
  retried.fs.retries = 1;
  EXPECT_EQ(TxnCommit(kGame, retried.plan, FsOf(&retried.fs)), kTxnDone);
  EXPECT_EQ(retried.fs.asked, std::vector<std::string>{readme});
  EXPECT_EQ(Snapshot(retried.fs), retried.after);
  EXPECT_TRUE(retried.StagingGone());

  // The game holds the file, which its second name reaches too.
  Scenario cancelled(true);
  char second[260];
  TxnStagedPath(second, sizeof second, kGame, 'o', 2);
  ASSERT_EQ(cancelled.fs.files[second], "old readme");
  cancelled.fs.inUse = {readme, second};
  EXPECT_EQ(TxnCommit(kGame, cancelled.plan, FsOf(&cancelled.fs)), kTxnCancelled);
  EXPECT_EQ(cancelled.fs.asked, std::vector<std::string>{readme});
  EXPECT_EQ(Snapshot(cancelled.fs), cancelled.before);
  EXPECT_TRUE(cancelled.StagingGone());
}

// A run killed half-way by an updater whose staged files had no
// sub-folders is put back by this one.
TEST(TxnRecover, PutsBackARunWhoseJournalHasNoSubFolders) {
  Scenario s;
  std::string g = kGame;
  std::string staging = g + "\\" + kPayloadStagingName;
  // That run had replaced data.pak and added the folder bgm, then died.
  for (auto it = s.fs.files.begin(); it != s.fs.files.end();) {
    it = it->first.compare(0, staging.size(), staging) == 0 ? s.fs.files.erase(it) : ++it;
  }
  for (auto it = s.fs.folders.begin(); it != s.fs.folders.end();) {
    it = it->compare(0, staging.size() + 1, staging + "\\") == 0 ? s.fs.folders.erase(it) : ++it;
  }
  char path[260];
  TxnStagedPath(path, sizeof path, kGame, 'o', 0, true);
  s.fs.files[path] = "old data";
  TxnStagedPath(path, sizeof path, kGame, 'n', 1, true);
  s.fs.files[path] = "new ogg";
  s.fs.files[g + "\\data.pak"] = "new data";
  s.fs.folders.insert(g + "\\bgm");
  std::string text = TxnJournalText(s.plan);
  text.replace(0, text.find('\n'), "update journal 1");
  TxnJournalPath(path, sizeof path, kGame);
  s.fs.files[path] = text;

  EXPECT_EQ(TxnRecover(kGame, FsOf(&s.fs)), 0);
  EXPECT_EQ(Snapshot(s.fs), s.before);
  EXPECT_TRUE(s.StagingGone());
}

TEST(TxnCommit, AFailedStepPutsBackWhatWentBefore) {
  // Without hard links the old readme is renamed away, then its new one
  // cannot follow: the entry that failed half-way goes back too.
  Scenario half;
  half.fs.links = false;
  char staged[260];
  TxnStagedPath(staged, sizeof staged, kGame, 'n', 2);
  half.fs.broken = {staged};
  EXPECT_EQ(TxnCommit(kGame, half.plan, FsOf(&half.fs)), kTxnFailed);
  EXPECT_EQ(Snapshot(half.fs), half.before);
  EXPECT_TRUE(half.StagingGone());

  // A file has taken the place of the game's folder "save": writing into it
  // fails at the last step, after both replacements and the added folder.
  Scenario s;
  s.fs.folders.erase(std::string(kGame) + "\\save");
  s.fs.files[std::string(kGame) + "\\save"] = "a file";
  s.before = Snapshot(s.fs);
  s.Stage();
  EXPECT_EQ(TxnCommit(kGame, s.plan, FsOf(&s.fs)), kTxnFailed);
  EXPECT_EQ(Snapshot(s.fs), s.before);
  EXPECT_TRUE(s.StagingGone());

  // An added file whose name was taken since: it is not the update's and
  // stays where it is.
  Scenario taken;
  std::string x = std::string(kGame) + "\\save\\x.dat";
  taken.fs.files[x] = "the player's";
  taken.before = Snapshot(taken.fs);
  EXPECT_EQ(TxnCommit(kGame, taken.plan, FsOf(&taken.fs)), kTxnFailed);
  EXPECT_EQ(Snapshot(taken.fs), taken.before);
}

// Killed while a failed update's staging folder is cleared: the next run
// must not take a staged file that is gone for one that reached its place,
// and so delete the player's file that took an added file's name.
TEST(TxnCommit, AKillWhileAFailedUpdateIsClearedLeavesThePlayersFiles) {
  std::string x = std::string(kGame) + "\\save\\x.dat";
  int total = 0;
  {
    Scenario s;
    s.fs.files[x] = "the player's";  // since the update was staged
    EXPECT_EQ(TxnCommit(kGame, s.plan, FsOf(&s.fs)), kTxnFailed);
    total = s.fs.steps;
  }
  for (int kill = 1; kill <= total; ++kill) {
    Scenario s;
    s.fs.files[x] = "the player's";
    s.before = Snapshot(s.fs);
    s.fs.killAt = kill;
    TxnCommit(kGame, s.plan, FsOf(&s.fs));
    s.fs.dead = false;
    s.fs.killAt = 0;
    TxnRecover(kGame, FsOf(&s.fs));
    EXPECT_EQ(Snapshot(s.fs), s.before) << "killed at step " << kill;
  }
}

TEST(TxnRecover, LeavesAFolderWithoutStagingAloneAndClearsAnUnfinishedStaging) {
  Scenario s;
  // Killed while staging: new files, no journal. The game is untouched.
  EXPECT_EQ(TxnRecover(kGame, FsOf(&s.fs)), 0);
  EXPECT_TRUE(s.StagingGone());
  EXPECT_EQ(Snapshot(s.fs), s.before);
  int steps = s.fs.steps;
  EXPECT_EQ(TxnRecover(kGame, FsOf(&s.fs)), 0);
  EXPECT_EQ(s.fs.steps, steps);  // nothing to do
}

}  // namespace
