#include "updpack/archive/pack_delta.h"

#include <cerrno>
#include <cstring>

#include "payload/inflate_entry.h"
#include "updpack/fsys/fsys.h"
#include "updpack/report.h"

namespace {

struct FileAt {
  FILE* f;
  uint64_t origin;  // file offset of offset 0
};

int ReadFileAt(void* context, uint32_t offset, unsigned char* data, uint32_t size) {
  FileAt* at = static_cast<FileAt*>(context);
  if (FsSeek(at->f, at->origin + offset) != 0) return 1;
  return fread(data, 1, size, at->f) == size ? 0 : 1;
}

// Stands in for a base nobody gave: the instructions are checked against its
// size, and what they make of it is thrown away.
int ReadZeros(void*, uint32_t, unsigned char* data, uint32_t size) {
  memset(data, 0, size);
  return 0;
}

struct OutSink {
  FILE* out;
};

int WriteOut(void* context, const unsigned char* data, uint32_t size) {
  FILE* out = static_cast<OutSink*>(context)->out;
  return out && fwrite(data, 1, size, out) != size ? 1 : 0;
}

void ShowProgress(void*, uint32_t, uint32_t position) { ProgressUpdate(position); }

// File offset of the entry's time stamp (the reader stands after its header).
uint64_t DataStart(const PackReader& reader) {
  return static_cast<uint64_t>(reader.location.first) + reader.position;
}

}  // namespace

int PackDeltaPeek(PackReader* reader, const PayloadEntry& entry, DeltaHeader* header,
                  uint64_t* stamp, std::string* why) {
  unsigned char head[kDeltaHeaderBytes];
  uint64_t start = DataStart(*reader);
  bool read = PayloadReadTimeStamp(reader->f, stamp) == 0 &&
              fread(head, 1, sizeof head, reader->f) == sizeof head;
  if (FsSeek(reader->f, start) != 0 || !read) {
    *why = "cannot read its delta header";
    return -1;
  }
  int rc = DeltaParseHeader(head, entry.packedSize, header);
  if (rc != kDeltaOk) {
    *why = DeltaResultText(rc);
    return -1;
  }
  return 0;
}

int PackDeltaCheckBase(const DeltaHeader& header, const std::string& basePath, std::string* why) {
  std::string error;
  FILE* f = FsOpenRegular(basePath, &error);
  if (!f) {
    *why = "its base " + FsShown(basePath) + " cannot be read: " + error;
    return -1;
  }
  FsItem item;
  int rc = -1;
  if (FsStat(basePath, &item, &error) != 0) {
    *why = "its base " + FsShown(basePath) + " cannot be read: " + error;
  } else if (item.size != header.baseSize) {
    *why = "its base " + FsShown(basePath) + " has " + std::to_string(item.size) +
           " bytes; the delta was made against one of " + std::to_string(header.baseSize);
  } else {
    FileAt at{f, 0};
    int checked = DeltaCheckBase(header, DeltaReader{&at, ReadFileAt}, header.baseSize);
    if (checked == kDeltaOk) {
      rc = 0;
    } else if (checked == kDeltaBaseDiffers) {
      *why = "its base " + FsShown(basePath) +
             " is not the file the delta was made against (SHA-256 differs)";
    } else {
      *why = "its base " + FsShown(basePath) + ": " + DeltaResultText(checked);
    }
  }
  fclose(f);
  return rc;
}

int PackDeltaMake(PackReader* reader, const PayloadEntry& entry, const std::string& basePath,
                  FILE* out, uint64_t* stamp, std::string* why, bool* baseDiffers) {
  if (baseDiffers) *baseDiffers = false;
  DeltaHeader header;
  if (PackDeltaPeek(reader, entry, &header, stamp, why) != 0) return -1;
  FileAt delta{reader->f, DataStart(*reader) + kPayloadTimeStampBytes};
  uint32_t position = reader->position + kPayloadTimeStampBytes;
  OutSink outSink{out};
  PayloadSink sink{&outSink, WriteOut, ShowProgress};
  uint32_t written = 0;
  int rc;
  if (basePath.empty()) {
    rc = DeltaApply(header, DeltaReader{&delta, ReadFileAt}, DeltaReader{nullptr, ReadZeros},
                    header.baseSize, sink, position, &written);
    // Made from zeros, the new file cannot match its checksum.
    if (rc == kDeltaBadOutput) rc = kDeltaOk;
  } else {
    if (PackDeltaCheckBase(header, basePath, why) != 0) {
      if (baseDiffers) *baseDiffers = true;
      return -1;
    }
    std::string error;
    FILE* f = FsOpenRegular(basePath, &error);
    if (!f) {
      *why = "its base " + FsShown(basePath) + " cannot be read: " + error;
      return -1;
    }
    FileAt base{f, 0};
    rc = DeltaApply(header, DeltaReader{&delta, ReadFileAt}, DeltaReader{&base, ReadFileAt},
                    header.baseSize, sink, position, &written);
    fclose(f);
  }
  if (rc != kDeltaOk) {
    *why = rc == kDeltaWriteFailed ? std::string("cannot write: ") + strerror(errno)
                                   : std::string("the ") + DeltaResultText(rc);
    return -1;
  }
  if (FsSeek(reader->f, DataStart(*reader) + kPayloadTimeStampBytes + entry.packedSize) != 0) {
    *why = "cannot read past it";
    return -1;
  }
  reader->position += kPayloadTimeStampBytes + entry.packedSize;
  return 0;
}
