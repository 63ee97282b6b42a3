#include "txn/txn_plan.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "payload/names.h"
#include "support/text.h"

namespace {

constexpr char kHeader[] = "update journal 2\n";
// Written by updaters whose staged files had no sub-folders.
constexpr char kFlatHeader[] = "update journal 1\n";

int Fits(char* out, size_t size, int length) {
  if (length < 0 || static_cast<size_t>(length) >= size) {
    if (size > 0) out[0] = '\0';
    return -1;
  }
  return 0;
}

// Reads a decimal number ended by `stop` at *p; false when there is none.
bool ReadNumber(const char** p, const char* end, char stop, uint32_t* value) {
  const char* q = *p;
  uint64_t n = 0;
  if (q == end || *q < '0' || *q > '9') return false;
  while (q < end && *q >= '0' && *q <= '9') {
    n = n * 10 + static_cast<uint32_t>(*q - '0');
    if (n > 0xFFFFFFFFu) return false;
    ++q;
  }
  if (q == end || *q != stop) return false;
  *value = static_cast<uint32_t>(n);
  *p = q + 1;
  return true;
}

bool ReadLiteral(const char** p, const char* end, const char* text) {
  size_t n = strlen(text);
  if (static_cast<size_t>(end - *p) < n || memcmp(*p, text, n) != 0) return false;
  *p += n;
  return true;
}

}  // namespace

const char kTxnCommittedLine[] = "committed\n";

int TxnPlanAdd(TxnPlan* plan, TxnKind kind, bool existed, const char* name) {
  size_t length = strlen(name);
  if (length >= kPayloadNameMax) return -1;
  TxnEntry entry;
  entry.kind = kind;
  entry.existed = existed ? 1 : 0;
  entry.linked = 0;
  entry.index = kind == kTxnFile ? plan->files++ : 0;
  memcpy(entry.name, name, length + 1);
  plan->entries.push_back(entry);
  return static_cast<int>(entry.index);
}

int TxnStagingPath(char* out, size_t size, const char* folder) {
  return Fits(out, size, snprintf(out, size, "%s\\%s", folder, kPayloadStagingName));
}

int TxnBucketPath(char* out, size_t size, const char* folder, uint32_t index) {
  return Fits(out, size,
              snprintf(out, size, "%s\\%s\\%X", folder, kPayloadStagingName,
                       static_cast<unsigned>(index / kTxnBucketFiles)));
}

int TxnStagedPath(char* out, size_t size, const char* folder, char which, uint32_t index,
                  bool flat) {
  if (flat) {
    return Fits(out, size,
                snprintf(out, size, "%s\\%s\\%c%08X", folder, kPayloadStagingName, which, index));
  }
  return Fits(out, size,
              snprintf(out, size, "%s\\%s\\%X\\%c%02X", folder, kPayloadStagingName,
                       static_cast<unsigned>(index / kTxnBucketFiles), which,
                       static_cast<unsigned>(index % kTxnBucketFiles)));
}

int TxnJournalPath(char* out, size_t size, const char* folder) {
  return Fits(out, size, snprintf(out, size, "%s\\%s\\journal", folder, kPayloadStagingName));
}

int TxnTargetPath(char* out, size_t size, const char* folder, const char* name) {
  return PayloadJoinPath(out, size, folder, name);
}

std::string TxnJournalText(const TxnPlan& plan) {
  std::string text = kHeader;
  char line[64];
  for (const TxnEntry& e : plan.entries) {
    size_t length = strlen(e.name);
    snprintf(line, sizeof line, "%c %u %u %u ", e.kind == kTxnFile ? 'F' : 'D', e.existed, e.index,
             static_cast<unsigned>(length));
    text += line;
    text.append(e.name, length);
    text += '\n';
  }
  snprintf(line, sizeof line, "end %u\n", static_cast<unsigned>(plan.entries.size()));
  text += line;
  return text;
}

int TxnJournalParse(const char* data, size_t size, TxnPlan* plan) {
  plan->entries.clear();
  plan->files = 0;
  plan->flat = false;
  const char* p = data;
  const char* end = data + size;
  if (ReadLiteral(&p, end, kFlatHeader)) {
    plan->flat = true;
  } else if (!ReadLiteral(&p, end, kHeader)) {
    return kTxnJournalIncomplete;
  }
  for (;;) {
    uint32_t count = 0;
    if (ReadLiteral(&p, end, "end ")) {
      if (!ReadNumber(&p, end, '\n', &count) || count != plan->entries.size()) break;
      // Whatever follows the end line other than the whole mark (a mark cut
      // by a crash) leaves the plan as planned: renames may have begun.
      bool committed = static_cast<size_t>(end - p) == strlen(kTxnCommittedLine) &&
                       memcmp(p, kTxnCommittedLine, strlen(kTxnCommittedLine)) == 0;
      return committed ? kTxnJournalCommitted : kTxnJournalPlanned;
    }
    if (end - p < 2 || (p[0] != 'F' && p[0] != 'D') || p[1] != ' ') break;
    TxnEntry e;
    e.kind = p[0] == 'F' ? kTxnFile : kTxnFolder;
    p += 2;
    uint32_t existed = 0;
    uint32_t length = 0;
    if (!ReadNumber(&p, end, ' ', &existed) || existed > 1) break;
    if (!ReadNumber(&p, end, ' ', &e.index)) break;
    if (!ReadNumber(&p, end, ' ', &length) || length == 0 || length >= kPayloadNameMax) break;
    if (static_cast<size_t>(end - p) < length + 1u || p[length] != '\n') break;
    if (memchr(p, '\0', length)) break;
    memcpy(e.name, p, length);
    e.name[length] = '\0';
    p += length + 1;
    e.existed = static_cast<uint8_t>(existed);
    e.linked = 0;
    if (e.kind == kTxnFile) {
      // The numbers are given in order; anything else is not a plan this
      // updater wrote.
      if (e.index != plan->files) break;
      plan->files++;
    } else if (e.index != 0) {
      break;
    }
    plan->entries.push_back(e);
  }
  plan->entries.clear();
  plan->files = 0;
  return kTxnJournalIncomplete;
}
