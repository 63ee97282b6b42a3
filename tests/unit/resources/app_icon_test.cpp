#include "app_icon.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

TEST(AppIcon, KeptIconMatchesTheGenerator) {
  FILE* f = fopen(UPD_APP_ICON_PATH, "rb");
  ASSERT_NE(f, nullptr) << UPD_APP_ICON_PATH;
  std::vector<uint8_t> kept;
  uint8_t buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) kept.insert(kept.end(), buffer, buffer + n);
  fclose(f);
  EXPECT_TRUE(kept == BuildAppIcon())
      << "src/resources/app.ico is stale: build the regenerate_app_icon target";
}

}  // namespace
