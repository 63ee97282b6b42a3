#include "payload/extract.h"

#include <commctrl.h>

#include <cstdlib>

#include "payload/copy_progress.h"
#include "payload/format.h"
#include "payload/inflate_entry.h"
#include "payload/names.h"
#include "payload/walk.h"
#include "resources/copy_progress_ids.h"
#include "startup/workfolder.h"
#include "support/ansi.h"
#include "support/msgbox.h"

namespace {

uint32_t g_payloadLength = 0;

struct EntryOutput {
  FILE* file;
  HWND window;
};

int WriteChunk(void* context, const unsigned char* data, uint32_t size) {
  return PayloadWriteStdio(static_cast<EntryOutput*>(context)->file, data, size);
}

void ShowChunkProgress(void* context, uint32_t written, uint32_t position) {
  HWND window = static_cast<EntryOutput*>(context)->window;
  if (window) {
    SendDlgItemMessageA(window, IDC_COPY_FILE_BAR, PBM_SETPOS, written / kPayloadChunkSize, 0);
    SendDlgItemMessageA(window, IDC_COPY_TOTAL_BAR, PBM_SETPOS, position / kPayloadChunkSize, 0);
  }
  PumpMessages();
}

void SetLastWriteTime(const char* path, uint64_t stamp) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(stamp);
  time.dwHighDateTime = static_cast<DWORD>(stamp >> 32);
  SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
}

struct WalkContext {
  HWND window;
};

void MakeFolder(void*, const char* path) { CreateDirectoryA(path, nullptr); }

int ExtractFile(void* context, FILE* stream, const PayloadEntry& entry, const char* path,
                uint32_t position) {
  HWND window = static_cast<WalkContext*>(context)->window;
  return ExtractEntry(stream, entry.size, entry.packedSize, path, window, position);
}

[[noreturn]] void FailExtraction() {
  CloseCopyProgress();
  ErrorBox("ファイルの読み込みに失敗しました。ファイルが壊れている可能性があります。");
  RemoveWorkFolder();
  exit(-1);
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

int ExtractPayload(const char* destination, int mode) {
  FILE* stream = OpenPayload();
  if (!stream) FailExtraction();
  WalkContext context{nullptr};
  if (mode == kPayloadFullMode) context.window = OpenCopyProgress(g_payloadLength);
  PayloadWalkOps ops{&context, AnsiIsLeadByte, MakeFolder, ExtractFile};
  int result = PayloadWalk(stream, g_payloadLength, destination, mode, ops);
  fclose(stream);
  if (result != 0) FailExtraction();
  CloseCopyProgress();
  return 0;
}

int ExtractEntry(FILE* stream, uint32_t size, uint32_t packedSize, const char* outputPath,
                 HWND window, uint32_t position) {
  unsigned char* in = static_cast<unsigned char*>(AllocOrExit(kPayloadChunkSize));
  unsigned char* out = static_cast<unsigned char*>(AllocOrExit(kPayloadChunkSize));
  uint64_t stamp = 0;
  EntryOutput output{nullptr, window};
  int result = 1;
  if (PayloadReadTimeStamp(stream, &stamp) == 0) {
    position += kPayloadTimeStampBytes;
    output.file = fopen(outputPath, "wb");
  }
  if (output.file) {
    if (window) {
      SetDlgItemTextA(window, IDC_COPY_FILE_NAME, outputPath);
      SendDlgItemMessageA(window, IDC_COPY_FILE_BAR, PBM_SETRANGE, 0,
                          MAKELPARAM(0, (size / kPayloadChunkSize) & 0xFFFF));
      SendDlgItemMessageA(window, IDC_COPY_FILE_BAR, PBM_SETPOS, 0, 0);
    }
    PayloadSink sink{&output, WriteChunk, ShowChunkProgress};
    uint32_t written = 0;
    result = PayloadInflateEntry(stream, packedSize, position, in, out, sink, &written);
    // A file whose last bytes cannot be flushed is as short as a failed write.
    if (fclose(output.file) != 0) result = 1;
  }
  free(in);
  free(out);
  if (result == 0) SetLastWriteTime(outputPath, stamp);
  return result;
}

bool NameContains(const char* name, const char* pattern) {
  return NameContains(name, pattern, AnsiIsLeadByte);
}
