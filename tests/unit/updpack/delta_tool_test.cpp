// Deltas in `updpack build --base`, and list, verify, extract and apply of
// an update that carries them, run as a game maker runs them.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "unit/updpack/updpack_test_util.h"
#include "updpack/build/build_delta.h"

namespace {

namespace fs = std::filesystem;
using testupd::ReadBytes;
using testupd::RunResult;
using testupd::RunUpdpack;
using testupd::TempDir;
using testupd::WriteBytes;

// base with `spots` runs of 64 bytes rewritten and 3000 bytes inserted in
// the middle, so that everything after them shifts.
std::string Edited(const std::string& base, int spots, uint32_t seed) {
  std::string out = base;
  std::string noise = testupd::MixedData(64 * spots + 3000, seed);
  for (int i = 0; i < spots; ++i)
    out.replace((out.size() / (spots + 1)) * (i + 1), 64, noise, 64 * i, 64);
  out.insert(out.size() / 2, noise, 64 * spots, 3000);
  return out;
}

// Every name below a folder with its kind, bytes and time to the second.
std::map<std::string, std::string> Snapshot(const std::string& root) {
  return testupd::TreeSnapshot(root, false);
}

struct Versions {
  TempDir dir;
  std::string old = dir / "1.01", fresh = dir / "1.02", stub = dir / "updater.exe";
  std::string update = dir / "update.exe", game = dir / "game", out = dir / "out";
  std::string bigOld = testupd::MixedData(1500000, 11);
  std::string bigNew = Edited(bigOld, 20, 12);

  Versions() {
    WriteBytes(stub, testupd::FakeStub());
    Put(old, "data/big.arc", bigOld);
    Put(fresh, "data/big.arc", bigNew);
    // Start-up names stay whole, even where a delta would be tiny.
    Put(old, "readme.txt", bigOld.substr(0, 400000));
    Put(fresh, "readme.txt", Edited(bigOld.substr(0, 400000), 2, 13));
    Put(old, "data/sub/Story.TXT.arc", bigOld.substr(0, 400000));
    Put(fresh, "data/sub/Story.TXT.arc", Edited(bigOld.substr(0, 400000), 2, 14));
    // Nothing in common: a delta would be no smaller.
    Put(old, "data/other.arc", testupd::MixedData(300000, 15));
    Put(fresh, "data/other.arc", testupd::MixedData(300000, 16));
  }
  void Put(const std::string& root, const std::string& rel, const std::string& data) {
    WriteBytes(root + "/" + rel, data);
    testupd::SetMtime(root + "/" + rel, root == old ? 1600000000 : 1700000000, 0);
  }
  RunResult Build(std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"build", "--stub", stub, "-o", update, "-f", "--base", old};
    args.insert(args.end(), more.begin(), more.end());
    args.push_back(fresh);
    return RunUpdpack(args);
  }
  void CopyOld() { testupd::CopyTreeWithTimes(old, game); }
};

const testupd::ParsedEntry* Find(const testupd::ParsedUpdate& u, const std::string& name) {
  for (const testupd::ParsedEntry& e : u.entries)
    if (e.name == name) return &e;
  return nullptr;
}

TEST(DeltaTool, AChangedLargeFileTravelsAsADeltaAndEveryCommandKnowsIt) {
  Versions v;
  RunResult r = v.Build({"-v"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("as deltas        1 files"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("delta     data\\big.arc  (delta "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("changed   data\\other.arc  (whole"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 of them as deltas"), std::string::npos) << r.out;

  testupd::ParsedUpdate u = testupd::ParseUpdate(ReadBytes(v.update));
  ASSERT_TRUE(u.ok);
  const testupd::ParsedEntry* big = Find(u, "data\\big.arc");
  ASSERT_NE(big, nullptr);
  EXPECT_TRUE(big->delta);
  EXPECT_EQ(big->stream.substr(0, 4), "UDLT");
  EXPECT_LT(big->packed, 60000u);
  for (const char* name : {"readme.txt", "data\\sub\\Story.TXT.arc", "data\\other.arc"}) {
    const testupd::ParsedEntry* e = Find(u, name);
    ASSERT_NE(e, nullptr) << name;
    EXPECT_FALSE(e->delta) << name;
    EXPECT_TRUE(e->inflated) << name;
    std::string rel = name;
    for (char& c : rel)
      if (c == '\\') c = '/';
    EXPECT_EQ(e->data, ReadBytes(v.fresh + "/" + rel)) << name;
  }

  RunResult list = RunUpdpack({"list", v.update});
  ASSERT_EQ(list.code, 0) << list.err;
  char row[160];
  snprintf(row, sizeof row,
           "delta  %12zu %12u  2023-11-14 22:13:20  data\\big.arc  (base: %zu bytes)",
           v.bigNew.size(), big->packed, v.bigOld.size());
  EXPECT_NE(list.out.find(row), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("file         403000"), std::string::npos) << list.out;

  RunResult verify = RunUpdpack({"verify", v.update});
  EXPECT_EQ(verify.code, 0) << verify.err;
  EXPECT_NE(verify.out.find("1 of them as deltas, checked without their bases"), std::string::npos)
      << verify.out;
  EXPECT_EQ(RunUpdpack({"verify", "--base", v.old, v.update}).code, 0);

  // Without the old version the delta is named and skipped; the rest is written.
  RunResult x = RunUpdpack({"extract", v.update, v.out});
  EXPECT_EQ(x.code, 1);
  EXPECT_NE(x.err.find("entry \"data\\big.arc\": skipped: it is a delta"), std::string::npos)
      << x.err;
  EXPECT_FALSE(fs::exists(v.out + "/data/big.arc"));
  EXPECT_EQ(ReadBytes(v.out + "/data/other.arc"), ReadBytes(v.fresh + "/data/other.arc"));
  RunResult xb = RunUpdpack({"extract", "--base", v.old, v.update, v.out});
  ASSERT_EQ(xb.code, 0) << xb.err;
  EXPECT_EQ(ReadBytes(v.out + "/data/big.arc"), v.bigNew);
  EXPECT_EQ(testupd::Mtime(v.out + "/data/big.arc").tv_sec, 1700000000);

  v.CopyOld();
  RunResult a = RunUpdpack({"apply", v.update, v.game});
  ASSERT_EQ(a.code, 0) << a.err;
  EXPECT_EQ(Snapshot(v.game), Snapshot(v.fresh));

  // The same inputs give the same bytes, on one thread or on several.
  std::string first = ReadBytes(v.update);
  ASSERT_EQ(v.Build({"-j", "1"}).code, 0);
  EXPECT_EQ(ReadBytes(v.update), first);
}

TEST(DeltaTool, AModifiedBaseIsRefusedAndNothingChanges) {
  Versions v;
  ASSERT_EQ(v.Build().code, 0);
  v.CopyOld();
  // Same size, one byte other: only the checksum tells.
  std::string modified = v.bigOld;
  modified[modified.size() - 1] ^= 1;
  v.Put(v.game, "data/big.arc", modified);
  std::map<std::string, std::string> before = Snapshot(v.game);
  RunResult a = RunUpdpack({"apply", v.update, v.game});
  EXPECT_EQ(a.code, 1);
  EXPECT_NE(a.err.find("is not the file the delta was made against"), std::string::npos) << a.err;
  EXPECT_NE(a.err.find("nothing changed"), std::string::npos) << a.err;
  EXPECT_EQ(Snapshot(v.game), before);

  // One byte shorter, and missing.
  v.Put(v.game, "data/big.arc", v.bigOld.substr(1));
  before = Snapshot(v.game);
  a = RunUpdpack({"apply", v.update, v.game});
  EXPECT_EQ(a.code, 1);
  EXPECT_NE(a.err.find("has 1499999 bytes"), std::string::npos) << a.err;
  EXPECT_EQ(Snapshot(v.game), before);
  fs::remove(v.game + "/data/big.arc");
  before = Snapshot(v.game);
  EXPECT_EQ(RunUpdpack({"apply", v.update, v.game}).code, 1);
  EXPECT_EQ(Snapshot(v.game), before);

  // extract and verify with that base name the file.
  v.Put(v.game, "data/big.arc", modified);
  RunResult x = RunUpdpack({"extract", "--base", v.game, v.update, v.out});
  EXPECT_EQ(x.code, 1);
  EXPECT_NE(x.err.find("game/data/big.arc is not the file"), std::string::npos) << x.err;
  EXPECT_FALSE(fs::exists(v.out + "/data/big.arc"));
  EXPECT_EQ(RunUpdpack({"verify", "--base", v.game, v.update}).code, 1);
}

TEST(DeltaTool, NoDeltaPacksTheChangedFileWhole) {
  Versions v;
  RunResult r = v.Build({"--no-delta", "-v"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.find("delta"), std::string::npos) << r.out;
  testupd::ParsedUpdate u = testupd::ParseUpdate(ReadBytes(v.update));
  const testupd::ParsedEntry* big = Find(u, "data\\big.arc");
  ASSERT_NE(big, nullptr);
  EXPECT_FALSE(big->delta);
  EXPECT_EQ(big->data, v.bigNew);
}

TEST(DeltaTool, ADamagedDeltaFailsVerifyAndApply) {
  Versions v;
  ASSERT_EQ(v.Build().code, 0);
  std::string bytes = ReadBytes(v.update);
  testupd::ParsedUpdate u = testupd::ParseUpdate(bytes);
  const testupd::ParsedEntry* big = Find(u, "data\\big.arc");
  ASSERT_NE(big, nullptr);
  size_t at = bytes.find(big->stream);
  // A byte inside the control stream, past the 88-byte header.
  bytes[at + 100] ^= 0x55;
  WriteBytes(v.update, bytes);
  RunResult verify = RunUpdpack({"verify", v.update});
  EXPECT_EQ(verify.code, 1);
  EXPECT_NE(verify.err.find("entry \"data\\big.arc\""), std::string::npos) << verify.err;
  v.CopyOld();
  std::map<std::string, std::string> before = Snapshot(v.game);
  EXPECT_EQ(RunUpdpack({"apply", v.update, v.game}).code, 1);
  EXPECT_EQ(Snapshot(v.game), before);
}

TEST(DeltaTool, ADeltaMustBeAtMostNineTenthsOfTheWholeStream) {
  EXPECT_TRUE(BuildDeltaPays(900, 1000));
  EXPECT_FALSE(BuildDeltaPays(901, 1000));
  EXPECT_TRUE(BuildDeltaPays(9, 10));
  EXPECT_FALSE(BuildDeltaPays(10, 10));
  // Near the boundary in real files: the more of a file is rewritten, the
  // larger its delta; each is chosen exactly when it pays, measured against
  // the whole stream `build --no-delta` writes.
  int deltas = 0, wholes = 0;
  for (int spots : {356, 360, 364, 368}) {
    // The last `spots` thousand bytes rewritten, the rest as it was.
    Versions v;
    v.bigOld = testupd::MixedData(400000, 21);
    v.bigNew = v.bigOld.substr(0, 400000 - spots * 1000) + testupd::MixedData(spots * 1000, 22);
    v.Put(v.old, "data/big.arc", v.bigOld);
    v.Put(v.fresh, "data/big.arc", v.bigNew);
    ASSERT_EQ(v.Build({"--no-delta"}).code, 0);
    uint32_t whole = Find(testupd::ParseUpdate(ReadBytes(v.update)), "data\\big.arc")->packed;
    RunResult r = v.Build({"-v"});
    ASSERT_EQ(r.code, 0) << r.err;
    testupd::ParsedUpdate u = testupd::ParseUpdate(ReadBytes(v.update));
    const testupd::ParsedEntry* e = Find(u, "data\\big.arc");
    ASSERT_NE(e, nullptr);
    const char* note = strstr(r.out.c_str(), "data\\big.arc  (");
    ASSERT_NE(note, nullptr) << r.out;
    unsigned long long d = 0, w = 0;
    if (e->delta) {
      ++deltas;
      ASSERT_EQ(sscanf(note, "data\\big.arc  (delta %llu bytes instead of %llu", &d, &w), 2);
      EXPECT_EQ(d, e->packed);
      EXPECT_LE(d * 10, w * 9) << spots;
    } else {
      ++wholes;
      ASSERT_EQ(sscanf(note, "data\\big.arc  (whole: %llu bytes; a delta of %llu", &w, &d), 2)
          << note;
      EXPECT_EQ(e->packed, whole) << spots;
      EXPECT_GT(d * 10, w * 9) << spots;
    }
    EXPECT_EQ(w, whole) << spots;
    // Near the boundary, not far from it.
    EXPECT_GT(d * 10, w * 8) << spots;
    EXPECT_LT(d, w) << spots;
  }
  EXPECT_GT(deltas, 0);
  EXPECT_GT(wholes, 0);
}

}  // namespace
