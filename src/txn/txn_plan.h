// What an update changes in the game's folder, as a plan that can be
// carried out all at once, put back, and written down so that a run that was
// killed can be put back by the next one.
//
// The new files are written into the staging folder (kPayloadStagingName, at
// the top of the game's folder) under numbered names, kTxnBucketFiles
// numbers to a sub-folder: a system that looks a new name up through the
// whole folder keeps doing so in a small one. Only when every one of them is
// complete does the update replace the game's files: the plan goes to the
// journal, then each replaced file gets a second name in the staging folder
// and the new one is renamed into its place. Renames on one volume are cheap and
// each one is whole, so at any moment every game file is its old or its new
// version.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "payload/format.h"

enum TxnKind : uint8_t {
  kTxnFolder = 0,
  kTxnFile = 1,
};

struct TxnEntry {
  uint8_t kind;
  uint8_t existed;             // the target was there before: a file is replaced, a folder kept
  uint8_t linked;              // the replaced file has its second name already (not journalled)
  uint32_t index;              // a file's number in the staging folder
  char name[kPayloadNameMax];  // relative to the game's folder, as in the payload
};

struct TxnPlan {
  std::vector<TxnEntry> entries;  // in payload order: every folder before its contents
  uint32_t files;                 // file entries so far; the next file's index
  bool flat;                      // read from a journal whose staged files lie in the staging
                                  // folder itself, without sub-folders
};

constexpr uint32_t kTxnBucketFiles = 32;

// Adds an entry; a file gets the next index, returned. -1 when the name does
// not fit.
int TxnPlanAdd(TxnPlan* plan, TxnKind kind, bool existed, const char* name);

// Paths inside the game's folder, each into a 260-byte buffer (size bytes):
// the staging folder, the sub-folder of a file's index, a new file ('n') or
// a replaced one ('o') by index (`flat`: as a journal without sub-folders
// has them), the journal, and a target. 0, or -1 with out emptied when the
// path does not fit.
int TxnStagingPath(char* out, size_t size, const char* folder);
int TxnBucketPath(char* out, size_t size, const char* folder, uint32_t index);
int TxnStagedPath(char* out, size_t size, const char* folder, char which, uint32_t index,
                  bool flat = false);
int TxnJournalPath(char* out, size_t size, const char* folder);
int TxnTargetPath(char* out, size_t size, const char* folder, const char* name);

// The journal's text: a header, one line per entry, and an end line that
// says the plan is whole. The name goes with its length, so no byte of it
// can be taken for a line's end.
std::string TxnJournalText(const TxnPlan& plan);
// The line appended once every rename is done.
extern const char kTxnCommittedLine[];

enum TxnJournalState : int {
  kTxnJournalIncomplete = 0,  // no journal, or cut before its end line: nothing was renamed
  kTxnJournalPlanned = 1,     // a whole plan: renames may have begun
  kTxnJournalCommitted = 2,   // every rename was done
};

// Reads a journal's text into plan. Anything that is not a whole plan, a
// damaged one included, is kTxnJournalIncomplete.
int TxnJournalParse(const char* data, size_t size, TxnPlan* plan);
