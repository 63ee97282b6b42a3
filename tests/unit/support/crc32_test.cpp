#include "support/crc32.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/ffsource.h"

namespace {

uint32_t Crc(const char* text) { return ~Crc32Update(0xFFFFFFFFu, text, strlen(text)); }

TEST(Crc32, MatchesKnownVectors) {
  EXPECT_EQ(Crc(""), 0x00000000u);
  EXPECT_EQ(Crc("a"), 0xE8B7BE43u);
  EXPECT_EQ(Crc("123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
}

TEST(Crc32, RunningValueChainsAcrossCalls) {
  uint32_t r = Crc32Update(0xFFFFFFFFu, "12345", 5);
  r = Crc32Update(r, "6789", 4);
  EXPECT_EQ(~r, 0xCBF43926u);
}

TEST(FfnameHash, IsTheCrcOfTheText) { EXPECT_EQ(FfnameHash("123456789"), 0xCBF43926u); }

}  // namespace
