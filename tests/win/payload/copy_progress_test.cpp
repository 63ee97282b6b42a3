#include "payload/copy_progress.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "payload/format.h"
#include "resources/copy_progress_ids.h"
#include "support/main_window.h"
#include "win/payload/win_payload_fixture.h"

namespace {

class CopyProgress : public ::testing::Test {
 protected:
  void SetUp() override { main_ = CreateTestMainWindow(); }
  void TearDown() override {
    CloseCopyProgress();
    DestroyWindow(main_);
    SetMainWindow(nullptr);
  }
  HWND main_ = nullptr;
};

struct Range {
  int low, high, pos;
};

Range BarOf(HWND dialog, int id) {
  HWND bar = GetDlgItem(dialog, id);
  return {static_cast<int>(SendMessageA(bar, PBM_GETRANGE, TRUE, 0)),
          static_cast<int>(SendMessageA(bar, PBM_GETRANGE, FALSE, 0)),
          static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0))};
}

struct TemplateItem {
  int id;
  const char* className;
  const wchar_t* wideClass;
  const wchar_t* text;
  uint32_t style;  // beyond WS_CHILD | WS_VISIBLE
  int x, y, cx, cy;
};

const TemplateItem kExpectedItems[] = {
    {IDC_COPY_FILE_BAR, "msctls_progress32", L"msctls_progress32", L"Progress1",
     WS_BORDER | PBS_SMOOTH, 5, 50, 185, 10},
    {IDC_COPY_FILE_NAME, "Static", L"STATIC", L"コピー中ファイル名", SS_CENTER | SS_CENTERIMAGE, 5,
     75, 185, 10},
    {IDCANCEL, "Button", L"BUTTON", L"ｷｬﾝｾﾙ", BS_PUSHBUTTON | WS_TABSTOP, 140, 90, 50, 14},
    {IDC_COPY_TOTAL_BAR, "msctls_progress32", L"msctls_progress32", L"Progress2",
     WS_BORDER | PBS_SMOOTH, 5, 60, 185, 10},
    {IDC_COPY_ANIMATION, "SysAnimate32", L"SysAnimate32", L"Animate1", ACS_CENTER | ACS_TRANSPARENT,
     5, 5, 180, 40},
};

uint32_t Read16(const uint8_t** p) {
  uint32_t v = (*p)[0] | ((*p)[1] << 8);
  *p += 2;
  return v;
}

uint32_t Read32(const uint8_t** p) {
  uint32_t v = Read16(p);
  return v | (Read16(p) << 16);
}

// A name or text field: 0 for none, 0xFFFF and an ordinal (given back as
// "#N"; the predefined classes: 0x80 button, 0x82 static), or a string.
std::wstring ReadName(const uint8_t** p) {
  uint32_t first = Read16(p);
  if (first == 0) return L"";
  if (first == 0xFFFF) {
    uint32_t ordinal = Read16(p);
    if (ordinal == 0x80) return L"BUTTON";
    if (ordinal == 0x82) return L"STATIC";
    return L"#" + std::to_wstring(ordinal);
  }
  std::wstring text(1, static_cast<wchar_t>(first));
  for (uint32_t c; (c = Read16(p)) != 0;) text += static_cast<wchar_t>(c);
  return text;
}

std::string TextOf(HWND window) {
  char text[512];
  int n = GetWindowTextA(window, text, sizeof text);
  return std::string(text, n > 0 ? n : 0);
}

std::string ClassOf(HWND window) {
  char name[128];
  int n = GetClassNameA(window, name, sizeof name);
  return std::string(name, n > 0 ? n : 0);
}

TEST(CopyProgressTemplate, HoldsEveryControlWithItsStyleTextAndPlace) {
  HRSRC found = FindResourceA(nullptr, "COPYINGDELUX", MAKEINTRESOURCEA(5));  // RT_DIALOG
  ASSERT_NE(found, nullptr);
  const uint8_t* p = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
  ASSERT_NE(p, nullptr);
  const uint8_t* start = p;
  // DLGTEMPLATE: style, extended style, item count, x, y, cx, cy, then the
  // menu, class and caption as words, then the font.
  uint32_t style = Read32(&p);
  EXPECT_EQ(style, static_cast<uint32_t>(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME |
                                         DS_SETFOREGROUND | DS_SETFONT));
  EXPECT_EQ(Read32(&p), 0u);
  int count = Read16(&p);
  ASSERT_EQ(count, 5);
  EXPECT_EQ(Read16(&p), 0);
  EXPECT_EQ(Read16(&p), 0);
  EXPECT_EQ(Read16(&p), 194);
  EXPECT_EQ(Read16(&p), 109);
  EXPECT_EQ(ReadName(&p), L"");  // no menu
  EXPECT_EQ(ReadName(&p), L"");  // the dialog class
  EXPECT_EQ(ReadName(&p), L"ファイルのコピー中...");
  EXPECT_EQ(Read16(&p), 9);
  EXPECT_EQ(ReadName(&p), L"ＭＳ Ｐゴシック");
  for (const TemplateItem& e : kExpectedItems) {
    p = start + ((p - start + 3) & ~3);  // items start on a DWORD boundary
    EXPECT_EQ(Read32(&p), static_cast<uint32_t>(WS_CHILD | WS_VISIBLE | e.style)) << e.id;
    EXPECT_EQ(Read32(&p), 0u);
    EXPECT_EQ(Read16(&p), e.x);
    EXPECT_EQ(Read16(&p), e.y);
    EXPECT_EQ(Read16(&p), e.cx);
    EXPECT_EQ(Read16(&p), e.cy);
    EXPECT_EQ(Read16(&p), e.id);
    std::wstring className = ReadName(&p);
    EXPECT_EQ(_wcsicmp(className.c_str(), e.wideClass), 0) << e.id;
    EXPECT_EQ(ReadName(&p), e.text) << e.id;
    EXPECT_EQ(Read16(&p), 0);  // no creation data
  }
}

TEST_F(CopyProgress, OpensOwnedByTheMainWindowWithAnEmptyLabel) {
  HWND dialog = OpenCopyProgress(1000);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(TextOf(dialog), "ファイルのコピー中...");
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), main_);
  EXPECT_EQ(GetWindowLongA(dialog, GWL_STYLE) & WS_SYSMENU, 0) << "no close box";
  EXPECT_TRUE(IsWindowVisible(dialog));
  HWND child = GetWindow(dialog, GW_CHILD);
  for (const TemplateItem& e : kExpectedItems) {
    ASSERT_NE(child, nullptr) << e.id;
    EXPECT_EQ(GetDlgCtrlID(child), e.id);
    EXPECT_EQ(_stricmp(ClassOf(child).c_str(), e.className), 0) << ClassOf(child);
    child = GetWindow(child, GW_HWNDNEXT);
  }
  // The template's placeholder text never shows.
  EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_COPY_FILE_NAME)), "");
}

TEST_F(CopyProgress, WindowIsCentredOnTheDisplay) {
  HWND dialog = OpenCopyProgress(1000);
  ASSERT_NE(dialog, nullptr);
  RECT rect;
  GetWindowRect(dialog, &rect);
  HDC dc = GetDC(dialog);
  int width = GetDeviceCaps(dc, HORZRES), height = GetDeviceCaps(dc, VERTRES);
  ReleaseDC(dialog, dc);
  EXPECT_EQ(rect.left, (width - (rect.right - rect.left)) / 2);
  EXPECT_EQ(rect.top, (height - (rect.bottom - rect.top)) / 2);
}

TEST_F(CopyProgress, OverallBarCountsChunksWithAtLeastOne) {
  HWND dialog = OpenCopyProgress(kPayloadChunkSize - 1);
  ASSERT_NE(dialog, nullptr);
  Range total = BarOf(dialog, IDC_COPY_TOTAL_BAR);
  EXPECT_EQ(total.low, 0);
  EXPECT_EQ(total.high, 1);
  EXPECT_EQ(total.pos, 0);
  Range file = BarOf(dialog, IDC_COPY_FILE_BAR);
  EXPECT_EQ(file.high, 1);
  EXPECT_EQ(file.pos, 0);

  dialog = OpenCopyProgress(7 * kPayloadChunkSize + 5);
  EXPECT_EQ(BarOf(dialog, IDC_COPY_TOTAL_BAR).high, 7);
  dialog = OpenCopyProgress(0);
  EXPECT_EQ(BarOf(dialog, IDC_COPY_TOTAL_BAR).high, 1);
}

TEST_F(CopyProgress, SecondOpenDestroysTheFirstAndCloseReportsWhetherOneWasOpen) {
  HWND first = OpenCopyProgress(100);
  ASSERT_NE(first, nullptr);
  HWND second = OpenCopyProgress(200);
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_TRUE(IsWindow(second));
  EXPECT_EQ(CloseCopyProgress(), 0);
  EXPECT_FALSE(IsWindow(second));
  EXPECT_EQ(CloseCopyProgress(), 1);
}

TEST_F(CopyProgress, ClipOpensInTheAnimationControl) {
  // The clip loads, parses and decodes in the platform's own control.
  HWND animation = CreateWindowExA(0, ANIMATE_CLASSA, "", WS_CHILD | ACS_CENTER, 0, 0, 300, 60,
                                   main_, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(animation, nullptr);
  EXPECT_EQ(SendMessageA(animation, ACM_OPENA, 0, reinterpret_cast<LPARAM>("AVI_FILECOPY")), TRUE);
  EXPECT_EQ(SendMessageA(animation, ACM_PLAY, 1, MAKELPARAM(0, 16)), TRUE);
  // Frame 17 does not exist: 0 to 16 is the whole clip.
  SendMessageA(animation, ACM_STOP, 0, 0);
  EXPECT_EQ(SendMessageA(animation, ACM_PLAY, 1, MAKELPARAM(0, 17)), FALSE);
  DestroyWindow(animation);
}

TEST_F(CopyProgress, AnimationPlaysUntilCancelAndTheWindowStays) {
  HWND dialog = OpenCopyProgress(1000);
  ASSERT_NE(dialog, nullptr);
  HWND animation = GetDlgItem(dialog, IDC_COPY_ANIMATION);
  ASSERT_TRUE(FrameChangesWithin(animation, CaptureFrame(animation), 3000));
  std::vector<uint32_t> frame = CaptureFrame(animation);
  ASSERT_FALSE(frame.empty());
  // The folders' yellow is in the picture: the frames decode.
  bool yellow = false;
  for (uint32_t px : frame) yellow = yellow || px == 0xFFD65A;
  EXPECT_TRUE(yellow);

  SendMessageA(dialog, WM_COMMAND, IDCANCEL,
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
  PumpMessages();
  std::vector<uint32_t> stopped = CaptureFrame(animation);
  EXPECT_FALSE(FrameChangesWithin(animation, stopped, 600));
  EXPECT_TRUE(IsWindow(dialog));
  EXPECT_TRUE(IsWindowVisible(dialog));
  // The bars still take progress after Cancel.
  SendDlgItemMessageA(dialog, IDC_COPY_TOTAL_BAR, PBM_SETPOS, 1, 0);
  EXPECT_EQ(BarOf(dialog, IDC_COPY_TOTAL_BAR).pos, 1);
}

TEST_F(CopyProgress, NoMainWindowStillOpensFromTheProgramsOwnResources) {
  SetMainWindow(nullptr);
  HWND dialog = OpenCopyProgress(10);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
}

}  // namespace

namespace {

unsigned long g_fakeNow = 1000;
unsigned long FakeClock() { return g_fakeNow; }

}  // namespace

// The bars move at most once a frame, but a file's last chunk always moves
// them: a small file whose only chunk falls inside a frame still leaves the
// overall bar at its position. The clock stands still, so every chunk after
// the first lies inside one frame.
TEST_F(CopyProgress, AFilesLastChunkMovesTheBarsInsideAFrame) {
  CopyProgressSetClock(FakeClock);
  HWND w = OpenCopyProgress(40 * kPayloadChunkSize);
  ASSERT_NE(w, nullptr);
  CopyProgressHold(w);
  // A first chunk paints a frame and starts the frame clock.
  CopyProgressFileStart(w, "big.dat", 8 * kPayloadChunkSize);
  CopyProgressChunk(w, 8 * kPayloadChunkSize, kPayloadChunkSize, kPayloadChunkSize);
  EXPECT_EQ(BarOf(w, IDC_COPY_FILE_BAR).pos, 1);
  EXPECT_EQ(BarOf(w, IDC_COPY_TOTAL_BAR).pos, 1);
  // Inside the frame: a chunk that is not the file's last leaves the bars.
  CopyProgressChunk(w, 8 * kPayloadChunkSize, 2 * kPayloadChunkSize, 2 * kPayloadChunkSize);
  EXPECT_EQ(BarOf(w, IDC_COPY_FILE_BAR).pos, 1);
  EXPECT_EQ(BarOf(w, IDC_COPY_TOTAL_BAR).pos, 1);
  // A small file's only chunk, still inside the frame: its end counts.
  CopyProgressFileStart(w, "small.txt", 100);
  CopyProgressChunk(w, 100, 100, 9 * kPayloadChunkSize + 100);
  EXPECT_EQ(BarOf(w, IDC_COPY_TOTAL_BAR).pos, 9);
  EXPECT_EQ(BarOf(w, IDC_COPY_FILE_BAR).high, 0);
  // A frame later the bars follow again without a file's end.
  g_fakeNow += 40;
  CopyProgressFileStart(w, "next.dat", 4 * kPayloadChunkSize);
  CopyProgressChunk(w, 4 * kPayloadChunkSize, kPayloadChunkSize, 11 * kPayloadChunkSize);
  EXPECT_EQ(BarOf(w, IDC_COPY_FILE_BAR).pos, 1);
  EXPECT_EQ(BarOf(w, IDC_COPY_TOTAL_BAR).pos, 11);
  CopyProgressSetClock(nullptr);
}
