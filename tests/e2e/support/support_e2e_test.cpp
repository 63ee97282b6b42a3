// Drives support_app through its windows and message boxes.
#include <gtest/gtest.h>

#include <string>

#include "e2e/driver/uidriver.h"
#include "win/common/temp_folder.h"

namespace {

struct AppRun {
  DrvProcess process;
  DrvGuard guard{&process};
  explicit AppRun(const std::string& scenario, const char* folder = nullptr) {
    EXPECT_TRUE(DrvStart(&process, "support_app.exe", scenario, folder));
  }
  int Exit() {
    int code = 0xBAD;
    EXPECT_TRUE(DrvWaitExit(&process, &code));
    return code;
  }
};

void PutOnClipboard(const char* text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  size_t size = strlen(text) + 1;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  memcpy(GlobalLock(block), text, size);
  GlobalUnlock(block);
  SetClipboardData(CF_TEXT, block);
  CloseClipboard();
}

TEST(ErrorRetryBox, CancelEndsTheProgramWithMinusOne) {
  AppRun app("retry");
  std::string caption, message;
  ASSERT_TRUE(DrvAnswerBox(app.process, IDCANCEL, &caption, &message));
  EXPECT_EQ(message, "再試行しますか[abc]") << DrvUtf8(message);
  EXPECT_EQ(app.Exit(), -1);
}

TEST(ErrorRetryBox, RetryReturnsToTheCaller) {
  AppRun app("retry");
  HWND box = DrvWaitBox(app.process);
  ASSERT_NE(box, nullptr);
  // Retry and Cancel only.
  EXPECT_NE(DrvFindControl(box, IDRETRY).hwnd, nullptr);
  EXPECT_NE(DrvFindControl(box, IDCANCEL).hwnd, nullptr);
  EXPECT_EQ(DrvFindControl(box, IDOK).hwnd, nullptr);
  ASSERT_TRUE(DrvClick(box, IDRETRY));
  EXPECT_EQ(app.Exit(), 5);
}

TEST(ErrorBox, PutsTheFormattedTextOnTheClipboardAndHasNoCaptionBeforeAMainWindow) {
  PutOnClipboard("before");
  AppRun app("errorbox");
  HWND box = DrvWaitBox(app.process);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(DrvWindowText(box), "");
  EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
  std::string clip = DrvReadClipboard();
  EXPECT_EQ(clip, "エラーが起きました[表示]") << DrvUtf8(clip);
  EXPECT_EQ(DrvBoxMessage(box), clip);
  ASSERT_TRUE(DrvClick(box, IDOK));
  EXPECT_EQ(app.Exit(), 3);
}

TEST(ErrorBox, TakesTheMainWindowsTitleAsCaptionAndTheWindowAsOwner) {
  AppRun app("owned");
  HWND main = DrvWaitWindow(app.process, "SupportAppMain");
  ASSERT_NE(main, nullptr);
  HWND box = DrvWaitBox(app.process);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(DrvWindowText(box), "テスト用メイン画面");
  EXPECT_EQ(GetWindow(box, GW_OWNER), main);
  ASSERT_TRUE(DrvClick(box, IDOK));
  EXPECT_EQ(app.Exit(), 4);
}

TEST(ErrorBox, CutsAnOverlongTextAtAWholeCharacter) {
  AppRun app("long");
  HWND box = DrvWaitBox(app.process);
  ASSERT_NE(box, nullptr);
  std::string clip = DrvReadClipboard();
  // 1021 ASCII bytes and the one whole double-byte character that still fits.
  EXPECT_EQ(clip.size(), 1023u);
  EXPECT_EQ(clip.substr(1021), "表");
  ASSERT_TRUE(DrvClick(box, IDOK));
  EXPECT_EQ(app.Exit(), 6);
}

TEST(AskYesNo, GivesOneForYesAndZeroForNoAndLeavesTheClipboard) {
  PutOnClipboard("before");
  {
    AppRun app("ask");
    std::string message;
    ASSERT_TRUE(DrvAnswerBox(app.process, IDYES, nullptr, &message));
    EXPECT_EQ(message, "[ゲーム]をアップデートします") << DrvUtf8(message);
    EXPECT_EQ(app.Exit(), 11);
  }
  {
    AppRun app("ask");
    ASSERT_TRUE(DrvAnswerBox(app.process, IDNO));
    EXPECT_EQ(app.Exit(), 10);
  }
  EXPECT_EQ(DrvReadClipboard(), "before");
}

TEST(PumpMessages, QuitMessageEndsTheProgramWithItsCodeBeforeLaterMessages) {
  AppRun app("quit");
  EXPECT_EQ(app.Exit(), 42);
}

TEST(PumpMessages, EmptyQueueGivesZero) {
  AppRun app("pump-empty");
  EXPECT_EQ(app.Exit(), 100);
}

TEST(AllocOrExit, OutOfMemoryShowsItsMessageAndEndsWithMinusOne) {
  PutOnClipboard("before");
  AppRun app("alloc");
  std::string caption, message;
  ASSERT_TRUE(DrvAnswerBox(app.process, IDOK, &caption, &message));
  EXPECT_EQ(caption, "malloc");
  EXPECT_EQ(message, "メモリ容量が不足しています。処理を中断します。") << DrvUtf8(message);
  EXPECT_EQ(app.Exit(), -1);
  EXPECT_EQ(DrvReadClipboard(), "before");  // no clipboard copy for this one
}

TEST(CenterWindow, CentresOnTheDisplayKeepingTheSize) {
  AppRun app("center");
  HWND main = DrvWaitWindow(app.process, "SupportAppMain");
  ASSERT_NE(main, nullptr);
  ASSERT_NE(DrvWaitBox(app.process), nullptr);  // centring is done by now
  RECT rect;
  GetWindowRect(main, &rect);
  HDC dc = GetDC(nullptr);
  int width = GetDeviceCaps(dc, HORZRES);
  int height = GetDeviceCaps(dc, VERTRES);
  ReleaseDC(nullptr, dc);
  EXPECT_EQ(rect.right - rect.left, 301);
  EXPECT_EQ(rect.bottom - rect.top, 203);
  EXPECT_EQ(rect.left, (width - 301) / 2);
  EXPECT_EQ(rect.top, (height - 203) / 2);
  ASSERT_TRUE(DrvAnswerBox(app.process, IDOK));
  EXPECT_EQ(app.Exit(), 11);
}

TEST(Ffopen, AsksUntilTheFileOpensAndCancelEndsTheProgram) {
  TempFolder dir;
  {
    AppRun app("ffopen", dir.path.c_str());
    HWND box = DrvWaitBox(app.process);
    ASSERT_NE(box, nullptr);
    std::string message = DrvBoxMessage(box);
    EXPECT_EQ(message, "Ffopen : ファイル[missing.dat]の読み込みで失敗しました") << DrvUtf8(message);
    ASSERT_TRUE(DrvClick(box, IDRETRY));  // still missing: asked again
    ASSERT_TRUE(DrvWaitFor([&] { return !IsWindow(box); }));
    box = DrvWaitBox(app.process);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(WriteFileBytes(dir / "missing.dat", "Z"));
    ASSERT_TRUE(DrvClick(box, IDRETRY));
    EXPECT_EQ(app.Exit(), 12);
  }
  DeleteFileA((dir / "missing.dat").c_str());
  {
    AppRun app("ffopen", dir.path.c_str());
    ASSERT_TRUE(DrvAnswerBox(app.process, IDCANCEL));
    EXPECT_EQ(app.Exit(), -1);
  }
}

}  // namespace
