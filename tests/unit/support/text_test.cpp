#include "support/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CopyText, CutsToTheBufferAndTerminates) {
  char buffer[8];
  memset(buffer, 'x', sizeof buffer);
  EXPECT_STREQ(CopyText(buffer, sizeof buffer, "0123456789"), "0123456");
  EXPECT_STREQ(CopyText(buffer, sizeof buffer, "ab"), "ab");
  char one[1] = {'x'};
  EXPECT_STREQ(CopyText(one, 1, "abc"), "");
}

TEST(AppendText, NeverOverrunsAFullBuffer) {
  char buffer[8] = "abc";
  EXPECT_STREQ(AppendText(buffer, sizeof buffer, "defghij"), "abcdefg");
  EXPECT_STREQ(AppendText(buffer, sizeof buffer, "z"), "abcdefg");
}

TEST(FormatText, ReportsTheFullLengthAndCuts) {
  char buffer[1024];
  std::string big(1500, 'a');
  int n = FormatText(buffer, sizeof buffer, "[%s]", big.c_str());
  EXPECT_EQ(n, 1502);
  EXPECT_EQ(strlen(buffer), 1023u);
  EXPECT_EQ(buffer[0], '[');
  EXPECT_EQ(FormatText(buffer, sizeof buffer, "%d-%s", 7, "x"), 3);
  EXPECT_STREQ(buffer, "7-x");
}

}  // namespace
