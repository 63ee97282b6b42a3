#include "payload/delta_check.h"

#include <windows.h>

#include "payload/delta_base.h"
#include "payload/extract.h"
#include "payload/walk.h"
#include "support/ansi.h"
#include "support/main_window.h"
#include "txn/staging.h"

namespace {

void PumpIdle() { PumpMessages(); }

// 0 when the delta's base checks out; *outcome tells a base that does not
// (or one the player gave up on) from a damaged delta, which is the
// extraction's to report.
int VisitDelta(void* context, FILE* stream, const PayloadEntry& entry, const char* path) {
  int* outcome = static_cast<int*>(context);
  uint64_t stamp = 0;
  DeltaHeader header;
  int64_t start = 0;
  if (DeltaEntryBegin(stream, entry.packedSize, &stamp, &header, &start) != kDeltaOk) return -1;
  DeltaBase base;
  int opened;
  while ((opened = DeltaBaseOpen(&base, path, PumpIdle)) == kDeltaBaseInUse) {
    if (!StagingAskRetryInUse(path)) {
      *outcome = kBasesCancelled;
      return -1;
    }
  }
  if (opened != 0) {
    *outcome = kBasesDiffer;
    return -1;
  }
  int result = DeltaCheckBase(header, DeltaBaseReader(&base), base.size);
  DeltaBaseClose(&base);
  // A base that cannot be read whole is as good as missing.
  if (result == kDeltaBaseDiffers || result == kDeltaReadFailed) *outcome = kBasesDiffer;
  return result == kDeltaOk ? 0 : -1;
}

}  // namespace

int CheckDeltaBases(const char* destination) {
  FILE* stream = OpenPayload();
  if (!stream) return kBasesMatch;
  int outcome = kBasesMatch;
  PayloadScanVisitor visitor{&outcome, VisitDelta, nullptr};
  PayloadScan(stream, PayloadLength(), destination, AnsiIsLeadByte, nullptr, &visitor);
  fclose(stream);
  return outcome;
}
