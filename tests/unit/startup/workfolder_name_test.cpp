#include "startup/workfolder_name.h"

#include <gtest/gtest.h>

namespace {

TEST(WorkFolderName, PadsTheTimerCountToNineDigits) {
  char name[128];
  FormatWorkFolderName(name, sizeof name, 1234);
  EXPECT_STREQ(name, "TempGPInstallFolder_000001234");
  FormatWorkFolderName(name, sizeof name, 2147483647u);
  EXPECT_STREQ(name, "TempGPInstallFolder_2147483647");
}

TEST(WorkFolderName, CountsFrom2To31PrintNegative) {
  char name[128];
  FormatWorkFolderName(name, sizeof name, static_cast<uint32_t>(-1234));
  EXPECT_STREQ(name, "TempGPInstallFolder_-00001234");
  FormatWorkFolderName(name, sizeof name, 0x80000000u);
  EXPECT_STREQ(name, "TempGPInstallFolder_-2147483648");
}

}  // namespace
