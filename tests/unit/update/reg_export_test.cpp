// The lines of a real registry export (made with regedit under Wine and saved
// as Shift-JIS, see tests/data/update/make_export.sh) pasted into [reg]: every
// string value comes back exactly as it was set, and nothing else is taken.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "update/transfer.h"

namespace {

TEST(RegExport, StringValuesComeBackAsSetAndEverythingElseIsSkipped) {
  std::ifstream file(UPD_TEST_DATA "/export.reg", std::ios::binary);
  ASSERT_TRUE(file);
  SetTransferPlatform(nullptr, IsLeadByte);
  SetTransferTargetFolder(nullptr);
  std::vector<std::pair<std::string, std::string>> parsed;
  int lines = 0;
  std::string line;
  while (std::getline(file, line)) {
    while (!line.empty() && static_cast<unsigned char>(line.back()) <= 0x20) line.pop_back();
    ++lines;
    char name[kTransferTextSize];
    char data[kTransferTextSize];
    if (ParseRegLine(line.c_str(), name, data) == 0) parsed.emplace_back(name, data);
  }
  EXPECT_EQ(lines, 17);
  // 日本語 and 表示テスト　ソフト in Shift-JIS: 表 and ソ end in 0x5C, which
  // the export leaves unescaped.
  const std::string japaneseName = "\x93\xfa\x96\x7b\x8c\xea";
  const std::string japaneseText =
      "\x95\x5c\x8e\xa6\x83\x65\x83\x58\x83\x67\x81\x40\x83\x5c\x83\x74\x83\x67";
  std::vector<std::pair<std::string, std::string>> expected = {
      {"Empty", ""},
      {"Formula", "a=b \"=\" c"},
      {"Path", "C:\\Games\\Title\\save"},
      {"Quote", "say \"hi\" \\\"there\\\""},
      {japaneseName, japaneseText},
      {"Inner", "x"},
  };
  EXPECT_EQ(parsed, expected);
}

}  // namespace
