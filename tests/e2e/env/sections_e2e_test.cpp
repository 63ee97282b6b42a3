// The start-up's section pass stops the program with -1 after its messages,
// whichever button the player presses.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "e2e/driver/uidriver.h"

namespace {

constexpr const char* kProgram = "env_sections_program.exe";

class SectionsEndToEnd : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    folder_ = std::string(temp) + "envsect" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    DeleteFileA(file_.c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  std::string Write(const char* name, const std::string& bytes) {
    file_ = folder_ + name;
    FILE* f = fopen(file_.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
      fwrite(bytes.data(), 1, bytes.size(), f);
      fclose(f);
    }
    return file_;
  }
  // Starts the program on the file, answers its one box with the button and
  // returns the exit code; caption and message of the box come back too.
  int RunAndAnswer(const std::string& path, int button, std::string* caption,
                   std::string* message) {
    DrvProcess p;
    DrvGuard guard{&p};
    EXPECT_TRUE(DrvStart(&p, kProgram, "\"" + path + "\""));
    EXPECT_TRUE(DrvAnswerBox(p, button, caption, message)) << "no message box";
    int code = 12345;
    EXPECT_TRUE(DrvWaitExit(&p, &code));
    return code;
  }
  std::string folder_;
  std::string file_;
};

TEST_P(SectionsEndToEnd, MissingFileEndsTheProgram) {
  std::string path = folder_ + "absent.env";
  std::string caption, message;
  EXPECT_EQ(RunAndAnswer(path, GetParam(), &caption, &message), -1);
  EXPECT_EQ(DrvUtf8(message), DrvUtf8("[" + path + "]ファイルを開けませんでした。"));
  EXPECT_EQ(caption, "");  // no main window yet
}

TEST_P(SectionsEndToEnd, UnterminatedSectionEndsTheProgram) {
  std::string path = Write("open.env",
                           "TITLEBAR Game\r\n"
                           "[ini]\r\n"
                           "A=1\r\n"
                           "-\r\n"
                           "[delfiles_user]\r\n"
                           "save\\*.*\r\n"
                           "[EOF]\r\n");
  std::string caption, message;
  EXPECT_EQ(RunAndAnswer(path, GetParam(), &caption, &message), -1);
  EXPECT_EQ(DrvUtf8(message), DrvUtf8("[設定.env]の[delfiles_user]が終了していません"));
}

TEST_P(SectionsEndToEnd, EofLineInsideASectionEndsTheProgram) {
  std::string path = Write("eof.env", "[reg]\r\nA=1\r\nEOF\r\n-\r\n");
  std::string message;
  EXPECT_EQ(RunAndAnswer(path, GetParam(), nullptr, &message), -1);
  EXPECT_EQ(DrvUtf8(message), DrvUtf8("[設定.env]の[reg]が終了していません"));
}

INSTANTIATE_TEST_SUITE_P(Buttons, SectionsEndToEnd, ::testing::Values(IDRETRY, IDCANCEL),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(info.param == IDRETRY ? "Retry" : "Cancel");
                         });

TEST(SectionsEndToEndClean, ClosedSectionsLoadWithoutAMessage) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string path = std::string(temp) + "envclean" + std::to_string(GetCurrentProcessId()) +
                     ".env";
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  const char text[] = "[ini]\r\nA=1\r\nB=2\r\n-\r\n[reg]\r\nC=3\r\n-\r\n[EOF]\r\n";
  fwrite(text, 1, sizeof text - 1, f);
  fclose(f);
  DrvProcess p;
  DrvGuard guard{&p};
  ASSERT_TRUE(DrvStart(&p, kProgram, "\"" + path + "\""));
  int code = 12345;
  EXPECT_TRUE(DrvWaitExit(&p, &code));
  EXPECT_EQ(code, 3);  // three entries, no box
  DeleteFileA(path.c_str());
}

}  // namespace
