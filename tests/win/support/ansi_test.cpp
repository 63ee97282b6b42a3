#include "support/ansi.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "support/sjis.h"

namespace {

TEST(AnsiCodePage, IsShiftJisUnderTheTestPrefix) { EXPECT_EQ(GetACP(), 932u); }

TEST(AnsiCodePage, LeadBytesAgreeWithTheFixedTable) {
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(AnsiIsLeadByte(static_cast<unsigned char>(b)),
              IsLeadByte(static_cast<unsigned char>(b)))
        << "byte " << b;
  }
}

TEST(AnsiCodePage, SourceTextsAreStoredAsShiftJis) {
  // The build turns the UTF-8 source text into code page 932.
  EXPECT_STREQ("表ソ", "\x95\x5c\x83\x5c");
}

}  // namespace
