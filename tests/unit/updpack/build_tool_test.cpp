// updpack build, list and extract, run as the program a game maker runs.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "payload/filetime.h"
#include "unit/payload/payload_fixture.h"
#include "unit/updpack/updpack_test_util.h"
#include "updpack/build/build_run.h"

namespace {

using testupd::ParsedUpdate;
using testupd::ParseUpdate;
using testupd::ReadBytes;
using testupd::RunUpdpack;
using testupd::TempDir;
using testupd::WriteBytes;

// "セーブ" and "データ.dat" in UTF-8 on disk and in code page 932 in the update.
const char kSaveUtf8[] = "\xe3\x82\xbb\xe3\x83\xbc\xe3\x83\x96";
const char kDataUtf8[] = "\xe3\x83\x87\xe3\x83\xbc\xe3\x82\xbf.dat";
const char kSave932[] = "\x83\x5a\x81\x5b\x83\x75";
const char kData932[] = "\x83\x66\x81\x5b\x83\x5e.dat";

const int64_t kStampSeconds = 1700000000;
const long kStampNanos = 123456700;

// A typical update: start-up files, a game archive of several pieces, the
// DirectX folder with a sub-folder, an empty file and Japanese names.
struct Sample {
  TempDir dir;
  std::string src = dir / "src";
  std::string stub = dir / "updater.exe";
  std::vector<std::pair<std::string, std::string>> files;  // relative path, contents

  Sample() {
    WriteBytes(stub, testupd::FakeStub());
    Add("install.env", "TITLE=Sample\r\nREG_GLOBAL=Maker\r\n");
    Add("readme.txt", "Read me first.\r\n");
    Add("update.arc", testupd::MixedData(2500000, 4));
    Add("DirectX/dxsetup.exe", testupd::MixedData(70000, 5));
    Add("DirectX/sub/a.cab", testupd::MixedData(1000, 6));
    Add("empty.dat", "");
    Add(std::string(kSaveUtf8) + "/" + kDataUtf8, testupd::MixedData(3000, 7));
  }
  void Add(const std::string& rel, const std::string& data) {
    files.emplace_back(rel, data);
    WriteBytes(src + "/" + rel, data);
    testupd::SetMtime(src + "/" + rel, kStampSeconds, kStampNanos);
  }
  testupd::RunResult Build(const std::string& out, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"build", "--stub", stub, "-o", out};
    args.insert(args.end(), more.begin(), more.end());
    args.push_back(src);
    return RunUpdpack(args);
  }
};

const testupd::ParsedEntry* Find(const ParsedUpdate& u, const std::string& name) {
  for (const auto& e : u.entries)
    if (e.name == name) return &e;
  return nullptr;
}

TEST(BuildTool, OutputIsTheStubAndAPayloadThatPlainZlibInflates) {
  Sample s;
  std::string out = s.dir / "update.exe";
  testupd::RunResult r = s.Build(out, {"-q"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");  // --quiet
  std::string bytes = ReadBytes(out);
  std::string stub = testupd::FakeStub();
  ASSERT_GT(bytes.size(), stub.size());
  EXPECT_EQ(bytes.substr(0, stub.size()), stub);

  ParsedUpdate u = ParseUpdate(bytes);
  ASSERT_TRUE(u.ok);
  EXPECT_EQ(u.first, stub.size());
  std::string save = kSave932, data = std::string(kSave932) + "\\" + kData932;
  EXPECT_EQ(testupd::Names(u),
            (std::vector<std::string>{"install.env", "readme.txt", "DirectX\\", "DirectX\\sub\\",
                                      save + "\\", "DirectX\\dxsetup.exe", "DirectX\\sub\\a.cab",
                                      "empty.dat", "update.arc", data}));
  uint64_t stamp = PayloadTimeFromUnix(kStampSeconds, kStampNanos);
  for (const auto& f : s.files) {
    std::string name = f.first;
    std::replace(name.begin(), name.end(), '/', '\\');
    if (f.first.rfind(kSaveUtf8, 0) == 0) name = data;
    const testupd::ParsedEntry* e = Find(u, name);
    ASSERT_NE(e, nullptr) << name;
    EXPECT_TRUE(e->inflated) << name;
    EXPECT_TRUE(e->data == f.second) << name;
    EXPECT_EQ(e->size, f.second.size());
    EXPECT_EQ(e->stamp, stamp) << name;
    EXPECT_EQ(e->stream.substr(0, 2), "\x78\x9c") << name;
  }
  EXPECT_EQ(Find(u, "empty.dat")->packed, 8u);
  for (const char* folder : {"DirectX\\", "DirectX\\sub\\"}) {
    ASSERT_NE(Find(u, folder), nullptr);
    EXPECT_TRUE(Find(u, folder)->folder);
  }
}

TEST(BuildTool, TheUpdatersOwnWalkTakesItInBothModes) {
  Sample s;
  std::string out = s.dir / "update.exe";
  ASSERT_EQ(s.Build(out, {"-q"}).code, 0);
  std::string bytes = ReadBytes(out);
  testpayload::Recorder startup;
  ASSERT_EQ(testpayload::WalkArchive(bytes, kPayloadStartupMode, &startup, "W"), 0);
  EXPECT_EQ(startup.events,
            (std::vector<std::string>{"file W\\install.env", "file W\\readme.txt"}));
  testpayload::Recorder full;
  ASSERT_EQ(testpayload::WalkArchive(bytes, kPayloadFullMode, &full, "G"), 0);
  EXPECT_EQ(full.files.size(), s.files.size());
  for (const auto& f : full.files) EXPECT_TRUE(f.ok) << f.path;
}

TEST(BuildTool, SameInputsGiveTheSameBytesWhateverTheThreadCount) {
  Sample s;
  std::vector<std::string> outputs;
  for (const char* jobs : {"1", "3", "2"}) {
    std::string out = s.dir / (std::string("u") + jobs + ".exe");
    ASSERT_EQ(s.Build(out, {"-q", "-j", jobs}).code, 0);
    outputs.push_back(ReadBytes(out));
  }
  EXPECT_TRUE(outputs[0] == outputs[1]);
  EXPECT_TRUE(outputs[0] == outputs[2]);
  // The portable engine (the one of the Windows build) is deterministic too.
  std::string z1 = s.dir / "z1.exe", z3 = s.dir / "z3.exe";
  ASSERT_EQ(s.Build(z1, {"-q", "--engine", "zlib", "-j", "1"}).code, 0);
  ASSERT_EQ(s.Build(z3, {"-q", "--engine", "zlib", "-j", "3"}).code, 0);
  EXPECT_TRUE(ReadBytes(z1) == ReadBytes(z3));
  ParsedUpdate u = ParseUpdate(ReadBytes(z1));
  ASSERT_TRUE(u.ok);
  for (const auto& e : u.entries) EXPECT_TRUE(e.folder || e.inflated) << e.name;
}

// Two checkouts of the same files at different times build alike once the
// times are clamped (SOURCE_DATE_EPOCH) or set (--mtime); a time before the
// clamp is kept.
TEST(BuildTool, CheckoutsAtDifferentTimesBuildAlike) {
  Sample a, b;
  for (size_t i = 0; i < b.files.size(); ++i) {
    testupd::SetMtime(a.src + "/" + a.files[i].first, kStampSeconds + 100, 0);
    testupd::SetMtime(b.src + "/" + b.files[i].first, kStampSeconds + 5000 + i, 0);
  }
  for (Sample* s : {&a, &b}) {
    WriteBytes(s->src + "/old.txt", "old");
    testupd::SetMtime(s->src + "/old.txt", 1600000000, 0);
  }
  const uint64_t clamp = PayloadTimeFromUnix(kStampSeconds + 50, 0);
  setenv("SOURCE_DATE_EPOCH", std::to_string(kStampSeconds + 50).c_str(), 1);
  std::string ua = a.dir / "u.exe", ub = b.dir / "u.exe";
  EXPECT_EQ(a.Build(ua, {"-q"}).code, 0);
  EXPECT_EQ(b.Build(ub, {"-q"}).code, 0);
  setenv("SOURCE_DATE_EPOCH", "soon", 1);
  EXPECT_EQ(a.Build(a.dir / "bad.exe", {"-q"}).code, 2);
  unsetenv("SOURCE_DATE_EPOCH");
  ASSERT_TRUE(ReadBytes(ua) == ReadBytes(ub));
  ParsedUpdate u = ParseUpdate(ReadBytes(ua));
  ASSERT_TRUE(u.ok);
  for (const auto& e : u.entries) {
    if (e.folder) continue;
    EXPECT_EQ(e.stamp, e.name == "old.txt" ? PayloadTimeFromUnix(1600000000, 0) : clamp) << e.name;
  }

  // --mtime gives every file its time, the old one too.
  ASSERT_EQ(a.Build(ua, {"-q", "--force", "--mtime", "2024-01-02 03:04:05"}).code, 0);
  ASSERT_EQ(b.Build(ub, {"-q", "--force", "--mtime", "@1704164645"}).code, 0);
  ASSERT_TRUE(ReadBytes(ua) == ReadBytes(ub));
  for (const auto& e : ParseUpdate(ReadBytes(ua)).entries) {
    if (e.folder) continue;
    EXPECT_EQ(e.stamp, PayloadTimeFromUnix(1704164645, 0)) << e.name;
  }
  EXPECT_EQ(a.Build(a.dir / "bad.exe", {"-q", "--mtime", "2024-13-01"}).code, 2);
}

// Each level makes ordinary zlib streams whose header names the level's
// class, and --best is the smallest (level 1 may beat 6 on odd data: not
// compared).
TEST(BuildTool, LevelsMakeOrdinaryStreamsAndBestIsSmallest) {
  Sample s;
  std::vector<size_t> sizes;
  for (std::vector<std::string> level :
       std::vector<std::vector<std::string>>{{"--level", "1"}, {}, {"--level", "9"}, {"--best"}}) {
    std::string out = s.dir / ("l" + std::to_string(sizes.size()) + ".exe");
    level.push_back("-q");
    ASSERT_EQ(s.Build(out, level).code, 0);
    std::string bytes = ReadBytes(out);
    sizes.push_back(bytes.size());
    ParsedUpdate u = ParseUpdate(bytes);
    ASSERT_TRUE(u.ok);
    const char* header[] = {"\x78\x01", "\x78\x9c", "\x78\xda", "\x78\xda"};
    for (const auto& e : u.entries) {
      if (e.folder) continue;
      EXPECT_TRUE(e.inflated) << e.name;
      EXPECT_EQ(e.stream.substr(0, 2), std::string(header[sizes.size() - 1], 2)) << e.name;
    }
  }
  EXPECT_GT(sizes[1], sizes[2]);
  EXPECT_GT(sizes[2], sizes[3]);
  EXPECT_EQ(s.Build(s.dir / "x.exe", {"--best", "--level", "3"}).code, 2);
  EXPECT_EQ(s.Build(s.dir / "x.exe", {"--level", "13"}).code, 2);
}

std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& item : testupd::fs::directory_iterator(folder))
    names.push_back(item.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(BuildTool, ReplacesAnExistingOutputOnlyWithForceAndLeavesNoTemporaryFile) {
  Sample s;
  std::string outDir = s.dir / "out";
  std::string out = outDir + "/update.exe";
  WriteBytes(out, "old contents");
  testupd::RunResult r = s.Build(out);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find(out), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
  EXPECT_EQ(ReadBytes(out), "old contents");

  r = s.Build(out, {"--force"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(ParseUpdate(ReadBytes(out)).ok);
  EXPECT_NE(r.out.find("7 files, 3 folders"), std::string::npos) << r.out;
  EXPECT_EQ(Listing(outDir), (std::vector<std::string>{"update.exe"}));
}

TEST(BuildTool, AFailureMidwayRemovesTheTemporaryFileAndWritesNothing) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a small tmpfs";
  Sample s;
  // More than the disk holds, and incompressible: the disk fills midway.
  std::string noise(3 << 20, '\0');
  uint32_t x = 99;
  for (char& c : noise) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
  WriteBytes(s.src + "/noise.dat", noise);
  std::string outDir = s.dir / "out";
  testupd::fs::create_directories(outDir);
  if (mount("tmpfs", outDir.c_str(), "tmpfs", 0, "size=1m") != 0) GTEST_SKIP() << "no tmpfs here";
  testupd::RunResult r = s.Build(outDir + "/update.exe");
  std::vector<std::string> left = Listing(outDir);
  umount(outDir.c_str());
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
  EXPECT_TRUE(left.empty());
}

TEST(BuildTool, RefusesNamesAPlayerCannotUseAndNamesEachFile) {
  Sample s;
  const char* bad[] = {"CON.txt",         "trail.",
                       "space ",          "colon:x.dat",
                       "back\\slash.dat", "\xc3\xa9t\xc3\xa9.dat" /* not in code page 932 */};
  for (const char* name : bad) WriteBytes(s.src + "/" + name, "x");
  WriteBytes(s.src + "/Case.dat", "1");
  WriteBytes(s.src + "/case.DAT", "2");
  std::string deep = s.src;
  for (int i = 0; i < 3; ++i) deep += "/" + std::string(90, 'd');
  WriteBytes(deep + "/f.dat", "too long a path");
  std::string out = s.dir / "update.exe";
  testupd::RunResult r = s.Build(out);
  EXPECT_EQ(r.code, 1);
  for (const char* name : bad) EXPECT_NE(r.err.find(s.src + "/" + name), std::string::npos) << name;
  EXPECT_NE(r.err.find("case.DAT"), std::string::npos);
  EXPECT_NE(r.err.find("letter case"), std::string::npos);
  EXPECT_NE(r.err.find(deep), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("nothing written"), std::string::npos);
  EXPECT_FALSE(testupd::fs::exists(out));
}

TEST(BuildTool, RefusesAStartupNameInAFolderThatTheWalkWouldReach) {
  TempDir dir;
  WriteBytes(dir / "updater.exe", testupd::FakeStub());
  WriteBytes(dir / "src/docs/readme.txt", "inside a folder");
  std::string out = dir / "update.exe";
  testupd::RunResult r =
      RunUpdpack({"build", "--stub", dir / "updater.exe", "-o", out, dir / "src"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("docs/readme.txt"), std::string::npos) << r.err;
  // With a second-level folder the walk ends before it: accepted.
  testupd::fs::create_directories(dir / "src/docs/old");
  r = RunUpdpack({"build", "--stub", dir / "updater.exe", "-o", out, dir / "src"});
  EXPECT_EQ(r.code, 0) << r.err;
}

TEST(BuildTool, ChecksItsArgumentsAndInputs) {
  Sample s;
  std::string out = s.dir / "update.exe";
  EXPECT_EQ(RunUpdpack({"build", "--stub", s.stub, s.src}).code, 2);  // no -o
  EXPECT_EQ(RunUpdpack({"build", "-o", out, "-j", "-3", s.src}).code, 2);
  EXPECT_EQ(RunUpdpack({"frobnicate"}).code, 2);
  EXPECT_EQ(RunUpdpack({"build", "--stub", s.stub, "--engine", "lzma", "-o", out, s.src}).code, 2);
  testupd::RunResult help = RunUpdpack({"build", "--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("--force"), std::string::npos);
  testupd::RunResult version = RunUpdpack({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_NE(version.out.find("updpack"), std::string::npos);

  testupd::RunResult r = RunUpdpack({"build", "--stub", s.stub, "-o", out, s.dir / "nowhere"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find(s.dir / "nowhere"), std::string::npos) << r.err;

  WriteBytes(s.dir / "notexe.bin", std::string(100, 'x'));
  r = RunUpdpack({"build", "--stub", s.dir / "notexe.bin", "-o", out, s.src});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("not a Windows executable"), std::string::npos) << r.err;

  // A finished update is no stub: its payload would ride along unused.
  ASSERT_EQ(s.Build(s.dir / "first.exe", {"-q"}).code, 0);
  r = RunUpdpack({"build", "--stub", s.dir / "first.exe", "-o", out, s.src});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("already carries a payload"), std::string::npos) << r.err;

  r = RunUpdpack({"build", "--stub", s.stub, "-o", s.src + "/update.exe", s.src});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("inside"), std::string::npos) << r.err;
  EXPECT_FALSE(testupd::fs::exists(out));
}

// Without --stub the updater is looked for where updpack itself lies, at run
// time: beside it, else in PREFIX/share/updpack when it lies in PREFIX/bin.
TEST(BuildTool, FindsTheUpdaterBesideItOrBelowItsPrefix) {
  Sample s;
  auto buildWith = [&](const std::string& updpack, const std::string& out) {
    testupd::fs::create_directories(testupd::fs::path(updpack).parent_path());
    testupd::fs::copy_file(UPDPACK_EXE, updpack);
    std::string cmd = testupd::Quote(updpack) + " build -q -o " + testupd::Quote(out) + " " +
                      testupd::Quote(s.src) + " 2>" + testupd::Quote(s.dir / "err");
    int status = system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  std::string stubBeside = "MZ beside" + std::string(100, 'b');
  std::string stubShared = "MZ shared" + std::string(100, 's');
  WriteBytes(s.dir / "kit/updater.exe", stubBeside);
  ASSERT_EQ(buildWith(s.dir / "kit/updpack", s.dir / "a.exe"), 0) << ReadBytes(s.dir / "err");
  EXPECT_EQ(ReadBytes(s.dir / "a.exe").substr(0, stubBeside.size()), stubBeside);

  WriteBytes(s.dir / "usr/share/updpack/updater.exe", stubShared);
  ASSERT_EQ(buildWith(s.dir / "usr/bin/updpack", s.dir / "b.exe"), 0) << ReadBytes(s.dir / "err");
  EXPECT_EQ(ReadBytes(s.dir / "b.exe").substr(0, stubShared.size()), stubShared);

  // Beside wins over the prefix; with neither, the message says where it looked.
  WriteBytes(s.dir / "usr/bin/updater.exe", stubBeside);
  testupd::fs::remove(s.dir / "usr/bin/updpack");
  ASSERT_EQ(buildWith(s.dir / "usr/bin/updpack", s.dir / "c.exe"), 0) << ReadBytes(s.dir / "err");
  EXPECT_EQ(ReadBytes(s.dir / "c.exe").substr(0, stubBeside.size()), stubBeside);
  EXPECT_EQ(buildWith(s.dir / "bare/bin/updpack", s.dir / "d.exe"), 1);
  EXPECT_NE(ReadBytes(s.dir / "err").find("share/updpack/updater.exe"), std::string::npos)
      << ReadBytes(s.dir / "err");
}

TEST(BuildTool, ExtractGivesBackTheSameFilesAndTimes) {
  Sample s;
  std::string out = s.dir / "update.exe";
  ASSERT_EQ(s.Build(out, {"-q"}).code, 0);
  std::string back = s.dir / "back/deeper";  // missing folders are made
  testupd::RunResult r = RunUpdpack({"extract", out, back});
  ASSERT_EQ(r.code, 0) << r.err;
  for (const auto& f : s.files) {
    std::string path = back + "/" + f.first;
    ASSERT_TRUE(testupd::fs::exists(path)) << f.first;
    EXPECT_TRUE(ReadBytes(path) == f.second) << f.first;
    struct timespec t = testupd::Mtime(path);
    EXPECT_EQ(t.tv_sec, kStampSeconds) << f.first;
    EXPECT_EQ(t.tv_nsec, kStampNanos) << f.first;
  }
  EXPECT_TRUE(testupd::fs::is_directory(back + "/DirectX/sub"));
}

TEST(BuildTool, ListShowsEveryEntryWithItsSizes) {
  Sample s;
  std::string out = s.dir / "update.exe";
  ASSERT_EQ(s.Build(out, {"-q"}).code, 0);
  testupd::RunResult r = RunUpdpack({"list", out});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("2500000"), std::string::npos);
  EXPECT_NE(r.out.find("update.arc"), std::string::npos);
  EXPECT_NE(r.out.find("DirectX\\sub\\"), std::string::npos);
  EXPECT_NE(r.out.find(std::string(kSaveUtf8) + "\\" + kDataUtf8), std::string::npos);
  EXPECT_NE(r.out.find("2023-11-14 22:13:20"), std::string::npos);      // 1700000000 in UTC
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1 + 10 + 1);  // heading, entries, total
}

// The entry points that the title picture and the environment file checks use.
int g_checked = 0;
int FailingCheck(const std::vector<uint8_t>& contents, const std::string&) {
  g_checked++;
  return contents.empty() ? 0 : 1;
}

TEST(BuildTool, GeneratedFilesAndContentChecksJoinTheBuild) {
  Sample s;
  WriteBytes(s.src + "/InstTScr.RCT", "from the folder");
  BuildOptions options;
  options.folder = s.src;
  options.stub = s.stub;
  options.output = s.dir / "update.exe";
  options.generated.push_back(BuildGenerated{"insttscr.rct", {'n', 'e', 'w'}, 42, "title.png"});
  options.checks.push_back(BuildCheck{"INSTALL.ENV", FailingCheck});
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunBuild(options), 1);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(g_checked, 1);
  EXPECT_NE(err.find("--ignore-check"), std::string::npos) << err;
  EXPECT_FALSE(testupd::fs::exists(options.output));

  options.ignoreChecks = true;
  testing::internal::CaptureStdout();
  EXPECT_EQ(RunBuild(options), 0);
  testing::internal::GetCapturedStdout();
  ParsedUpdate u = ParseUpdate(ReadBytes(options.output));
  ASSERT_TRUE(u.ok);
  const testupd::ParsedEntry* title = Find(u, "insttscr.rct");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->data, "new");
  EXPECT_EQ(title->stamp, 42u);
  EXPECT_EQ(Find(u, "InstTScr.RCT"), nullptr);  // replaced, not added twice
  ASSERT_GE(u.entries.size(), 2u);              // a start-up file: among the first
  EXPECT_EQ(u.entries[0].name, "install.env");
  EXPECT_EQ(u.entries[1].name, "insttscr.rct");
}

}  // namespace

namespace {

// The examples' picture and environment file, as a game maker passes them.
const std::string kExamples = UPD_SOURCE_DIR "/examples";

TEST(BuildTool, TitlePictureAndEnvironmentFileJoinFromTheCommandLine) {
  Sample s;
  WriteBytes(s.src + "/install.env", ReadBytes(kExamples + "/update/install.env"));
  std::string out = s.dir / "update.exe";
  testupd::RunResult r = s.Build(out, {"--title", kExamples + "/title.png"});
  ASSERT_EQ(r.code, 0) << r.err;
  // The example's one warning: its INI file lands in the Windows folder.
  EXPECT_EQ(r.err.find("warning"), r.err.rfind("warning")) << r.err;
  EXPECT_NE(r.err.find("INI_FILE \"KazamiNatsu.ini\" has no folder"), std::string::npos) << r.err;
  ParsedUpdate u = ParseUpdate(ReadBytes(out));
  ASSERT_TRUE(u.ok);
  const testupd::ParsedEntry* title = Find(u, "insttscr.rct");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->data.compare(0, 8,
                                "\x98\x5a\x92\x9a"
                                "TC00"),
            0);

  // A UTF-8 environment file is refused, and packed converted when asked.
  WriteBytes(s.src + "/install.env", "// \xe8\xa8\xad\xe5\xae\x9a\nTITLEBAR \xe5\xa4\x8f\n");
  r = s.Build(out, {"--force"});
  EXPECT_EQ(r.code, 1) << r.err;  // --force only replaces the output...
  r = s.Build(out, {"--force", "--ignore-check"});
  EXPECT_EQ(r.code, 0) << r.err;  // ...--ignore-check builds despite the error...
  EXPECT_NE(r.err.find("UTF-8"), std::string::npos) << r.err;  // ...after reporting it
  r = s.Build(out, {"--force", "--from-utf8"});
  ASSERT_EQ(r.code, 0) << r.err;
  u = ParseUpdate(ReadBytes(out));
  ASSERT_TRUE(u.ok);
  const testupd::ParsedEntry* env = Find(u, "install.env");
  ASSERT_NE(env, nullptr);
  EXPECT_EQ(env->data, "// \x90\xdd\x92\xe8\nTITLEBAR \x89\xc4\n");

  // An unterminated section stops the build.
  WriteBytes(s.src + "/install.env", "[reg]\n\"a\"=\"b\"\n");
  std::string refused = s.dir / "refused.exe";
  r = s.Build(refused);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("install.env:1"), std::string::npos) << r.err;
  EXPECT_FALSE(testupd::fs::exists(refused));

  // So does a deletion line that leaves the game's folder, unless the maker insists.
  WriteBytes(s.src + "/install.env", "[delfiles_afterinst]\r\nold.dat\r\n..\\*.*\r\n-\r\n");
  r = s.Build(refused);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("install.env:3: \"..\\*.*\" reaches outside"), std::string::npos) << r.err;
  EXPECT_FALSE(testupd::fs::exists(refused));
  r = s.Build(refused, {"--ignore-check"});
  EXPECT_EQ(r.code, 0) << r.err;
}

}  // namespace
