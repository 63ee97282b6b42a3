#include "payload/extract.h"

#include <io.h>

#include <cstdlib>
#include <cstring>

#include "payload/copy_progress.h"
#include "payload/format.h"
#include "payload/inflate_entry.h"
#include "payload/names.h"
#include "payload/read_ahead.h"
#include "payload/walk.h"
#include "startup/workfolder.h"
#include "support/alloc_or_exit.h"
#include "support/ansi.h"
#include "support/main_window.h"
#include "support/message_box.h"
#include "txn/staging.h"

namespace {

uint32_t g_payloadLength = 0;

struct EntryOutput {
  FILE* file;
  HWND window;
  uint32_t size;
};

int WriteChunk(void* context, const unsigned char* data, uint32_t size) {
  return PayloadWriteStdio(static_cast<EntryOutput*>(context)->file, data, size);
}

void ShowChunk(void* context, uint32_t written, uint32_t position) {
  const EntryOutput* output = static_cast<EntryOutput*>(context);
  CopyProgressChunk(output->window, output->size, written, position);
}

// Stamps the file through the handle it was written with: its data are
// flushed first, so closing it writes nothing more that would move the time,
// and the file is not opened a second time. False when any of it fails.
bool StampOpenFile(FILE* file, uint64_t stamp) {
  if (fflush(file) != 0) return false;
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  if (handle == INVALID_HANDLE_VALUE) return false;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(stamp);
  time.dwHighDateTime = static_cast<DWORD>(stamp >> 32);
  return SetFileTime(handle, nullptr, nullptr, &time) != FALSE;
}

// Closes a file's output, stamped when its data all arrived; 0, or 1 when
// the data did not all arrive or the last of it could not be flushed (as
// short as a failed write).
int FinishFile(FILE* file, uint64_t stamp, int result) {
  if (result == 0 && !StampOpenFile(file, stamp)) result = 1;
  if (fclose(file) != 0) result = 1;
  return result;
}

void PumpIdle() { PumpMessages(); }

// Each file entry's name in the game's folder, for the staging to foresee.
void ForeseeFile(void* context, const PayloadEntry& entry, const char* path) {
  StagingForeseeFile(path + *static_cast<size_t*>(context), PayloadIsDelta(entry));
}

void MakeFolder(void*, const char* path) { CreateDirectoryA(path, nullptr); }

bool WriteAll(HANDLE file, const unsigned char* data, uint32_t size) {
  DWORD written = 0;
  return WriteFile(file, data, size, &written, nullptr) && written == size;
}

// The full walk: the payload is read and inflated on a thread of its own
// while this one stages the files and shows the progress, in the walk's
// order. 0 when every file is staged whole, -1 otherwise (nothing in the
// game's folder has changed either way).
int StageAhead(FILE* stream, const char* destination, HWND window) {
  if (!ReadAheadStart(stream, g_payloadLength, destination)) return -1;
  // Entry paths are "destination\name"; the plan keeps the name.
  size_t skip = strlen(destination) + 1;
  HANDLE file = INVALID_HANDLE_VALUE;
  uint32_t size = 0;
  uint64_t stamp = 0;
  for (;;) {
    const ReadAheadEvent* e = ReadAheadNext(PumpIdle);
    bool failed = false;
    bool ended = false;
    int result = 0;
    switch (e->kind) {
      case kAheadFolder:
        failed = StagingAddFolder(e->path, e->path + skip) != 0;
        break;
      case kAheadFileBegin:
        file = StagingCreateFile(e->path, e->path + skip);
        size = e->size;
        stamp = e->stamp;
        failed = file == INVALID_HANDLE_VALUE;
        if (!failed) CopyProgressFileStart(window, e->path, e->size);
        break;
      case kAheadChunk:
        failed = file == INVALID_HANDLE_VALUE || !WriteAll(file, e->data, e->length);
        if (!failed) CopyProgressChunk(window, size, e->written, e->position);
        break;
      case kAheadFileEnd:
        failed = file == INVALID_HANDLE_VALUE || StagingCloseFile(file, stamp, e->result == 0) != 0;
        file = INVALID_HANDLE_VALUE;
        break;
      default:
        ended = true;
        result = e->result;
        break;
    }
    ReadAheadRelease();
    if (failed || ended) {
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
      ReadAheadStop();
      return failed ? -1 : result;
    }
  }
}

// A start-up file: written in place, without a window.
int ExtractFile(void*, FILE* stream, const PayloadEntry& entry, const char* path,
                uint32_t position) {
  return ExtractEntry(stream, entry.size, entry.packedSize, path, nullptr, position);
}

[[noreturn]] void FailExtraction() {
  CloseCopyProgress();
  ErrorBox("ファイルの読み込みに失敗しました。ファイルが壊れている可能性があります。");
  RemoveWorkFolder();
  exit(-1);
}

// The full mode: all or nothing. Every header and output path is checked
// before the game's folder is touched; the files are staged, and replace the
// game's only when all of them arrived whole. 0, or -1 when the game's folder
// is as it was (or will be put back by the next run).
int ExtractWhole(FILE* stream, const char* destination) {
  HWND window = OpenCopyProgress(g_payloadLength);
  CopyProgressHold(window);
  size_t skip = strlen(destination) + 1;  // entry paths are "destination\name"
  PayloadScanVisitor foresee{&skip, nullptr, ForeseeFile};
  if (PayloadScan(stream, g_payloadLength, destination, AnsiIsLeadByte, nullptr, &foresee) != 0) {
    return -1;
  }
  if (StagingBegin(destination) != 0) {
    StagingAbandon();
    return -1;
  }
  StagingWorkAhead();
  if (StageAhead(stream, destination, window) != 0) {
    StagingAbandon();
    return -1;
  }
  return StagingCommit() == 0 ? 0 : -1;
}

}  // namespace

FILE* OpenPayload() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return nullptr;
  FILE* stream = fopen(path, "rb");
  if (!stream) return nullptr;
  PayloadLocation where;
  if (PayloadLocate(stream, &where) != 0) {
    fclose(stream);
    return nullptr;
  }
  g_payloadLength = where.length;
  return stream;
}

uint32_t PayloadLength() { return g_payloadLength; }

void ExtractPayload(const char* destination, int mode) {
  FILE* stream = OpenPayload();
  if (!stream) FailExtraction();
  int result;
  if (mode == kPayloadFullMode) {
    result = ExtractWhole(stream, destination);
  } else {
    // The start-up reads a few small files into its own work folder: one
    // thread, written in place.
    PayloadWalkOps ops{nullptr, AnsiIsLeadByte, MakeFolder, ExtractFile, nullptr};
    result = PayloadWalk(stream, g_payloadLength, destination, mode, ops);
  }
  fclose(stream);
  if (result != 0) FailExtraction();
  CloseCopyProgress();
}

int ExtractEntry(FILE* stream, uint32_t size, uint32_t packedSize, const char* outputPath,
                 HWND window, uint32_t position) {
  unsigned char* in = static_cast<unsigned char*>(AllocOrExit(kPayloadChunkSize));
  unsigned char* out = static_cast<unsigned char*>(AllocOrExit(kPayloadChunkSize));
  uint64_t stamp = 0;
  EntryOutput output{nullptr, window, size};
  int result = 1;
  if (PayloadReadTimeStamp(stream, &stamp) == 0) {
    position += kPayloadTimeStampBytes;
    output.file = fopen(outputPath, "wb");
  }
  if (output.file) {
    CopyProgressFileStart(window, outputPath, size);
    PayloadSink sink{&output, WriteChunk, ShowChunk};
    uint32_t written = 0;
    result = PayloadInflateEntry(stream, packedSize, position, in, out, sink, &written);
    result = FinishFile(output.file, stamp, result);
  }
  free(in);
  free(out);
  return result;
}

bool NameContains(const char* name, const char* pattern) {
  return NameContains(name, pattern, AnsiIsLeadByte);
}
