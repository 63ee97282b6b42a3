#include <gtest/gtest.h>

#include <string>

#include "payload/copy_progress.h"
#include "payload/extract.h"
#include "payload/format.h"
#include "support/main_window.h"
#include "unit/payload/payload_writer.h"
#include "win/payload/win_payload_fixture.h"

namespace {

using testpayload::Deflate;
using testpayload::SampleData;

// 2004-05-06 07:08:09 UTC.
constexpr uint64_t kStamp = 127283956890000000ull;

class ExtractEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    main_ = CreateTestMainWindow();
    folder_ = MakeTempFolder("extract_entry");
  }
  void TearDown() override {
    CloseCopyProgress();
    DestroyWindow(main_);
    SetMainWindow(nullptr);
  }

  // Runs ExtractEntry on [time stamp][stream] and checks that the stream
  // was read to its end.
  int Extract(const std::string& stream, uint32_t size, const std::string& out, HWND window,
              uint64_t stamp = kStamp, uint32_t packed = UINT32_MAX) {
    std::string data;
    testpayload::Put64(&data, stamp);
    data += stream;
    std::string source = folder_ + "entry.bin";
    WriteFileBytes(source, data);
    FILE* f = fopen(source.c_str(), "rb");
    if (!f) return -2;
    if (packed == UINT32_MAX) packed = static_cast<uint32_t>(stream.size());
    int result = ExtractEntry(f, size, packed, out.c_str(), window, 0);
    if (result == 0) {
      EXPECT_EQ(ftell(f), static_cast<long>(data.size()));
    }
    fclose(f);
    return result;
  }

  HWND main_ = nullptr;
  std::string folder_;
};

TEST_F(ExtractEntryTest, OverwritesAnExistingFileAndItsTime) {
  std::string out = folder_ + "readme.txt";
  WriteFileBytes(out, std::string(5000, 'o'));
  ASSERT_EQ(Extract(Deflate("new"), 3, out, nullptr, kStamp + 10000000), 0);
  EXPECT_EQ(ReadFileBytes(out), "new");
  EXPECT_EQ(LastWriteTime(out), kStamp + 10000000);
}

TEST_F(ExtractEntryTest, EmptyFileIsCreatedAndZeroPackedSizeFails) {
  std::string out = folder_ + "empty.dat";
  ASSERT_EQ(Extract(Deflate(""), 0, out, nullptr), 0);
  EXPECT_EQ(ReadFileBytes(out), "");
  EXPECT_EQ(LastWriteTime(out), kStamp);
  EXPECT_EQ(Extract("", 0, folder_ + "zero.dat", nullptr), 1);
}

TEST_F(ExtractEntryTest, FailuresLeaveThePartialFileWithoutItsTime) {
  // A wrong Adler-32: the first chunk is written, the file stays.
  std::string data = SampleData(kPayloadChunkSize + 500);
  std::string stream = Deflate(data);
  stream[stream.size() - 1] ^= 0x55;
  std::string out = folder_ + "bad.bin";
  EXPECT_EQ(Extract(stream, static_cast<uint32_t>(data.size()), out, nullptr), 1);
  EXPECT_EQ(ReadFileBytes(out), data.substr(0, kPayloadChunkSize));
  EXPECT_NE(LastWriteTime(out), kStamp);

  // A name taken by a folder cannot be opened for writing. (A read-only
  // file would do on Windows; the tests may run as root under Wine, where
  // the read-only attribute does not stop a write.)
  std::string taken = folder_ + "taken";
  CreateDirectoryA(taken.c_str(), nullptr);
  EXPECT_EQ(Extract(Deflate("x"), 1, taken, nullptr), 1);
  EXPECT_NE(GetFileAttributesA(taken.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);

  // A missing folder on the way.
  EXPECT_EQ(Extract(Deflate("x"), 1, folder_ + "no\\such.txt", nullptr), 1);
}

TEST_F(ExtractEntryTest, CutTimeStampFailsBeforeAnythingIsCreated) {
  std::string source = folder_ + "cut.bin";
  WriteFileBytes(source, "1234");
  FILE* f = fopen(source.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::string out = folder_ + "never.txt";
  EXPECT_EQ(ExtractEntry(f, 1, 8, out.c_str(), nullptr, 0), 1);
  fclose(f);
  EXPECT_EQ(GetFileAttributesA(out.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(NameContainsAnsi, UsesTheCodePage932Rules) {
  EXPECT_TRUE(NameContains("README.TXT", ".txt"));
  // Full-width ＲＥＡＤＭＥ against full-width ｒｅａｄｍｅ.
  EXPECT_TRUE(NameContains("ＲＥＡＤＭＥ.txt", "ｒｅａｄｍｅ"));
  // ソ ends with the backslash's code; "\txt" is not in ソtxt.
  EXPECT_FALSE(NameContains("ソtxt", "\\txt"));
  EXPECT_FALSE(NameContains("update.arc", ".txt"));
}

}  // namespace
