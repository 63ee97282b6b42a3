#include "support/ffsource.h"

#include <gtest/gtest.h>

namespace {

TEST(FflookupHash, HashesTheLowerCasedFileNameOnly) {
  uint32_t plain = FfnameHash("insttscr.rct");
  EXPECT_EQ(FflookupHash("insttscr.rct", IsLeadByte), plain);
  EXPECT_EQ(FflookupHash("INSTTSCR.RCT", IsLeadByte), plain);
  EXPECT_EQ(FflookupHash("C:\\work\\InstTscr.Rct", IsLeadByte), plain);
  EXPECT_EQ(FflookupHash("data/insttscr.rct", IsLeadByte), plain);
  EXPECT_NE(FflookupHash("insttscr.rc", IsLeadByte), plain);
  // Full-width capitals fold too: ＡＢ.txt and ａｂ.txt share a hash.
  EXPECT_EQ(FflookupHash("\x82\x60\x82\x61.txt", IsLeadByte), FfnameHash("\x82\x81\x82\x82.txt"));
}

TEST(FfisSoundName, ComparesTheExtensionIgnoringAsciiCase) {
  EXPECT_TRUE(FfisSoundName("bgm01.ogg", IsLeadByte));
  EXPECT_TRUE(FfisSoundName("BGM01.OGG", IsLeadByte));
  EXPECT_TRUE(FfisSoundName("se\\hit.Wav", IsLeadByte));
  EXPECT_FALSE(FfisSoundName("bgm01.ogg.bak", IsLeadByte));
  EXPECT_FALSE(FfisSoundName("ogg", IsLeadByte));
  EXPECT_FALSE(FfisSoundName("install.env", IsLeadByte));
}

TEST(FffindArchiveEntry, FindsEveryEntryAndComparesUnsigned) {
  const ArchiveIndexEntry table[] = {
      {0x00000005u, 100}, {0x7FFFFFFFu, 200}, {0x80000000u, 300}, {0xFFFFFFFEu, 400}};
  for (const ArchiveIndexEntry& e : table) {
    const ArchiveIndexEntry* hit = FffindArchiveEntry(table, 4, e.nameHash);
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit->offset, e.offset);
  }
  EXPECT_EQ(FffindArchiveEntry(table, 4, 6u), nullptr);
  EXPECT_EQ(FffindArchiveEntry(table, 4, 0xFFFFFFFFu), nullptr);
  EXPECT_EQ(FffindArchiveEntry(table, 0, 5u), nullptr);
  EXPECT_EQ(FffindArchiveEntry(nullptr, 0, 5u), nullptr);
}

}  // namespace
