#include "payload/delta_check.h"

#include <windows.h>

#include "payload/delta_base.h"
#include "payload/extract.h"
#include "payload/walk.h"
#include "support/ansi.h"
#include "support/main_window.h"

namespace {

void PumpIdle() { PumpMessages(); }

// 0 when the delta's base checks out; *differs tells a base that does not
// from a damaged delta, which is the extraction's to report.
int VisitDelta(void* context, FILE* stream, const PayloadEntry& entry, const char* path) {
  bool* differs = static_cast<bool*>(context);
  uint64_t stamp = 0;
  DeltaHeader header;
  int64_t start = 0;
  if (DeltaEntryBegin(stream, entry.packedSize, &stamp, &header, &start) != kDeltaOk) return -1;
  DeltaBase base;
  if (DeltaBaseOpen(&base, path, PumpIdle) != 0) {
    *differs = true;
    return -1;
  }
  int result = DeltaCheckBase(header, DeltaBaseReader(&base), base.size);
  DeltaBaseClose(&base);
  // A base that cannot be read whole is as good as missing.
  *differs = result == kDeltaBaseDiffers || result == kDeltaReadFailed;
  return result == kDeltaOk ? 0 : -1;
}

}  // namespace

int CheckDeltaBases(const char* destination) {
  FILE* stream = OpenPayload();
  if (!stream) return kBasesMatch;
  bool differs = false;
  PayloadDeltaVisitor visitor{&differs, VisitDelta};
  PayloadScan(stream, PayloadLength(), destination, AnsiIsLeadByte, nullptr, &visitor);
  fclose(stream);
  return differs ? kBasesDiffer : kBasesMatch;
}
