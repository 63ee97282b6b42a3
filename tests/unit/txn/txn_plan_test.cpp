#include "txn/txn_plan.h"

#include <gtest/gtest.h>

#include <string>

#include "support/sjis.h"
#include "txn/txn_names.h"

namespace {

TxnPlan SamplePlan() {
  TxnPlan plan{};
  TxnPlanAdd(&plan, kTxnFolder, false, "bgm");
  TxnPlanAdd(&plan, kTxnFile, true, "data.pak");
  // A name with a space, and a second byte with the backslash's code.
  TxnPlanAdd(&plan, kTxnFile, false, "bgm\\my \x95\x5c.ogg");
  TxnPlanAdd(&plan, kTxnFolder, true, "save");
  return plan;
}

void ExpectSame(const TxnPlan& a, const TxnPlan& b) {
  ASSERT_EQ(a.entries.size(), b.entries.size());
  EXPECT_EQ(a.files, b.files);
  for (size_t i = 0; i < a.entries.size(); ++i) {
    EXPECT_EQ(a.entries[i].kind, b.entries[i].kind) << i;
    EXPECT_EQ(a.entries[i].existed, b.entries[i].existed) << i;
    EXPECT_EQ(a.entries[i].index, b.entries[i].index) << i;
    EXPECT_STREQ(a.entries[i].name, b.entries[i].name) << i;
  }
}

TEST(TxnJournal, RoundTripsAndTellsPlannedFromCommitted) {
  TxnPlan plan = SamplePlan();
  EXPECT_EQ(plan.files, 2u);
  EXPECT_EQ(plan.entries[2].index, 1u);
  std::string text = TxnJournalText(plan);
  TxnPlan read;
  EXPECT_EQ(TxnJournalParse(text.data(), text.size(), &read), kTxnJournalPlanned);
  ExpectSame(plan, read);
  std::string committed = text + kTxnCommittedLine;
  EXPECT_EQ(TxnJournalParse(committed.data(), committed.size(), &read), kTxnJournalCommitted);
  ExpectSame(plan, read);
}

// A journal cut anywhere before its end line was never followed by a
// rename; one cut inside the committed mark may have been followed by all.
TEST(TxnJournal, ACutJournalIsIncompleteUntilItsEndLineAndPlannedAfter) {
  std::string text = TxnJournalText(SamplePlan());
  std::string committed = text + kTxnCommittedLine;
  for (size_t cut = 0; cut < committed.size(); ++cut) {
    TxnPlan read;
    int state = TxnJournalParse(committed.data(), cut, &read);
    if (cut < text.size()) {
      EXPECT_EQ(state, kTxnJournalIncomplete) << cut;
      EXPECT_TRUE(read.entries.empty()) << cut;
    } else {
      EXPECT_EQ(state, kTxnJournalPlanned) << cut;
    }
  }
}

TEST(TxnJournal, RefusesWhatThisUpdaterDidNotWrite) {
  std::string text = TxnJournalText(SamplePlan());
  TxnPlan read;
  auto parse = [&](std::string t) { return TxnJournalParse(t.data(), t.size(), &read); };
  std::string wrongCount = text;
  wrongCount.replace(wrongCount.rfind("end 4"), 5, "end 3");
  EXPECT_EQ(parse(wrongCount), kTxnJournalIncomplete);
  std::string wrongIndex = text;
  wrongIndex.replace(wrongIndex.find("F 1 0 "), 6, "F 1 1 ");
  EXPECT_EQ(parse(wrongIndex), kTxnJournalIncomplete);
  std::string longerName = text;
  longerName.replace(longerName.find(" 8 data.pak"), 3, " 9 ");
  EXPECT_EQ(parse(longerName), kTxnJournalIncomplete);
  EXPECT_EQ(parse("garbage"), kTxnJournalIncomplete);
  EXPECT_EQ(parse(""), kTxnJournalIncomplete);
}

TEST(TxnPaths, StagingNamesAndTheirLimit) {
  char out[260];
  // 32 numbers to a sub-folder.
  EXPECT_EQ(TxnStagedPath(out, sizeof out, "C:\\Game", 'n', 0x1F), 0);
  EXPECT_STREQ(out, "C:\\Game\\~updtxn\\0\\n1F");
  EXPECT_EQ(TxnStagedPath(out, sizeof out, "C:\\Game", 'o', 0x20), 0);
  EXPECT_STREQ(out, "C:\\Game\\~updtxn\\1\\o00");
  EXPECT_EQ(TxnBucketPath(out, sizeof out, "C:\\Game", 0x3F), 0);
  EXPECT_STREQ(out, "C:\\Game\\~updtxn\\1");
  EXPECT_EQ(TxnStagedPath(out, sizeof out, "C:\\Game", 'n', 0xFFFFFFFF), 0);
  EXPECT_STREQ(out, "C:\\Game\\~updtxn\\7FFFFFF\\n1F");
  // As a journal without sub-folders names them.
  EXPECT_EQ(TxnStagedPath(out, sizeof out, "C:\\Game", 'n', 0x1F, true), 0);
  EXPECT_STREQ(out, "C:\\Game\\~updtxn\\n0000001F");
  EXPECT_EQ(TxnJournalPath(out, sizeof out, "C:\\Game"), 0);
  EXPECT_STREQ(out, "C:\\Game\\~updtxn\\journal");
  // folder + "\~updtxn\0\o00" is 14 bytes more: 245 + 14 + NUL fits.
  std::string folder(245, 'f');
  EXPECT_EQ(TxnStagedPath(out, sizeof out, folder.c_str(), 'o', 0), 0);
  folder += 'f';
  EXPECT_EQ(TxnStagedPath(out, sizeof out, folder.c_str(), 'o', 0), -1);
  EXPECT_STREQ(out, "");
}

TEST(TxnLockName, OneFolderOneNameWhateverItsSpelling) {
  char a[64];
  char b[64];
  TxnLockName(a, sizeof a, "C:\\Games\\Title", IsLeadByte);
  EXPECT_STREQ(TxnLockName(b, sizeof b, "c:\\GAMES\\title\\", IsLeadByte), a);
  EXPECT_STREQ(TxnLockName(b, sizeof b, "C:/Games/Title//", IsLeadByte), a);
  EXPECT_STRNE(TxnLockName(b, sizeof b, "C:\\Games\\Title2", IsLeadByte), a);
  EXPECT_STRNE(TxnLockName(b, sizeof b, "C:\\Games", IsLeadByte), a);
  EXPECT_EQ(std::string(a).find('\\'), std::string::npos);
  // 表 ends with the backslash's code: it is no trailing separator, and
  // double-byte characters are not case-folded (0x83 0x41 and 0x83 0x61
  // are different katakana).
  TxnLockName(a, sizeof a, "C:\\\x95\x5c", IsLeadByte);
  EXPECT_STRNE(TxnLockName(b, sizeof b, "C:\\\x95", IsLeadByte), a);
  TxnLockName(a, sizeof a, "C:\\\x83\x41", IsLeadByte);
  EXPECT_STRNE(TxnLockName(b, sizeof b, "C:\\\x83\x61", IsLeadByte), a);
}

}  // namespace
