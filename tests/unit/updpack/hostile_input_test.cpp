// updpack against hostile and careless input: links, FIFOs and devices,
// bombs and huge declared sizes, full disks, stopped builds, bad names and
// bad usage. Every hostile file is made here; the link, device and full-disk
// cases need root and are skipped with a message otherwise.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "unit/payload/payload_writer.h"
#include "unit/updpack/updpack_test_util.h"

namespace {

namespace fs = std::filesystem;
using testpayload::Deflate;
using testpayload::Put32;
using testpayload::Writer;
using testupd::ReadBytes;
using testupd::RunResult;
using testupd::RunUpdpack;
using testupd::TempDir;
using testupd::WriteBytes;

bool Has(const RunResult& r, const std::string& text) {
  return r.err.find(text) != std::string::npos || r.out.find(text) != std::string::npos;
}

#define EXPECT_REFUSED(r, code_, text)                                     \
  do {                                                                     \
    RunResult r_ = (r);                                                    \
    EXPECT_EQ(r_.code, code_) << r_.err;                                   \
    EXPECT_TRUE(Has(r_, text)) << "no \"" << (text) << "\" in " << r_.err; \
  } while (0)

#define REQUIRE_ROOT() \
  if (geteuid() != 0) GTEST_SKIP() << "needs root for links, devices and tmpfs"

std::string Update(const Writer& w) { return w.Finish(testupd::FakeStub()); }

// Files of the folder, temporaries included.
std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  return names;
}

bool AnyTemporary(const std::string& folder) {
  for (const std::string& n : Listing(folder))
    if (n.size() > 4 && n.compare(n.size() - 4, 4, ".tmp") == 0) return true;
  return false;
}

struct Folder {
  TempDir dir;
  std::string stub = dir / "updater.exe";
  std::string src = dir / "src";
  Folder() {
    WriteBytes(stub, testupd::FakeStub());
    WriteBytes(src + "/install.env", "TITLE=x\r\n");
  }
  RunResult Build(const std::string& out, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"build", "-q", "--stub", stub, "-o", out};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(src);
    return RunUpdpack(args);
  }
};

TEST(ExtractHostile, NeverFollowsALinkBelowTheDestination) {
  REQUIRE_ROOT();
  TempDir t;
  fs::create_directories(t / "out");
  fs::create_directories(t / "outside");
  WriteBytes(t / "outside/target.txt", "outside");
  fs::create_directory_symlink(t / "outside", t / "out/link");
  fs::create_symlink(t / "outside/target.txt", t / "out/flink");
  fs::create_symlink(t / "outside/new.txt", t / "out/dangling");
  struct {
    const char* entry;
    bool folderFirst;
  } cases[] = {{"link\\X", true}, {"flink", false}, {"dangling", false}};
  for (const auto& c : cases) {
    Writer w;
    if (c.folderFirst) w.Folder("link\\");
    w.File(c.entry, "written through the link");
    WriteBytes(t / "u.exe", Update(w));
    EXPECT_REFUSED(RunUpdpack({"extract", t / "u.exe", t / "out"}), 1, "symbolic link");
  }
  EXPECT_EQ(ReadBytes(t / "outside/target.txt"), "outside");
  EXPECT_FALSE(fs::exists(t / "outside/X"));
  EXPECT_FALSE(fs::exists(t / "outside/new.txt"));
}

TEST(ExtractHostile, StopsAtTheDeclaredSizeAndKeepsTheOldFile) {
  TempDir t;
  fs::create_directories(t / "out");
  WriteBytes(t / "out/bomb", "old bomb");
  WriteBytes(t / "out/data.txt", "the good file");
  // 32 MiB of zeros declared as 10 bytes: nothing past 10 bytes is written.
  Writer bomb;
  bomb.RawFile("bomb", 10, Deflate(std::string(32 << 20, '\0')));
  WriteBytes(t / "bomb.exe", Update(bomb));
  EXPECT_REFUSED(RunUpdpack({"extract", t / "bomb.exe", t / "out"}), 1,
                 "entry \"bomb\": inflates past its declared size of 10 bytes");
  EXPECT_EQ(ReadBytes(t / "out/bomb"), "old bomb");

  // A damaged stream over an existing file leaves the file as it was.
  std::string stream = Deflate(std::string(300000, 'd'));
  stream.back() ^= 1;  // the Adler-32
  Writer damaged;
  damaged.RawFile("data.txt", 300000, stream);
  WriteBytes(t / "damaged.exe", Update(damaged));
  EXPECT_REFUSED(RunUpdpack({"extract", t / "damaged.exe", t / "out"}), 1, "entry \"data.txt\"");
  EXPECT_EQ(ReadBytes(t / "out/data.txt"), "the good file");
  EXPECT_FALSE(AnyTemporary(t / "out"));

  // The message names the entry and the reason.
  Writer escape;
  escape.File("..\\X", "x");
  WriteBytes(t / "escape.exe", Update(escape));
  EXPECT_REFUSED(RunUpdpack({"extract", t / "escape.exe", t / "out"}), 1,
                 "entry \"..\\X\": name leaves the destination folder");
}

TEST(ExtractHostile, AFullDiskIsNamedAndLeavesNoPartialFile) {
  REQUIRE_ROOT();
  TempDir t;
  fs::create_directories(t / "small");
  if (mount("tmpfs", (t / "small").c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here";
  Writer w;
  w.File("big.dat", testupd::MixedData(3 << 20, 5));
  WriteBytes(t / "big.exe", Update(w));
  RunResult r = RunUpdpack({"extract", t / "big.exe", t / "small"});
  bool partial = fs::exists(t / "small/big.dat") || AnyTemporary(t / "small");
  umount((t / "small").c_str());
  EXPECT_REFUSED(r, 1, "No space left on device");
  EXPECT_FALSE(partial);
}

TEST(OutputRules, SpecialFilesInputsAndExistingOutputsAreNotReplaced) {
  Folder f;
  std::string fifo = f.dir / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_REFUSED(f.Build(fifo, {"--force"}), 1, "not a regular file");
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_REFUSED(f.Build(f.stub, {"--force"}), 1, "is also an input");
  EXPECT_EQ(ReadBytes(f.stub), testupd::FakeStub());
  if (geteuid() == 0) {
    std::string device = f.dir / "null";
    ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    EXPECT_REFUSED(f.Build(device, {"--force"}), 1, "not a regular file");
    EXPECT_TRUE(fs::is_character_file(device));
  }

  // image and check keep an existing output unless --force, never the input.
  std::string png = UPD_SOURCE_DIR "/tests/data/image/sample.png";
  std::string rct = f.dir / "t.rct";
  WriteBytes(rct, "keep");
  EXPECT_REFUSED(RunUpdpack({"image", "encode", png, rct}), 1, "--force");
  EXPECT_EQ(ReadBytes(rct), "keep");
  EXPECT_EQ(RunUpdpack({"image", "encode", "--force", png, rct}).code, 0);
  std::string rctBytes = ReadBytes(rct);
  EXPECT_REFUSED(RunUpdpack({"image", "decode", "--force", rct, rct}), 1, "is also an input");
  // The same file by another spelling is the same input.
  EXPECT_REFUSED(RunUpdpack({"image", "decode", "--force", rct, f.dir / "./t.rct"}), 1,
                 "is also an input");
  EXPECT_REFUSED(f.Build(f.dir / "./updater.exe", {"--force"}), 1, "is also an input");
  EXPECT_EQ(ReadBytes(rct), rctBytes);
  EXPECT_EQ(ReadBytes(f.stub), testupd::FakeStub());
  WriteBytes(f.dir / "utf8.env", "TITLEBAR \xe5\xa4\x8f\r\n");
  WriteBytes(f.dir / "sjis.env", "keep");
  EXPECT_REFUSED(RunUpdpack({"check", "--from-utf8", "-o", f.dir / "sjis.env", f.dir / "utf8.env"}),
                 1, "--force");
  EXPECT_EQ(ReadBytes(f.dir / "sjis.env"), "keep");
  EXPECT_REFUSED(
      RunUpdpack({"check", "--from-utf8", "-f", "-o", f.dir / "utf8.env", f.dir / "utf8.env"}), 1,
      "is also an input");
  EXPECT_EQ(
      RunUpdpack({"check", "--from-utf8", "-f", "-o", f.dir / "sjis.env", f.dir / "utf8.env"}).code,
      0);
  EXPECT_EQ(ReadBytes(f.dir / "sjis.env"), "TITLEBAR \x89\xc4\r\n");
}

TEST(OutputRules, StoppedBuildsLeaveNoTemporaryBehind) {
  Folder f;
  // Enough incompressible data that the build is still writing when stopped.
  WriteBytes(f.src + "/big.dat", testupd::MixedData(1, 1));
  {
    std::string noise(48 << 20, '\0');
    uint32_t x = 12345;
    for (char& c : noise) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    WriteBytes(f.src + "/big.dat", noise);
  }
  fs::create_directories(f.dir / "out");
  pid_t child = fork();
  if (child == 0) {
    execl(UPDPACK_EXE, UPDPACK_EXE, "build", "-q", "-j", "1", "--engine", "zlib", "--stub",
          f.stub.c_str(), "-o", (f.dir / "out/u.exe").c_str(), f.src.c_str(), nullptr);
    _exit(127);
  }
  bool started = false;
  for (int i = 0; i < 2000 && !started; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    started = AnyTemporary(f.dir / "out");
  }
  kill(child, SIGHUP);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(started);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGHUP);
  EXPECT_FALSE(AnyTemporary(f.dir / "out"));
  fs::remove(f.src + "/big.dat");

  // Stopped the moment the temporary appears, before its handler could be
  // armed were the two not made together: again and again, nothing stays.
  int leftBehind = 0, stoppedEarly = 0;
  for (int round = 0; round < 40; ++round) {
    int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, (f.dir / "out").c_str(), IN_CREATE), 0);
    pid_t quick = fork();
    if (quick == 0) {
      execl(UPDPACK_EXE, UPDPACK_EXE, "build", "-q", "-f", "--stub", f.stub.c_str(), "-o",
            (f.dir / "out/u.exe").c_str(), f.src.c_str(), nullptr);
      _exit(127);
    }
    struct pollfd p = {watch, POLLIN, 0};
    alignas(inotify_event) char events[4096];
    if (poll(&p, 1, 20000) == 1 && read(watch, events, sizeof events) > 0) kill(quick, SIGHUP);
    waitpid(quick, &status, 0);
    close(watch);
    if (WIFSIGNALED(status)) ++stoppedEarly;
    if (AnyTemporary(f.dir / "out")) ++leftBehind;
    for (const std::string& n : Listing(f.dir / "out")) fs::remove(f.dir / ("out/" + n));
  }
  EXPECT_GT(stoppedEarly, 0);
  EXPECT_EQ(leftBehind, 0);

  // One killed with -9 leaves its temporary; the next build removes it,
  // but not one whose process still runs (this test's own).
  pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, &status, 0);
  std::string stale = f.dir / ("out/.u.exe." + std::to_string(gone) + "-0.tmp");
  std::string live = f.dir / ("out/.u.exe." + std::to_string(getpid()) + "-0.tmp");
  WriteBytes(stale, "left by kill -9");
  WriteBytes(live, "still being written");
  EXPECT_EQ(f.Build(f.dir / "out/u.exe").code, 0);
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(live));

  // A process id used again: the build's first temporary name is taken by a
  // file its namesake left. The build takes the next name and keeps that file.
  pid_t reused = fork();
  if (reused == 0) {
    std::string taken = f.dir / ("out/.u.exe." + std::to_string(getpid()) + "-0.tmp");
    int fd = open(taken.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0 || write(fd, "namesake", 8) != 8) _exit(126);
    close(fd);
    execl(UPDPACK_EXE, UPDPACK_EXE, "build", "-q", "-f", "--stub", f.stub.c_str(), "-o",
          (f.dir / "out/u.exe").c_str(), f.src.c_str(), nullptr);
    _exit(127);
  }
  waitpid(reused, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(ReadBytes(f.dir / ("out/.u.exe." + std::to_string(reused) + "-0.tmp")), "namesake");
  EXPECT_FALSE(fs::exists(f.dir / ("out/.u.exe." + std::to_string(reused) + "-1.tmp")));
  EXPECT_EQ(RunUpdpack({"verify", f.dir / "out/u.exe"}).code, 0);
}

// A PNG of the given header fields and no pixel data worth the name.
std::string PngHeader(uint32_t width, uint32_t height) {
  std::string ihdr = "IHDR";
  for (uint32_t v : {width, height})
    for (int s = 24; s >= 0; s -= 8) ihdr.push_back(static_cast<char>(v >> s));
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);
  std::string png = "\x89PNG\r\n\x1a\n";
  png += std::string("\0\0\0\x0d", 4) + ihdr;
  uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(ihdr.data()), ihdr.size());
  for (int s = 24; s >= 0; s -= 8) png.push_back(static_cast<char>(crc >> s));
  return png;
}

// A BMP with a 40-byte header: height negative for top-down rows.
std::string Bmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression) {
  std::string b = "BM";
  Put32(&b, 0);
  Put32(&b, 0);
  Put32(&b, 54 + (bits <= 8 ? 1024 : 0));
  Put32(&b, 40);
  Put32(&b, static_cast<uint32_t>(width));
  Put32(&b, static_cast<uint32_t>(height));
  b += std::string("\x01\x00", 2) + std::string(1, static_cast<char>(bits)) + std::string(1, '\0');
  Put32(&b, compression);
  b += std::string(20, '\0');
  if (bits <= 8) b += std::string(1024, '\x7f');
  b += std::string(64, '\0');
  return b;
}

TEST(PictureHostile, SizesAreCheckedBeforeAllocationAndRefusalsSayWhy) {
  TempDir t;
  // 65535 x 65535 declared in a few bytes.
  std::string rct = std::string(
      "\x98\x5a\x92\x9a"
      "TC00",
      8);
  Put32(&rct, 65535);
  Put32(&rct, 65535);
  Put32(&rct, 37);
  rct += std::string(37, '\0');
  WriteBytes(t / "huge.rct", rct);
  EXPECT_REFUSED(RunUpdpack({"image", "info", t / "huge.rct"}), 1, "more than its 37 bytes");
  EXPECT_REFUSED(RunUpdpack({"image", "decode", t / "huge.rct", t / "huge.png"}), 1, "more than");

  struct {
    std::string name, bytes, reason;
  } cases[] = {
      {"big.png", PngHeader(8000, 8000), "too large for a title picture (at most 4096 x 4096)"},
      {"cut.png", PngHeader(16, 16), "truncated"},
      {"empty.png", PngHeader(0, 16), "no pixels"},
      {"rle.bmp", Bmp(4, 4, 8, 1), "run-length"},
      {"big.bmp", Bmp(5000, 2, 24, 0), "too large for a title picture"},
  };
  for (const auto& c : cases) {
    WriteBytes(t / c.name, c.bytes);
    EXPECT_REFUSED(RunUpdpack({"image", "encode", t / c.name, t / "x.rct"}), 1, c.reason);
  }
  // Rows stored top-down are a picture like any other.
  WriteBytes(t / "topdown.bmp", Bmp(4, -4, 24, 0));
  RunResult r = RunUpdpack({"image", "encode", t / "topdown.bmp", t / "x.rct"});
  EXPECT_EQ(r.code, 0) << r.err;
}

TEST(BuildHostile, LinksInTheFolderFollowOnePolicy) {
  Folder f;
  fs::create_directories(f.src + "/sub");
  WriteBytes(f.src + "/sub/real.dat", "real");
  fs::create_symlink(f.src + "/sub/real.dat", f.src + "/alias.dat");  // inside: followed
  fs::create_directory_symlink(f.src + "/sub", f.src + "/subalias");
  ASSERT_EQ(f.Build(f.dir / "ok.exe").code, 0);
  testupd::ParsedUpdate u = testupd::ParseUpdate(ReadBytes(f.dir / "ok.exe"));
  std::vector<std::string> names = testupd::Names(u);
  EXPECT_NE(std::find(names.begin(), names.end(), "alias.dat"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "subalias\\real.dat"), names.end());

  fs::create_directory_symlink(".", f.src + "/a");
  fs::create_directory_symlink("..", f.src + "/sub/up");
  fs::create_directory_symlink("/etc", f.src + "/etc");
  auto start = std::chrono::steady_clock::now();
  RunResult r = f.Build(f.dir / "bad.exe");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_REFUSED(r, 1, "loops back");
  EXPECT_TRUE(Has(r, "leads outside the folder"));
  EXPECT_LT(std::count(r.err.begin(), r.err.end(), '\n'), 12) << r.err;

  // Many bad names: the first few, then a count.
  fs::remove(f.src + "/a");
  fs::remove(f.src + "/sub/up");
  fs::remove(f.src + "/etc");
  for (int i = 0; i < 60; ++i) WriteBytes(f.src + "/bad" + std::to_string(i) + ".", "x");
  r = f.Build(f.dir / "bad.exe");
  EXPECT_REFUSED(r, 1, "more messages not shown");
  EXPECT_LT(std::count(r.err.begin(), r.err.end(), '\n'), 25) << r.err;
}

TEST(ReadersHostile, FifosAndDevicesAreRefusedBeforeReading) {
  Folder f;
  std::string fifo = f.dir / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& input : {fifo, std::string("/dev/zero")}) {
    EXPECT_REFUSED(RunUpdpack({"list", input}), 1, "not a regular file");
    EXPECT_REFUSED(RunUpdpack({"check", input}), 1, "not a regular file");
    EXPECT_REFUSED(RunUpdpack({"image", "info", input}), 1, "not a regular file");
    EXPECT_REFUSED(RunUpdpack({"build", "--stub", input, "-o", f.dir / "u.exe", f.src}), 1,
                   "not a regular file");
  }
}

TEST(CommandLine, ExitCodesAndMessages) {
  Folder f;
  ASSERT_EQ(f.Build(f.dir / "u.exe").code, 0);
  // Output that cannot be written is a failure.
  std::string cmd = "timeout 60 " + testupd::Quote(UPDPACK_EXE) + " list " +
                    testupd::Quote(f.dir / "u.exe") + " >/dev/full 2>" +
                    testupd::Quote(f.dir / "err");
  int status = system(cmd.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(ReadBytes(f.dir / "err").find("updpack: cannot write to the standard output"),
            std::string::npos);
  status = system(
      ("timeout 60 " + testupd::Quote(UPDPACK_EXE) + " --help >/dev/full 2>/dev/null").c_str());
  EXPECT_EQ(WEXITSTATUS(status), 1);

  EXPECT_REFUSED(f.Build(""), 2, "empty path");
  EXPECT_REFUSED(RunUpdpack({"extract", f.dir / "u.exe", ""}), 2, "empty path");
  EXPECT_REFUSED(RunUpdpack({"check", "--from-utf8", "-o", "", f.src + "/install.env"}), 2,
                 "empty path");
  EXPECT_REFUSED(RunUpdpack({"--bogus"}), 2, "updpack: unknown option --bogus");
  EXPECT_REFUSED(RunUpdpack({"bogus"}), 2, "updpack: unknown subcommand or argument bogus");
  EXPECT_REFUSED(RunUpdpack({"build", "-j", "abc", "-o", "x", "y"}), 2, "wants a number");
  RunResult help = RunUpdpack({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("Usage: updpack "), std::string::npos) << help.out;
}

TEST(VerifyHostile, NamesThatBuildWouldNeverWriteAreRefused) {
  TempDir t;
  const std::string names[] = {
      std::string("a\x83"),
      std::string("\x85\x40.txt"),
      "a/b",
      std::string("ok\0..\\X", 7),
      "tab\there",
      "con.txt",
      "dots.",
      "space ",
      std::string(258, 'n'),
  };
  for (const std::string& name : names) {
    Writer w;
    w.File(name, "x");
    WriteBytes(t / "u.exe", Update(w));
    RunResult r = RunUpdpack({"verify", t / "u.exe"});
    EXPECT_EQ(r.code, 1) << testing::PrintToString(name) << ": " << r.err;
    EXPECT_TRUE(Has(r, "entry \"")) << r.err;
  }
  for (bool folderFirst : {true, false}) {
    Writer w;
    if (folderFirst) w.Folder("x\\");
    w.File("x", "x");
    if (!folderFirst) w.Folder("x\\");
    WriteBytes(t / "u.exe", Update(w));
    EXPECT_REFUSED(RunUpdpack({"verify", t / "u.exe"}), 1, "a second entry of this name");
  }
}

TEST(TextHostile, TerminalTextIsEscapedAndConverted) {
  TempDir t;
  Writer w;
  w.File("red\x1b[31m.txt", "x");
  w.File("\x83\x65\x83\x58\x83\x67.txt", "x");  // katakana "tesuto"
  WriteBytes(t / "u.exe", Update(w));
  RunResult r = RunUpdpack({"list", t / "u.exe"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  EXPECT_NE(r.out.find("red\\x1B[31m.txt"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88.txt"), std::string::npos) << r.out;

  std::string png = UPD_SOURCE_DIR "/tests/data/image/sample.png";
  EXPECT_EQ(RunUpdpack({"image", "encode", "--text", "\xe5\xa4\x8f", png, t / "t.rct"}).code, 0);
  EXPECT_NE(ReadBytes(t / "t.rct").find("\x89\xc4"), std::string::npos);  // stored as Shift-JIS
  EXPECT_REFUSED(RunUpdpack({"image", "encode", "--text", "\xf0\x9f\x98\x80", png, t / "u.rct"}), 1,
                 "no Shift-JIS");

  // Files that the updater would misread are told why.
  struct {
    std::string bytes, reason;
    int code;
  } envs[] = {
      {"TITLEBAR=a\rEXENAME=b.exe\r", "CR alone", 1},
      {"\xef\xbb\xbfTITLEBAR \x89\xc4\r\n", "byte order mark", 1},
      {std::string("TITLEBAR a\0b\r\n", 14), "warning: a NUL byte", 0},
  };
  for (const auto& e : envs) {
    WriteBytes(t / "install.env", e.bytes);
    EXPECT_REFUSED(RunUpdpack({"check", t / "install.env"}), e.code, e.reason);
  }
  EXPECT_REFUSED(RunUpdpack({"check", t / "missing.env"}), 1, "No such file or directory");
}

TEST(BuildHostile, TitleReplacingAPictureIsToldAndForceOnlyReplaces) {
  Folder f;
  WriteBytes(f.src + "/InstTScr.rct", "from the folder");
  RunResult r =
      f.Build(f.dir / "u.exe", {"--title", UPD_SOURCE_DIR "/tests/data/image/sample.png"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(Has(r, "not packed: --title")) << r.err;
}

}  // namespace
