// Carrying out a plan in the game's folder, putting it back, and recovering
// what a killed run left, over the file system's few operations.
//
// The order that makes a kill harmless at any moment:
//   1. the new files are written into the staging folder (not here);
//   2. the journal is written whole and flushed;
//   3. for each entry in order: a new folder is made; a replaced file gets
//      a second name in the staging folder ('o' + index, a hard link; it may
//      have got it while the files were staged). Then the new files ('n' +
//      index) are renamed into their places, together, each over its old
//      file, so that its name always holds the old or the new file. Where
//      the volume has no hard links the old file is renamed away first and
//      its name is empty for the moment between the two renames;
//   4. the journal is marked committed;
//   5. the journal is removed, then the staging folder is emptied and removed.
// A run killed before 4 is put back by the next run (TxnRecover): every
// replaced file that is in the staging folder goes back to its place (one
// whose new file is still staged never left it: only its second name goes),
// every added file and folder goes. After 4 the next run only finishes 5.
#pragma once

#include <cstddef>
#include <string>

#include "txn/txn_plan.h"

enum : int {
  kTxnDone = 0,
  kTxnFailed = -1,     // the update could not be carried out; put back
  kTxnCancelled = -2,  // the player gave up on a file in use; put back
  kTxnStuck = -3,      // could not be put back either: the journal stays for the next run
  kTxnInUse = -4,      // a move's result: the file is held open by another program
};

enum TxnPathKind : int {
  kTxnNone = 0,
  kTxnIsFile = 1,
  kTxnIsFolder = 2,
};

// A rename of TxnFs::moveMany, with its result as `move` gives it.
struct TxnMove {
  const char* from;
  const char* to;
  bool replace;
  int result;
};

struct TxnFs {
  void* context;
  // What is at path: kTxnNone, kTxnIsFile or kTxnIsFolder.
  int (*kind)(void* context, const char* path);
  // Renames a file on its volume, replacing a file at `to` when `replace`;
  // written through to the disk. 0, kTxnInUse, or -1.
  int (*move)(void* context, const char* from, const char* to, bool replace);
  // Whether the file at path could be renamed or replaced now: 0, or
  // kTxnInUse when another program holds it open without allowing that.
  int (*probe)(void* context, const char* path);
  // Gives the file at `from` a second name `to` (a hard link): 0,
  // kTxnInUse, or -1 (the volume has none, or it failed).
  int (*link)(void* context, const char* from, const char* to);
  // 0 when the file is gone (or was not there), -1 otherwise.
  int (*removeFile)(void* context, const char* path);
  // 0 when the folder was made, -1 otherwise.
  int (*makeFolder)(void* context, const char* path);
  // Removes an empty folder: 0, or -1 (not empty, or not there).
  int (*removeFolder)(void* context, const char* path);
  // Writes a whole file anew, or appends to it, and flushes it to the disk.
  int (*writeFile)(void* context, const char* path, const char* data, size_t size, bool append);
  // Reads a whole file: 0, or -1 when it cannot be read.
  int (*readFile)(void* context, const char* path, std::string* data);
  // Deletes every file in the folder and in its sub-folders, then those
  // folders and the folder, where empty.
  void (*clearFolder)(void* context, const char* path);
  // A target is in use by another program: true to try again, false to
  // give up. May be null (give up at once).
  bool (*retryInUse)(void* context, const char* path);
  // Carries out renames that do not depend on one another, as `move` does
  // each, in any order or at once, each result in its entry. May be null
  // (one after another).
  void (*moveMany)(void* context, TxnMove* moves, size_t count);
};

// Steps 2 to 5 for the plan whose new files are all in the staging folder of
// `folder`. kTxnDone; kTxnFailed or kTxnCancelled when the game's folder has
// been put back as it was; kTxnStuck when even that failed.
int TxnCommit(const char* folder, const TxnPlan& plan, const TxnFs& fs);

// TxnCommit without step 5 when it succeeds: the staging folder, with the
// replaced files and the committed journal, is left for TxnDiscard, which
// may then run while the program goes on (deleting the old files takes as
// long as writing them). A kill before it is harmless: the next run only
// clears up. Failures are put back and cleared as by TxnCommit.
int TxnCommitKeepingStaging(const char* folder, const TxnPlan& plan, const TxnFs& fs);

// Puts back what the first `done` entries of the plan changed, judging by
// what lies in the staging folder, so that it may run again after a crash
// of its own. 0, or -1 when a file could not be put back.
int TxnRollback(const char* folder, const TxnPlan& plan, size_t done, const TxnFs& fs);

// Before an update: when the game's folder holds a staging folder left by a
// killed run, puts back its plan or finishes its clean-up, and removes it.
// 0 when the folder is clean now, -1 when something could not be put back
// (the staging folder and its journal stay).
int TxnRecover(const char* folder, const TxnFs& fs);

// Removes the staging folder and what is in it: the new files of an update
// that stops before its journal was written.
void TxnDiscard(const char* folder, const TxnFs& fs);
