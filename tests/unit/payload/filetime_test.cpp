#include "payload/filetime.h"

#include <gtest/gtest.h>

namespace {

TEST(PayloadTime, ConvertsBothWaysAroundTheUnixEpoch) {
  EXPECT_EQ(PayloadTimeFromUnix(0, 0), kFileTimeUnixEpoch);
  // 2001-09-09 01:46:40 UTC and a fraction.
  uint64_t t = PayloadTimeFromUnix(1000000000, 123456789);
  EXPECT_EQ(t, kFileTimeUnixEpoch + 1000000000ull * 10000000 + 1234567);
  int64_t s;
  uint32_t ns;
  PayloadTimeToUnix(t, &s, &ns);
  EXPECT_EQ(s, 1000000000);
  EXPECT_EQ(ns, 123456700u);
  // Before 1970 the seconds round down and the fraction stays positive.
  t = PayloadTimeFromUnix(-2, 500000000);
  PayloadTimeToUnix(t, &s, &ns);
  EXPECT_EQ(s, -2);
  EXPECT_EQ(ns, 500000000u);
  PayloadTimeToUnix(0, &s, &ns);
  EXPECT_EQ(s, -11644473600);
  EXPECT_EQ(ns, 0u);
}

}  // namespace
