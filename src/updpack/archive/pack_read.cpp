#include "updpack/archive/pack_read.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "payload/inflate_entry.h"
#include "payload/walk.h"
#include "support/sjis.h"
#include "updpack/build/build_names.h"
#include "updpack/fsys/fsys.h"
#include "updpack/report.h"

int PackOpen(const std::string& path, PackReader* reader) {
  reader->shown = FsShown(path);
  std::string error;
  reader->f = FsOpenRegular(path, &error);
  if (!reader->f) {
    ReportError(FsShown(path).c_str(), "cannot open: %s", error.c_str());
    return -1;
  }
  if (PayloadLocate(reader->f, &reader->location) != 0) {
    ReportError(FsShown(path).c_str(), "no payload: the trailer does not point into the file");
    PackClose(reader);
    return -1;
  }
  return 0;
}

void PackClose(PackReader* reader) {
  if (reader->f) fclose(reader->f);
  reader->f = nullptr;
}

int PackNextEntry(PackReader* reader, PayloadEntry* entry, const std::string& previous) {
  const char* reason = "corrupt";
  *entry = PayloadEntry();
  long before = ftell(reader->f);
  int rc = PayloadReadEntry(reader->f, reader->location.length - reader->position, entry,
                            IsLeadByte, &reason, kPayloadDeltasKnown);
  if (rc == kPayloadCorrupt) {
    std::string where = previous.empty() ? "the first entry"
                                         : "the entry after \"" + FsDisplayName(previous) + "\"";
    // Once the whole name has been read, it names the entry best.
    long read = ftell(reader->f) - before;
    if (entry->nameLength > 0 && read >= static_cast<long>(2 + entry->nameLength))
      where = "entry \"" + FsDisplayName(entry->name) + "\"";
    ReportError(reader->shown.c_str(), "%s: %s (payload offset %u)", where.c_str(), reason,
                reader->position);
    return rc;
  }
  if (rc == kPayloadEntryRead) {
    reader->position += PayloadHeaderBytes(*entry);
    reader->index++;
  }
  return rc;
}

int PackSkipData(PackReader* reader, const PayloadEntry& entry) {
  uint32_t skip = PayloadDataBytes(entry);
  if (skip && fseek(reader->f, static_cast<long>(skip), SEEK_CUR) != 0) {
    ReportError(reader->shown.c_str(), "cannot read: %s", strerror(errno));
    return -1;
  }
  reader->position += skip;
  return 0;
}

namespace {

struct LimitedSink {
  FILE* out;
  uint32_t limit;
  uint32_t written = 0;
  std::string why;
};

int WriteLimited(void* context, const unsigned char* data, uint32_t size) {
  LimitedSink* s = static_cast<LimitedSink*>(context);
  // Checked before writing: a small header over a huge stream writes nothing
  // beyond what it declared.
  if (size > s->limit - s->written) {
    s->why = "inflates past its declared size of " + std::to_string(s->limit) + " bytes";
    return 1;
  }
  if (s->out && fwrite(data, 1, size, s->out) != size) {
    s->why = std::string("cannot write: ") + strerror(errno);
    return 1;
  }
  s->written += size;
  return 0;
}

void ShowProgress(void*, uint32_t, uint32_t position) { ProgressUpdate(position); }

}  // namespace

int PackInflate(PackReader* reader, const PayloadEntry& entry, FILE* out, uint64_t* stamp,
                std::string* why) {
  if (PayloadReadTimeStamp(reader->f, stamp) != 0) {
    *why = "cannot read its time stamp";
    return -1;
  }
  reader->position += kPayloadTimeStampBytes;
  std::vector<unsigned char> in(kPayloadChunkSize), chunk(kPayloadChunkSize);
  LimitedSink limited;
  limited.out = out;
  limited.limit = entry.size;
  PayloadSink sink{&limited, WriteLimited, ShowProgress};
  uint32_t written = 0;
  const char* reason = "corrupt";
  if (PayloadInflateEntry(reader->f, entry.packedSize, reader->position, in.data(), chunk.data(),
                          sink, &written, &reason) != 0) {
    *why = limited.why.empty() ? reason : limited.why;
    return -1;
  }
  reader->position += entry.packedSize;
  if (written != entry.size) {
    *why = "inflates to " + std::to_string(written) + " bytes, its header says " +
           std::to_string(entry.size);
    return -1;
  }
  return 0;
}

int PackReadInstallEnv(const std::string& path, std::string* bytes) {
  PackReader reader;
  if (PackOpen(path, &reader) != 0) return -1;
  std::string previous;
  int rc = 1;
  for (;;) {
    PayloadEntry entry;
    int read = PackNextEntry(&reader, &entry, previous);
    if (read == kPayloadEndReached) break;
    if (read != kPayloadEntryRead) {
      rc = -1;
      break;
    }
    previous = entry.name;
    if (PayloadIsFolder(entry)) continue;
    if (!PayloadIsDelta(entry) && BuildFoldCase(entry.name) == "install.env") {
      std::string why;
      rc = PackReadWhole(&reader, entry, bytes, &why) == 0 ? 0 : -1;
      if (rc != 0) ReportError(reader.shown.c_str(), "install.env: %s", why.c_str());
      break;
    }
    if (PackSkipData(&reader, entry) != 0) {
      rc = -1;
      break;
    }
  }
  PackClose(&reader);
  return rc;
}

bool PackHasPayload(FILE* f) {
  PayloadLocation location;
  return PayloadLocate(f, &location) == 0 &&
         PayloadScan(f, location.length, nullptr, IsLeadByte) == 0;
}

std::string PackFormatTime(uint64_t fileTime) {
  // Days since 1601-01-01 (134774 days before 1970-01-01), then the civil
  // date by the usual era arithmetic counted from 0000-03-01.
  uint64_t seconds = fileTime / 10000000;
  int64_t days = static_cast<int64_t>(seconds / 86400);
  uint32_t rest = static_cast<uint32_t>(seconds % 86400);
  int64_t zz = days - 134774 + 719468;
  int64_t era = (zz >= 0 ? zz : zz - 146096) / 146097;
  int64_t doe = zz - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  char buf[64];
  snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02u:%02u:%02u", static_cast<long long>(y),
           static_cast<long long>(m), static_cast<long long>(d), rest / 3600, rest / 60 % 60,
           rest % 60);
  return buf;
}

int PackReadWhole(PackReader* reader, const PayloadEntry& entry, std::string* bytes,
                  std::string* why) {
  FILE* f = tmpfile();
  if (!f) {
    *why = "cannot make a temporary file";
    return -1;
  }
  uint64_t stamp = 0;
  int rc = PackInflate(reader, entry, f, &stamp, why);
  if (rc == 0) {
    bytes->resize(entry.size);
    rewind(f);
    if (entry.size && fread(&(*bytes)[0], 1, entry.size, f) != entry.size) {
      *why = "cannot read it back";
      rc = -1;
    }
  }
  fclose(f);
  return rc;
}
