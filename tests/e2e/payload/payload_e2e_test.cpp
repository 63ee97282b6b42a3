// The payload extraction as the user sees it: payload_demo runs the
// extraction on a copy of itself with a payload appended at test time.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/driver/uidriver.h"
#include "e2e/payload/demo_protocol.h"
#include "payload/format.h"
#include "resources/copy_progress_ids.h"
#include "unit/payload/payload_writer.h"
#include "win/payload/win_payload_fixture.h"

namespace {

using testpayload::Writer;

const char kProgressTitle[] = "ファイルのコピー中...";
const char kFailureText[] =
    "ファイルの読み込みに失敗しました。ファイルが壊れている可能性があります。";
constexpr int kWaitMs = 20000;

// 2010-01-02 03:04:05 UTC and one second steps after it.
constexpr uint64_t kStamp = 129069806450000000ull;
constexpr uint64_t kSecond = 10000000ull;

class PayloadE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeTempFolder("payload_e2e");
    dest_ = folder_ + "game";
    CreateDirectoryA(dest_.c_str(), nullptr);
  }

  // A copy of the demo with the payload appended.
  std::string MakeUpdate(const Writer& w) {
    std::string image = ReadFileBytes(DrvProgramFolder() + "payload_demo.exe");
    EXPECT_FALSE(image.empty());
    std::string path = folder_ + "update" + std::to_string(++updates_) + ".exe";
    WriteFileBytes(path, w.Finish(image));
    return path;
  }

  void Start(const std::string& exe, const std::string& args) {
    ASSERT_TRUE(DrvStart(&p_, exe, args));
  }

  HWND MainWindowOfDemo() {
    HWND found = nullptr;
    DrvWaitFor(
        [&] {
          for (HWND w = FindWindowExA(nullptr, nullptr, kDemoClass, nullptr); w;
               w = FindWindowExA(nullptr, w, kDemoClass, nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == p_.pid) found = w;
          }
          return found != nullptr;
        },
        kWaitMs);
    return found;
  }

  static std::string Title(HWND window) {
    char text[256];
    int n = GetWindowTextA(window, text, sizeof text);
    return std::string(text, n > 0 ? n : 0);
  }

  bool WaitTitle(HWND window, const std::string& want) {
    return DrvWaitFor([&] { return Title(window) == want; }, kWaitMs);
  }

  // Asks the held demo whether the animation moves: "moving" or "still".
  std::string ProbeAnimation(HWND main, int hold) {
    std::string held = "held " + std::to_string(hold) + " probe " + std::to_string(++probes_);
    PostMessageA(main, kDemoProbe, 0, 0);
    std::string answer;
    DrvWaitFor(
        [&] {
          std::string t = Title(main);
          if (t.size() <= held.size() + 1 || t.compare(0, held.size(), held) != 0) return false;
          answer = t.substr(held.size() + 1);
          return true;
        },
        kWaitMs);
    return answer;
  }

  std::vector<HWND> ProgressWindows() {
    std::vector<HWND> found;
    for (HWND w : DrvTopWindows(p_)) {
      if (DrvClassName(w) == "#32770" && DrvWindowText(w) == kProgressTitle) found.push_back(w);
    }
    return found;
  }

  // The number of work folders under the temp path.
  static int WorkFolderCount() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string pattern = std::string(temp) + "TempGPInstallFolder_*";
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do {
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ++n;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return n;
  }

  // Waits for the failure box (its caption is the main window's title),
  // checks it and the state around it, presses OK and expects exit code -1.
  void ExpectFailureBox(int workFoldersBefore) {
    HWND box = DrvWaitWindow(p_, "#32770", kDemoTitle, kWaitMs);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(DrvUtf8(DrvBoxMessage(box)), DrvUtf8(kFailureText));
    EXPECT_EQ(DrvUtf8(DrvReadClipboard()), DrvUtf8(kFailureText));
    EXPECT_TRUE(ProgressWindows().empty()) << "the progress window closes before the message";
    EXPECT_EQ(WorkFolderCount(), workFoldersBefore + 1);
    ASSERT_TRUE(DrvClick(box, IDOK));
    int code = 0;
    ASSERT_TRUE(DrvWaitExit(&p_, &code, kWaitMs));
    EXPECT_EQ(code, -1);
    EXPECT_EQ(WorkFolderCount(), workFoldersBefore) << "the work folder is removed";
  }

  std::string folder_;
  std::string dest_;
  int updates_ = 0;
  int probes_ = 0;
  DrvProcess p_;
  DrvGuard guard_{&p_};
};

TEST_F(PayloadE2e, SmallPayloadShowsEachPathWithItsBarsAndWritesEveryFile) {
  Writer w;
  w.File("alpha.txt", "alpha", kStamp);
  w.File("readme.txt", "read me first", kStamp + kSecond);
  w.Folder("DirectX\\");
  w.File("DirectX\\dx.txt", "directx", kStamp + 2 * kSecond);
  ASSERT_LT(w.Payload().size(), kPayloadChunkSize);
  Start(MakeUpdate(w), "full \"" + dest_ + "\" step");
  HWND main = MainWindowOfDemo();
  ASSERT_NE(main, nullptr);

  const std::vector<std::string> paths = {dest_ + "\\alpha.txt", dest_ + "\\readme.txt",
                                          dest_ + "\\DirectX\\dx.txt"};
  HWND dialog = nullptr;
  for (size_t i = 0; i < paths.size(); ++i) {
    ASSERT_TRUE(WaitTitle(main, "held " + std::to_string(i + 1))) << Title(main);
    dialog = DrvWaitWindow(p_, "#32770", kProgressTitle, kWaitMs);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(DrvFindControl(dialog, IDC_COPY_FILE_NAME).text, paths[i]);
    DrvControl file = DrvFindControl(dialog, IDC_COPY_FILE_BAR);
    EXPECT_EQ(file.rangeLow, 0);
    EXPECT_EQ(file.rangeHigh, 0) << "a file under one chunk";
    EXPECT_EQ(file.position, 0);
    DrvControl total = DrvFindControl(dialog, IDC_COPY_TOTAL_BAR);
    EXPECT_EQ(total.rangeLow, 0);
    EXPECT_EQ(total.rangeHigh, 1) << "a payload under one chunk";
    EXPECT_EQ(total.position, 0);
    PostMessageA(main, kDemoRelease, 0, 0);
  }
  int code = 1;
  ASSERT_TRUE(DrvWaitExit(&p_, &code, kWaitMs));
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(IsWindow(dialog));

  EXPECT_EQ(ReadFileBytes(paths[0]), "alpha");
  EXPECT_EQ(ReadFileBytes(paths[1]), "read me first");
  EXPECT_EQ(ReadFileBytes(paths[2]), "directx");
  EXPECT_EQ(LastWriteTime(paths[0]), kStamp);
  EXPECT_EQ(LastWriteTime(paths[1]), kStamp + kSecond);
  EXPECT_EQ(LastWriteTime(paths[2]), kStamp + 2 * kSecond);
}

// The payload is read ahead of the writing, a few megabytes at most: many
// times that, in large and small files, arrives whole, in order, stamped.
TEST_F(PayloadE2e, PayloadManyTimesTheReadAheadArrivesWhole) {
  Writer w;
  std::vector<std::pair<std::string, std::string>> files;
  files.push_back({"big1.bin", Noise(40 * kPayloadChunkSize + 17, 3)});
  for (int i = 0; i < 40; ++i) {
    files.push_back(
        {"small\\" + std::to_string(i) + ".txt", std::string(100 + i * 977, 'a' + i % 26)});
  }
  files.push_back({"big2.bin", Noise(20 * kPayloadChunkSize, 4)});
  w.Folder("small\\");
  for (size_t i = 0; i < files.size(); ++i) {
    w.File(files[i].first, files[i].second, kStamp + i * kSecond);
  }
  Start(MakeUpdate(w), "full \"" + dest_ + "\"");
  int code = 1;
  ASSERT_TRUE(DrvWaitExit(&p_, &code, kWaitMs));
  EXPECT_EQ(code, 0);
  for (size_t i = 0; i < files.size(); ++i) {
    std::string path = dest_ + "\\" + files[i].first;
    EXPECT_TRUE(ReadFileBytes(path) == files[i].second) << path;
    EXPECT_EQ(LastWriteTime(path), kStamp + i * kSecond) << path;
  }
}

TEST_F(PayloadE2e, CancelStopsOnlyTheAnimation) {
  std::string first = Noise(2 * kPayloadChunkSize + 1000, 1);
  std::string second = Noise(3 * kPayloadChunkSize, 2);
  Writer w;
  w.File("first.bin", first, kStamp);
  w.File("second.bin", second, kStamp);
  w.File("last.txt", "the end", kStamp);
  uint32_t chunks = static_cast<uint32_t>(w.Payload().size() / kPayloadChunkSize);
  Start(MakeUpdate(w), "full \"" + dest_ + "\" step");
  HWND main = MainWindowOfDemo();
  ASSERT_NE(main, nullptr);

  // Held after the first chunk of first.bin.
  ASSERT_TRUE(WaitTitle(main, "held 1")) << Title(main);
  HWND dialog = DrvWaitWindow(p_, "#32770", kProgressTitle, kWaitMs);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(DrvFindControl(dialog, IDC_COPY_FILE_NAME).text, dest_ + "\\first.bin");
  DrvControl file = DrvFindControl(dialog, IDC_COPY_FILE_BAR);
  EXPECT_EQ(file.rangeHigh, 2);
  EXPECT_EQ(file.position, 1);
  DrvControl total = DrvFindControl(dialog, IDC_COPY_TOTAL_BAR);
  EXPECT_EQ(total.rangeHigh, static_cast<int>(chunks));
  int totalBefore = total.position;
  EXPECT_EQ(ProbeAnimation(main, 1), "moving");

  ASSERT_TRUE(DrvClick(dialog, IDCANCEL));
  EXPECT_EQ(ProbeAnimation(main, 1), "still");
  EXPECT_TRUE(IsWindowVisible(dialog)) << "Cancel leaves the window";
  PostMessageA(main, kDemoRelease, 0, 0);

  // The copy goes on: the next file shows in the same window. Its first
  // chunk came right after the previous file's last, so its bar may not
  // have moved yet: the bars move only every few tens of milliseconds.
  ASSERT_TRUE(WaitTitle(main, "held 2")) << Title(main);
  EXPECT_EQ(DrvFindControl(dialog, IDC_COPY_FILE_NAME).text, dest_ + "\\second.bin");
  file = DrvFindControl(dialog, IDC_COPY_FILE_BAR);
  EXPECT_EQ(file.rangeHigh, 3);
  EXPECT_LE(file.position, 1);
  // first.bin's last chunk always shows, and by then over two chunks were read.
  EXPECT_GE(DrvFindControl(dialog, IDC_COPY_TOTAL_BAR).position, totalBefore);
  EXPECT_GE(DrvFindControl(dialog, IDC_COPY_TOTAL_BAR).position, 2);
  EXPECT_EQ(ProbeAnimation(main, 2), "still");
  PostMessageA(main, kDemoRelease, 0, 0);

  // last.txt has one chunk, its last: the overall bar shows everything read.
  ASSERT_TRUE(WaitTitle(main, "held 3")) << Title(main);
  EXPECT_EQ(DrvFindControl(dialog, IDC_COPY_FILE_NAME).text, dest_ + "\\last.txt");
  EXPECT_EQ(DrvFindControl(dialog, IDC_COPY_TOTAL_BAR).position,
            static_cast<int>((w.Payload().size() - kPayloadEndMarkerBytes) / kPayloadChunkSize));
  PostMessageA(main, kDemoRelease, 0, 0);
  int code = 1;
  ASSERT_TRUE(DrvWaitExit(&p_, &code, kWaitMs));
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(ReadFileBytes(dest_ + "\\first.bin") == first);
  EXPECT_TRUE(ReadFileBytes(dest_ + "\\second.bin") == second);
  EXPECT_EQ(ReadFileBytes(dest_ + "\\last.txt"), "the end");
}

TEST_F(PayloadE2e, SecondOpenDestroysTheFirstWindow) {
  Start(DrvProgramFolder() + "payload_demo.exe", "reopen");
  HWND main = MainWindowOfDemo();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(WaitTitle(main, "held 1"));
  std::vector<HWND> windows = ProgressWindows();
  ASSERT_EQ(windows.size(), 1u);
  HWND first = windows[0];
  EXPECT_EQ(DrvFindControl(first, IDC_COPY_TOTAL_BAR).rangeHigh, 1);
  PostMessageA(main, kDemoRelease, 0, 0);

  ASSERT_TRUE(WaitTitle(main, "held 2"));
  EXPECT_FALSE(IsWindow(first));
  windows = ProgressWindows();
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_NE(windows[0], first);
  PostMessageA(main, kDemoRelease, 0, 0);
  int code = 1;
  ASSERT_TRUE(DrvWaitExit(&p_, &code, kWaitMs));
  EXPECT_EQ(code, 0);
}

TEST_F(PayloadE2e, WrongAdlerShowsTheMessageAndExitsWithMinusOne) {
  std::string data = testpayload::SampleData(kPayloadChunkSize + 4000);
  std::string stream = testpayload::Deflate(data);
  stream[stream.size() - 1] ^= 0x01;
  Writer w;
  w.File("good.txt", "good", kStamp);
  w.RawFile("bad.bin", static_cast<uint32_t>(data.size()), stream, kStamp);
  w.File("never.txt", "never", kStamp);
  int before = WorkFolderCount();
  Start(MakeUpdate(w), "full \"" + dest_ + "\"");
  ExpectFailureBox(before);
  // All or nothing: the good file that came before goes too, and nothing of
  // the bad one or the staging is left.
  for (const char* name : {"good.txt", "bad.bin", "never.txt", "~updtxn"}) {
    EXPECT_EQ(GetFileAttributesA((dest_ + "\\" + name).c_str()), INVALID_FILE_ATTRIBUTES) << name;
  }
}

TEST_F(PayloadE2e, UnsafeNameIsACorruptArchive) {
  Writer w;
  w.File("ok.txt", "ok", kStamp);
  w.File("..\\escaped.txt", "outside", kStamp);
  int before = WorkFolderCount();
  Start(MakeUpdate(w), "full \"" + dest_ + "\"");
  ExpectFailureBox(before);
  // Found before anything is written.
  EXPECT_EQ(GetFileAttributesA((dest_ + "\\ok.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA((folder_ + "escaped.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PayloadE2e, ExecutableWithoutPayloadFails) {
  int before = WorkFolderCount();
  Start(DrvProgramFolder() + "payload_demo.exe", "full \"" + dest_ + "\"");
  ExpectFailureBox(before);
}

TEST_F(PayloadE2e, StartupModeWritesOnlyTheStartupFiles) {
  Writer w;
  w.File("readme.TXT", "readme", kStamp);
  w.File("Install.Env", "env", kStamp);
  w.File("notes.txt.bak", "notes", kStamp);
  w.File("update.arc", "archive", kStamp);
  w.Folder("DirectX\\");
  w.File("DirectX\\dxsetup.exe", "setup", kStamp);
  w.Folder("DirectX\\sub\\");
  w.File("DirectX\\sub\\readme.txt", "deep", kStamp);
  Start(MakeUpdate(w), "startup \"" + dest_ + "\"");
  int code = 1;
  ASSERT_TRUE(DrvWaitExit(&p_, &code, kWaitMs));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFileBytes(dest_ + "\\readme.TXT"), "readme");
  EXPECT_EQ(ReadFileBytes(dest_ + "\\Install.Env"), "env");
  EXPECT_EQ(ReadFileBytes(dest_ + "\\notes.txt.bak"), "notes");
  EXPECT_EQ(LastWriteTime(dest_ + "\\Install.Env"), kStamp);
  EXPECT_EQ(GetFileAttributesA((dest_ + "\\update.arc").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA((dest_ + "\\DirectX").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
