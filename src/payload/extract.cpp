#include "payload/extract.h"

#include <commctrl.h>
#include <io.h>

#include <cstdlib>

#include "payload/copy_progress.h"
#include "payload/format.h"
#include "payload/inflate_entry.h"
#include "payload/names.h"
#include "payload/read_ahead.h"
#include "payload/walk.h"
#include "resources/copy_progress_ids.h"
#include "startup/workfolder.h"
#include "support/ansi.h"
#include "support/msgbox.h"

namespace {

uint32_t g_payloadLength = 0;

// A bar update repaints the bar at once and costs more than inflating a
// chunk on some systems, while nobody sees a change faster than this. The
// bars move at most this often, and always at a file's last chunk; while the
// window holds its painting, what changed is painted as one frame this often.
constexpr DWORD kBarIntervalMs = 40;

// What the bars of one window show now, so that unchanged positions are not
// sent again.
struct BarState {
  HWND window;
  DWORD lastTick;
  bool updated;  // lastTick is valid
  uint32_t fileRange;
  uint32_t file;
  uint32_t total;
};
BarState g_bars = {nullptr, 0, false, 1, 0, 0};

// A new window's bars stand at 0, the file bar's range 0 to 1.
void FollowWindow(HWND window) {
  if (g_bars.window != window) g_bars = BarState{window, 0, false, 1, 0, 0};
}

struct EntryOutput {
  FILE* file;
  HWND window;
  uint32_t size;
};

int WriteChunk(void* context, const unsigned char* data, uint32_t size) {
  return PayloadWriteStdio(static_cast<EntryOutput*>(context)->file, data, size);
}

void ShowChunkProgress(void* context, uint32_t written, uint32_t position) {
  const EntryOutput* output = static_cast<EntryOutput*>(context);
  if (output->window) {
    DWORD now = GetTickCount();
    bool last = written >= output->size;
    bool frame = !g_bars.updated || now - g_bars.lastTick >= kBarIntervalMs;
    if (last || frame) {
      uint32_t file = written / kPayloadChunkSize;
      uint32_t total = position / kPayloadChunkSize;
      if (file != g_bars.file) {
        SendDlgItemMessageA(output->window, IDC_COPY_FILE_BAR, PBM_SETPOS, file, 0);
        g_bars.file = file;
      }
      if (total != g_bars.total) {
        SendDlgItemMessageA(output->window, IDC_COPY_TOTAL_BAR, PBM_SETPOS, total, 0);
        g_bars.total = total;
      }
    }
    if (frame) {
      CopyProgressShowFrame(output->window);
      g_bars.lastTick = now;
      g_bars.updated = true;
    }
  }
  // Messages are pumped after every chunk whatever the bars do, so the
  // windows stay alive.
  PumpMessages();
}

// Stamps the file through the handle it was written with: its data are
// flushed first, so closing it writes nothing more that would move the time,
// and the file is not opened a second time.
bool StampOpenFile(FILE* file, uint64_t stamp) {
  if (fflush(file) != 0) return false;
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  if (handle == INVALID_HANDLE_VALUE) return true;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(stamp);
  time.dwHighDateTime = static_cast<DWORD>(stamp >> 32);
  SetFileTime(handle, nullptr, nullptr, &time);
  return true;
}

// A file's output is open: its path on the label, and the file bar starts
// over; a range or position the bar already has is not sent again (the small
// files of a payload mostly share 0 to 0).
void ShowFileStart(HWND window, const char* path, uint32_t size) {
  if (!window) return;
  SetDlgItemTextA(window, IDC_COPY_FILE_NAME, path);
  FollowWindow(window);
  uint32_t range = (size / kPayloadChunkSize) & 0xFFFF;
  if (range != g_bars.fileRange) {
    SendDlgItemMessageA(window, IDC_COPY_FILE_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, range));
    g_bars.fileRange = range;
  }
  if (g_bars.file != 0) {
    SendDlgItemMessageA(window, IDC_COPY_FILE_BAR, PBM_SETPOS, 0, 0);
    g_bars.file = 0;
  }
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

void MakeFolder(void*, const char* path) { CreateDirectoryA(path, nullptr); }

// The full walk with the payload read and inflated on a thread of its own
// while this one creates and writes the files and shows the progress, in the
// walk's order. The same result as PayloadWalk; *started is false when no
// reading thread could be started (nothing has been read then).
int WalkAhead(FILE* stream, const char* destination, HWND window, bool* started) {
  *started = ReadAheadStart(stream, g_payloadLength, destination, kPayloadFullMode);
  if (!*started) return -1;
  EntryOutput output{nullptr, window, 0};
  uint64_t stamp = 0;
  for (;;) {
    const ReadAheadEvent* e = ReadAheadNext(PumpIdle);
    bool failed = false;
    bool ended = false;
    int result = 0;
    switch (e->kind) {
      case kAheadFolder:
        MakeFolder(nullptr, e->path);
        break;
      case kAheadFileBegin:
        output.file = fopen(e->path, "wb");
        output.size = e->size;
        stamp = e->stamp;
        if (output.file) ShowFileStart(window, e->path, e->size);
        failed = !output.file;
        break;
      case kAheadChunk:
        failed = !output.file || PayloadWriteStdio(output.file, e->data, e->length) != 0;
        if (!failed) ShowChunkProgress(&output, e->written, e->position);
        break;
      case kAheadFileEnd:
        failed = !output.file || FinishFile(output.file, stamp, e->result) != 0;
        output.file = nullptr;
        break;
      default:
        ended = true;
        result = e->result;
        break;
    }
    ReadAheadRelease();
    if (failed || ended) {
      if (output.file) fclose(output.file);
      ReadAheadStop();
      return failed ? -1 : result;
    }
  }
}

struct WalkContext {
  HWND window;
};

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
  if (mode == kPayloadFullMode) {
    context.window = OpenCopyProgress(g_payloadLength);
    CopyProgressHold(context.window);
  }
  // Start-up mode reads a few small files: a thread would cost more than it
  // saves there.
  bool ahead = false;
  int result = -1;
  if (mode == kPayloadFullMode) result = WalkAhead(stream, destination, context.window, &ahead);
  if (!ahead) {
    PayloadWalkOps ops{&context, AnsiIsLeadByte, MakeFolder, ExtractFile};
    result = PayloadWalk(stream, g_payloadLength, destination, mode, ops);
  }
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
  EntryOutput output{nullptr, window, size};
  int result = 1;
  if (PayloadReadTimeStamp(stream, &stamp) == 0) {
    position += kPayloadTimeStampBytes;
    output.file = fopen(outputPath, "wb");
  }
  if (output.file) {
    ShowFileStart(window, outputPath, size);
    PayloadSink sink{&output, WriteChunk, ShowChunkProgress};
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
