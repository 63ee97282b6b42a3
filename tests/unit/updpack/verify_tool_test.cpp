// updpack verify and extract against damaged and hostile updates, and on an
// update signed after it was built.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "unit/payload/payload_writer.h"
#include "unit/payload/pe_builder.h"
#include "unit/updpack/updpack_test_util.h"

namespace {

using testpayload::Put32;
using testpayload::Writer;
using testupd::ReadBytes;
using testupd::RunUpdpack;
using testupd::TempDir;
using testupd::WriteBytes;

struct Case {
  TempDir dir;
  std::string good;  // a sound update built by updpack
  Case() {
    WriteBytes(dir / "updater.exe", testupd::FakeStub());
    WriteBytes(dir / "src/install.env", "TITLE=x\r\n");
    WriteBytes(dir / "src/data.arc", testupd::MixedData(300000, 1));
    WriteBytes(dir / "src/DirectX/dx.cab", testupd::MixedData(5000, 2));
    WriteBytes(dir / "src/zz.dat", "the last entry");
    testupd::RunResult r = RunUpdpack(
        {"build", "-q", "--stub", dir / "updater.exe", "-o", dir / "good.exe", dir / "src"});
    EXPECT_EQ(r.code, 0) << r.err;
    good = ReadBytes(dir / "good.exe");
  }
  // Runs verify on the bytes; returns its result.
  testupd::RunResult Verify(const std::string& bytes, const std::string& name = "bad.exe") {
    WriteBytes(dir / name, bytes);
    return RunUpdpack({"verify", dir / name});
  }
  // Offset of an entry's stream in the good update.
  size_t StreamOf(const std::string& name) const {
    size_t at = good.find(name + std::string(1, '\0'));
    return at + name.size() + 1 + 8 + 8;
  }
  uint32_t PackedOf(const std::string& name) const {
    return testupd::Get32(good, good.find(name + std::string(1, '\0')) + name.size() + 1 + 4);
  }
};

void ExpectRejected(const testupd::RunResult& r, const std::string& mention, const char* what) {
  EXPECT_EQ(r.code, 1) << what;
  EXPECT_NE(r.err.find(mention), std::string::npos) << what << ": " << r.err;
}

std::string WithTrailer(const std::string& image, const std::string& payload) {
  std::string out = image + payload;
  Put32(&out, static_cast<uint32_t>(image.size()));
  return out;
}

TEST(VerifyTool, AcceptsASoundUpdate) {
  Case c;
  testupd::RunResult r = c.Verify(c.good, "good.exe");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("OK (4 files, 1 folders)"), std::string::npos) << r.out;
}

TEST(VerifyTool, RejectsDamagedStreamsNamingTheEntry) {
  Case c;
  std::string bad = c.good;
  size_t adler = c.StreamOf("data.arc") + c.PackedOf("data.arc") - 1;
  bad[adler] ^= 1;
  ExpectRejected(c.Verify(bad), "\"data.arc\": incorrect data check", "wrong Adler-32");

  bad = c.good;
  bad[c.StreamOf("DirectX\\dx.cab") + 40] ^= 0x55;
  ExpectRejected(c.Verify(bad), "DirectX\\dx.cab", "damaged deflate data");

  // The header's size disagrees with what the stream holds.
  bad = c.good;
  size_t sizeField = c.good.find(std::string("install.env") + '\0') + 12;
  bad[sizeField] ^= 1;
  ExpectRejected(c.Verify(bad), "\"install.env\": inflates past its declared size", "wrong size");
}

TEST(VerifyTool, RejectsBrokenFramesAndTrailers) {
  Case c;
  std::string stub = testupd::FakeStub();
  std::string payload = c.good.substr(stub.size(), c.good.size() - stub.size() - 4);

  // Cut in the middle of an entry, the trailer rewritten to match.
  std::string cut = WithTrailer(stub, payload.substr(0, payload.size() / 2));
  ExpectRejected(c.Verify(cut), "runs past", "truncated archive");
  // Cut without a new trailer: the last four bytes are no trailer at all.
  ExpectRejected(c.Verify(c.good.substr(0, c.good.size() - 1000)), "bad.exe", "cut file");

  std::string beyond = c.good;
  beyond.replace(beyond.size() - 4, 4, "\xff\xff\xff\x0f");
  ExpectRejected(c.Verify(beyond), "no payload", "trailer past the end");
  std::string intoImage = c.good;
  intoImage.replace(intoImage.size() - 4, 4, std::string("\x10\0\0\0", 4));
  ExpectRejected(c.Verify(intoImage), "first entry", "trailer into the image");

  // The entries, then the trailer right away: no end marker.
  ExpectRejected(c.Verify(WithTrailer(stub, payload.substr(0, payload.size() - 4))), "bad.exe",
                 "missing end marker");
  // Something after the end marker.
  ExpectRejected(c.Verify(WithTrailer(stub, payload + "junk")), "end marker", "data after the end");

  ExpectRejected(c.Verify(stub), "bad.exe", "no payload");
  ExpectRejected(c.Verify(WithTrailer("NotAnExe" + stub, payload)), "Windows executable",
                 "no executable in front");
}

TEST(VerifyTool, RejectsEveryOrderTheUpdaterCannotFollow) {
  Case c;
  std::string stub = testupd::FakeStub();
  {
    Writer w;
    w.File("DirectX\\dx.cab", "x");
    w.Folder("DirectX\\");
    ExpectRejected(c.Verify(WithTrailer(stub, w.Payload())), "DirectX\\dx.cab",
                   "file before its folder");
  }
  {
    Writer w;
    w.Folder("docs\\");
    w.File("docs\\Readme.TXT", "x");
    ExpectRejected(c.Verify(WithTrailer(stub, w.Payload())), "docs\\Readme.TXT",
                   "start-up file inside a folder before the walk ends");
  }
  {
    Writer w;
    w.Folder("a\\");
    w.Folder("a\\b\\");
    w.File("install.env", "x");
    ExpectRejected(c.Verify(WithTrailer(stub, w.Payload())), "install.env",
                   "start-up file after the walk ends");
  }
  {
    Writer w;
    w.File("game.arc", "1");
    w.File("GAME.ARC", "2");
    ExpectRejected(c.Verify(WithTrailer(stub, w.Payload())), "GAME.ARC", "the same name twice");
  }
}

TEST(VerifyTool, RejectsNamesThatLeaveTheDestination) {
  Case c;
  std::string stub = testupd::FakeStub();
  for (const char* name :
       {"..\\evil.txt", "C:\\evil.txt", "\\evil.txt", "a\\..\\..\\evil.dat", "stream:evil"}) {
    Writer w;
    w.File(name, "x");
    testupd::RunResult r = c.Verify(WithTrailer(stub, w.Payload()));
    EXPECT_EQ(r.code, 1) << name;
    EXPECT_NE(r.err.find("leaves the destination"), std::string::npos) << name << ": " << r.err;
  }
}

TEST(ExtractTool, WritesNothingOutsideTheDestination) {
  Case c;
  std::string stub = testupd::FakeStub();
  Writer w;
  w.File("fine.txt", "kept");
  w.Folder("d\\");
  w.File("d\\..\\..\\evil.txt", "never");
  WriteBytes(c.dir / "hostile.exe", WithTrailer(stub, w.Payload()));
  testupd::fs::create_directories(c.dir / "deep/out");
  testupd::RunResult r = RunUpdpack({"extract", c.dir / "hostile.exe", c.dir / "deep/out"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("leaves the destination"), std::string::npos) << r.err;
  EXPECT_EQ(ReadBytes(c.dir / "deep/out/fine.txt"),
            "kept");  // what came before stays, as in the updater
  EXPECT_FALSE(testupd::fs::exists(c.dir / "evil.txt"));
  EXPECT_FALSE(testupd::fs::exists(c.dir / "deep/evil.txt"));
}

TEST(ExtractTool, StopsAtTheFirstDamagedFile) {
  Case c;
  std::string bad = c.good;
  bad[c.StreamOf("data.arc") + c.PackedOf("data.arc") - 2] ^= 1;
  WriteBytes(c.dir / "bad.exe", bad);
  testupd::RunResult r = RunUpdpack({"extract", c.dir / "bad.exe", c.dir / "out"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("\"data.arc\""), std::string::npos) << r.err;
  EXPECT_TRUE(testupd::fs::exists(c.dir / "out/DirectX/dx.cab"));  // before data.arc
  EXPECT_FALSE(testupd::fs::exists(c.dir / "out/zz.dat"));         // after it
}

}  // namespace
namespace {

// Builds an update on the stub and runs verify on it.
testupd::RunResult VerifyOnStub(const std::string& stub) {
  TempDir dir;
  WriteBytes(dir / "stub.exe", stub);
  WriteBytes(dir / "src/install.env", "TITLE=x\r\n");
  testupd::RunResult r =
      RunUpdpack({"build", "-q", "--stub", dir / "stub.exe", "-o", dir / "u.exe", dir / "src"});
  EXPECT_EQ(r.code, 0) << r.err;
  return RunUpdpack({"verify", dir / "u.exe"});
}

TEST(VerifyTool, WarnsAboutStubImportsOutsideTheKnownDlls) {
  testupd::RunResult r = VerifyOnStub(
      testpe::ImageImporting({"KERNEL32.dll", "WINMM.DLL", "USER32.dll", "comctl32.dll"}));
  EXPECT_EQ(r.code, 0) << "a warning, not a rejection";
  EXPECT_NE(r.out.find("OK (1 files, 0 folders)"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("imports WINMM.DLL, not a known DLL"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("imports comctl32.dll, not a known DLL"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("KERNEL32"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("USER32"), std::string::npos) << r.err;

  r = VerifyOnStub(testpe::ImageImporting({"KERNEL32.dll", "msvcrt.dll", "SHELL32.dll"}));
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, "") << "known DLLs only";

  // A name that runs to the end of its section: said, and the payload still checked.
  std::string damaged = testpe::ImageImporting({"KERNEL32.dll"});
  damaged.replace(damaged.size() - 4, 4, "abcd");
  testpe::Set32(&damaged, testpe::kSectionData + 12,
                testpe::kSectionAddress + testpe::kSectionBytes - 4);
  r = VerifyOnStub(damaged);
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.err.find("import table cannot be read"), std::string::npos) << r.err;

  // No PE header at all: the image check's business, no import warning.
  r = VerifyOnStub(testupd::FakeStub());
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, "");
}

// An update built with updpack and signed with osslsigncode and a throwaway
// certificate made by openssl; both tools are needed, or the tests are
// skipped (scripts/install-deps.sh installs them).
class SignedUpdate : public testing::Test {
 protected:
  TempDir dir;
  const std::string stub = testpe::ImageImporting({});  // a minimal PE32 image
  const std::string src = dir / "src", cert = dir / "cert.pem", key = dir / "key.pem";
  const std::string signedUpdate = dir / "signed.exe";

  void SetUp() override {
    if (testupd::RunProgram("sh", {"-c", "command -v osslsigncode && command -v openssl"}).code) {
      GTEST_SKIP() << "osslsigncode or openssl missing (scripts/install-deps.sh)";
    }
    WriteBytes(dir / "stub.exe", stub);
    WriteBytes(src + "/install.env", "TITLE=signed\r\n");
    WriteBytes(src + "/readme.txt", "readme\r\n");
    std::mt19937 rng(20);
    std::string noise(200000, '\0');  // incompressible: payload byte 100000 lies in its stream
    for (char& c : noise) c = static_cast<char>(rng());
    WriteBytes(src + "/update.arc", noise);
    WriteBytes(src + "/DirectX/dxsetup.exe", "dx");
    testupd::RunResult r =
        RunUpdpack({"-q", "build", "--stub", dir / "stub.exe", "-o", dir / "update.exe", src});
    ASSERT_EQ(r.code, 0) << "build\n" << r;
    r = testupd::RunProgram(
        "openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-subj", "/CN=updpack-test", "-days", "2"});
    ASSERT_EQ(r.code, 0) << "openssl\n" << r;
    r = testupd::RunProgram("osslsigncode", {"sign", "-certs", cert, "-key", key, "-in",
                                             dir / "update.exe", "-out", signedUpdate});
    ASSERT_EQ(r.code, 0) << "osslsigncode sign\n" << r;
    ASSERT_EQ(SignatureCheck(signedUpdate).code, 0) << "osslsigncode verify";
  }

  testupd::RunResult SignatureCheck(const std::string& file) {
    return testupd::RunProgram("osslsigncode", {"verify", "-CAfile", cert, "-in", file});
  }
};

TEST_F(SignedUpdate, ListsVerifiesAndExtracts) {
  testupd::RunResult r = testupd::ExpectRun({"verify", signedUpdate}, 0);
  EXPECT_TRUE(testupd::Contains(r.out, "OK (4 files, 1 folders; signed)")) << "verify said";
  EXPECT_TRUE(testupd::Contains(RunUpdpack({"list", signedUpdate}).out, "dxsetup.exe")) << "list";
  testupd::ExpectRun({"-q", "extract", signedUpdate, dir / "back"}, 0);
  r = testupd::RunProgram("diff", {"-r", src, dir / "back"});
  EXPECT_EQ(r.code, 0) << "extracted files differ\n" << r;
  // A signed update is not taken as a bare updater.
  r = RunUpdpack({"-q", "build", "--stub", signedUpdate, "-o", dir / "twice.exe", src});
  EXPECT_NE(r.code, 0) << "a signed update was taken as a stub";
}

TEST_F(SignedUpdate, APayloadByteChangedAfterSigningIsCaught) {
  // One byte in the middle of update.arc's stream.
  std::string changed = ReadBytes(signedUpdate);
  changed[stub.size() + 100000] ^= 0x55;
  WriteBytes(dir / "changed.exe", changed);
  testupd::RunResult r = RunUpdpack({"verify", dir / "changed.exe"});
  EXPECT_NE(r.code, 0) << "a changed payload passed verify";
  EXPECT_TRUE(testupd::Contains(r.err, "update.arc")) << "the damaged entry is not named";
  EXPECT_NE(SignatureCheck(dir / "changed.exe").code, 0)
      << "the signature still matched a changed file";
}

}  // namespace
