// The updater's whole run against a plain extraction of the same payload,
// both under the same Wine, in one process: reports ratios, not seconds.
//
//   updater_bench UPDATE.exe BIG_UPDATE.exe [ROUNDS] [replace]
//
// Each round runs a plain program that extracts UPDATE.exe's payload with the
// textbook chunked zlib loop (read a chunk when the inflater wants one, write
// whatever each call produced): this program again, as
// "updater_bench plain UPDATE.exe FOLDER", timed from its start to its end.
// Then it runs UPDATE.exe itself through its windows: start-up to a visible
// menu, and from the confirmation's Yes to the completion dialog (the time
// the menu and the confirmation wait for a click is not counted).
// BIG_UPDATE.exe (a payload of about 1 GB) is then started to its menu.
// The best of the rounds counts. With "replace" the game's folder and the
// plain program's folder already hold every file of the payload, as an
// update of an installed game finds them: both replace each file.
#include <windows.h>

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e/driver/uidriver.h"
#include "payload/entry.h"
#include "payload/format.h"
#include "win/common/temp_folder.h"

namespace {

constexpr int kWaitMs = 600000;
const char kTitle[] = "Bench";

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / frequency.QuadPart;
}

bool IsLeadFn(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

// The baseline: every entry of the payload written below the folder.
bool PlainExtract(const std::string& update, const std::string& folder) {
  FILE* in = fopen(update.c_str(), "rb");
  if (!in) return false;
  PayloadLocation where;
  if (PayloadLocate(in, &where) != 0) return false;
  CreateDirectoryA(folder.c_str(), nullptr);
  std::vector<unsigned char> inBuf(kPayloadChunkSize), outBuf(kPayloadChunkSize);
  uint32_t used = 0;
  bool ok = true;
  for (;;) {
    PayloadEntry entry;
    int r = PayloadReadEntry(in, where.length - used, &entry, IsLeadFn);
    if (r != kPayloadEntryRead) {
      ok = r == kPayloadEndReached;
      break;
    }
    used += PayloadHeaderBytes(entry) + PayloadDataBytes(entry);
    std::string path = folder + "\\" + entry.name;
    if (PayloadIsFolder(entry)) {
      CreateDirectoryA(path.c_str(), nullptr);
      continue;
    }
    fseek(in, kPayloadTimeStampBytes, SEEK_CUR);
    FILE* out = fopen(path.c_str(), "wb");
    if (!out) return false;
    z_stream zs{};
    inflateInit(&zs);
    uint32_t remaining = entry.packedSize;
    int result;
    do {
      if (zs.avail_in == 0 && remaining > 0) {
        uint32_t n = std::min(remaining, kPayloadChunkSize);
        zs.avail_in = static_cast<uInt>(fread(inBuf.data(), 1, n, in));
        zs.next_in = inBuf.data();
        remaining -= n;
      }
      zs.next_out = outBuf.data();
      zs.avail_out = kPayloadChunkSize;
      result = inflate(&zs, Z_NO_FLUSH);
      size_t have = kPayloadChunkSize - zs.avail_out;
      if (have) fwrite(outBuf.data(), 1, have, out);
    } while (result == Z_OK);
    inflateEnd(&zs);
    fclose(out);
    if (result != Z_STREAM_END) return false;
  }
  fclose(in);
  return ok;
}

void Install(const std::string& folder) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\UpdBench\\Bench", 0, nullptr, 0, KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key, "IsInst", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
  RegSetValueExA(key, "InstTo", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                 static_cast<DWORD>(folder.size() + 1));
  RegCloseKey(key);
}

// Polls every millisecond for a visible top-level dialog of the process
// with that title (any title when null); its time in *at.
HWND WaitDialog(const DrvProcess& p, const char* title, double* at) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < static_cast<DWORD>(kWaitMs)) {
    for (HWND w : DrvTopWindows(p)) {
      if (DrvClassName(w) == "#32770" && (!title || DrvWindowText(w) == title)) {
        *at = Now();
        return w;
      }
    }
    Sleep(1);
  }
  return nullptr;
}

struct RunTimes {
  double startup = 0;  // start to a visible menu
  double update = 0;   // the update's own work, without the waits for clicks
  double copy = 0;     // the copy progress window's life
};

bool RunUpdater(const std::string& update, bool full, RunTimes* times) {
  std::string menuTitle = std::string(kTitle) + " アップデータ";
  DrvProcess p;
  DrvGuard guard{&p};
  double start = Now();
  if (!DrvStart(&p, update)) return false;
  double at = 0;
  HWND menu = WaitDialog(p, menuTitle.c_str(), &at);
  if (!menu) return false;
  times->startup = at - start;
  if (!full) {
    DrvClick(menu, 1000);  // 終了
  } else {
    double click = Now();
    DrvClick(menu, 1001);  // アップデート
    HWND confirm = nullptr;
    DWORD t0 = GetTickCount();
    while (!confirm && GetTickCount() - t0 < static_cast<DWORD>(kWaitMs)) {
      for (HWND w : DrvTopWindows(p)) {
        if (w != menu && DrvClassName(w) == "#32770") confirm = w;
      }
      if (!confirm) Sleep(1);
    }
    if (!confirm) return false;
    double asked = Now();
    DrvClick(confirm, IDYES);
    double yes = Now();
    double shown = 0;
    HWND progress = WaitDialog(p, "ファイルのコピー中...", &shown);
    while (progress && IsWindow(progress)) Sleep(1);
    times->copy = Now() - shown;
    HWND done = WaitDialog(p, "インストール終了", &at);
    if (!done) return false;
    times->update = (asked - click) + (at - yes);
    DrvClick(done, IDOK);
  }
  int code = 1;
  return DrvWaitExit(&p, &code, kWaitMs) && code == 0;
}

}  // namespace

// The plain program, timed from its start to its end; false when it failed.
bool RunPlain(const std::string& update, const std::string& folder, double* seconds) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  DrvProcess p;
  DrvGuard guard{&p};
  double start = Now();
  if (!DrvStart(&p, self, "plain \"" + update + "\" \"" + folder + "\"")) return false;
  int code = 1;
  bool ended = DrvWaitExit(&p, &code, kWaitMs);
  *seconds = Now() - start;
  return ended && code == 0;
}

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "plain") return PlainExtract(argv[2], argv[3]) ? 0 : 1;
  if (argc < 3) {
    fprintf(stderr, "usage: updater_bench UPDATE.exe BIG_UPDATE.exe [ROUNDS]\n");
    return 2;
  }
  std::string update = argv[1];
  std::string big = argv[2];
  int rounds = argc > 3 ? atoi(argv[3]) : 3;
  bool replace = argc > 4 && std::string(argv[4]) == "replace";
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string plainFolder = std::string(temp) + "bench_plain";
  std::string gameFolder = std::string(temp) + "bench_game";

  double bestPlain = 1e9, bestRun = 1e9, bestStartup = 1e9, bestBigStartup = 1e9;
  for (int round = 0; round < rounds; ++round) {
    RemoveTree(plainFolder);
    double plain = 0;
    if (replace && !RunPlain(update, plainFolder, &plain)) {
      fprintf(stderr, "updater_bench: the plain extraction failed\n");
      return 1;
    }
    if (!RunPlain(update, plainFolder, &plain)) {
      fprintf(stderr, "updater_bench: the plain extraction failed\n");
      return 1;
    }
    RemoveTree(plainFolder);

    RemoveTree(gameFolder);
    CreateDirectoryA(gameFolder.c_str(), nullptr);
    double filled = 0;
    if (replace && !RunPlain(update, gameFolder, &filled)) {
      fprintf(stderr, "updater_bench: filling the game's folder failed\n");
      return 1;
    }
    Install(gameFolder);
    RunTimes times;
    if (!RunUpdater(update, true, &times)) {
      fprintf(stderr, "updater_bench: the update did not run to its end\n");
      return 1;
    }
    RemoveTree(gameFolder);
    RunTimes bigTimes;
    if (!RunUpdater(big, false, &bigTimes)) {
      fprintf(stderr, "updater_bench: the big update did not start\n");
      return 1;
    }
    double run = times.startup + times.update;
    printf(
        "round %d: plain %.3f s, updater %.3f s (start-up %.3f + update %.3f, of which "
        "the progress window %.3f), ratio %.3f; big start-up %.3f s\n",
        round + 1, plain, run, times.startup, times.update, times.copy, run / plain,
        bigTimes.startup);
    bestPlain = std::min(bestPlain, plain);
    bestRun = std::min(bestRun, run);
    bestStartup = std::min(bestStartup, times.startup);
    bestBigStartup = std::min(bestBigStartup, bigTimes.startup);
  }
  printf("updater whole run / plain extraction%s: %.3f (goal 1.0 or less)\n",
         replace ? ", every file replaced" : "", bestRun / bestPlain);
  printf(
      "start-up to a visible menu, 1 GB payload: %.3f s (goal under 0.5 s); "
      "%.2f x the start-up of the smaller update\n",
      bestBigStartup, bestBigStartup / bestStartup);
  return 0;
}
