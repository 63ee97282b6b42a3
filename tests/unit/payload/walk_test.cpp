#include "payload/walk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unit/payload/payload_fixture.h"

namespace {

using testpayload::Recorder;
using testpayload::SampleData;
using testpayload::WalkArchive;
using testpayload::Writer;
using Events = std::vector<std::string>;

const std::string kImage(1536, 'M');

// install.env and a readme at the top, a game archive, then the DirectX
// folder with its files and a second-level folder with one more file.
Writer UpdateWithDirectX() {
  Writer w;
  w.File("install.env", "TITLE=x\r\n", 111);
  w.File("readme.txt", "read me", 222);
  w.File("update.arc", SampleData(200000), 333);
  w.Folder("DirectX\\");
  w.File("DirectX\\dxsetup.exe", SampleData(3000, 2), 444);
  w.File("DirectX\\dxdata.cab", SampleData(140000, 3), 555);
  w.Folder("DirectX\\sub\\");
  w.File("DirectX\\sub\\install.env", "not for the start-up", 666);
  return w;
}

TEST(PayloadWalk, EndMarkerOnlyWritesNothingInEitherMode) {
  std::string archive = Writer().Finish(kImage);
  for (int mode : {kPayloadFullMode, kPayloadStartupMode}) {
    Recorder r;
    EXPECT_EQ(WalkArchive(archive, mode, &r), 0);
    EXPECT_TRUE(r.events.empty());
  }
}

TEST(PayloadWalk, StartupModeTakesTheStartupFilesInAnyCase) {
  Writer w;
  w.File("readme.TXT", "readme");
  w.File("Install.Env", "env", 42);
  w.File("notes.txt.bak", "notes");
  w.File("update.arc", SampleData(5000));
  w.File("insttscr.rct", "picture");
  Recorder r;
  ASSERT_EQ(WalkArchive(w.Finish(kImage), kPayloadStartupMode, &r, "C:\\tmp\\work"), 0);
  EXPECT_EQ(r.events,
            (Events{"file C:\\tmp\\work\\readme.TXT", "file C:\\tmp\\work\\Install.Env",
                    "file C:\\tmp\\work\\notes.txt.bak", "file C:\\tmp\\work\\insttscr.rct"}));
  ASSERT_EQ(r.files.size(), 4u);
  EXPECT_EQ(r.files[0].data, "readme");
  EXPECT_EQ(r.files[1].data, "env");
  EXPECT_EQ(r.files[1].stamp, 42u);
  // The skipped archive's stream was passed over exactly: the next entry
  // after it was read from the right place.
  EXPECT_EQ(r.files[3].data, "picture");
}

TEST(PayloadWalk, StartupModeEndsQuietlyAtTheSecondLevelFolder) {
  Recorder r;
  Writer w = UpdateWithDirectX();
  // Garbage after the second-level folder is never read in start-up mode.
  std::string archive = w.Finish(kImage);
  ASSERT_EQ(WalkArchive(archive, kPayloadStartupMode, &r), 0);
  EXPECT_EQ(r.events, (Events{"file dest\\install.env", "file dest\\readme.txt"}));

  Writer broken = UpdateWithDirectX();
  broken.Header("after.txt", 5, 0x7FFFFFF0u);  // would fail if it were read
  Recorder r2;
  EXPECT_EQ(WalkArchive(broken.Finish(kImage), kPayloadStartupMode, &r2), 0);
  EXPECT_EQ(r2.events.size(), 2u);
}

TEST(PayloadWalk, FullModeCreatesFoldersInOrderAndWritesEveryFile) {
  Recorder r;
  ASSERT_EQ(WalkArchive(UpdateWithDirectX().Finish(kImage), kPayloadFullMode, &r, "C:\\Game"), 0);
  EXPECT_EQ(
      r.events,
      (Events{"file C:\\Game\\install.env", "file C:\\Game\\readme.txt",
              "file C:\\Game\\update.arc", "folder C:\\Game\\DirectX\\",
              "file C:\\Game\\DirectX\\dxsetup.exe", "file C:\\Game\\DirectX\\dxdata.cab",
              "folder C:\\Game\\DirectX\\sub\\", "file C:\\Game\\DirectX\\sub\\install.env"}));
  ASSERT_EQ(r.files.size(), 6u);
  EXPECT_EQ(r.files[2].data, SampleData(200000));
  EXPECT_EQ(r.files[4].data, SampleData(140000, 3));
  EXPECT_EQ(r.files[4].writes,
            (std::vector<uint32_t>{kPayloadChunkSize, 140000 - kPayloadChunkSize}));
  EXPECT_EQ(r.files[5].data, "not for the start-up");
  EXPECT_EQ(r.files[5].stamp, 666u);
}

TEST(PayloadWalk, WrongAdlerStopsTheWalkAtThatFile) {
  Writer w;
  w.File("a.txt", "first");
  std::string stream = testpayload::Deflate("second file");
  stream[stream.size() - 2] ^= 0x40;
  w.RawFile("b.txt", 11, stream);
  w.File("c.txt", "never");
  Recorder r;
  const char* reason = nullptr;
  EXPECT_EQ(WalkArchive(w.Finish(kImage), kPayloadFullMode, &r, "dest", &reason), -1);
  EXPECT_EQ(r.events, (Events{"file dest\\a.txt", "file dest\\b.txt"}));
  EXPECT_FALSE(r.files[1].ok);
  EXPECT_STREQ(reason, "file could not be written");
}

TEST(PayloadWalk, TruncatedArchiveFails) {
  // The archive cut short and a trailer put back: the last entry reaches
  // past the payload's end. And the archive cut without a trailer at all.
  Writer w = UpdateWithDirectX();
  std::string payload = w.Payload();
  for (size_t keep : {payload.size() - 5, payload.size() / 2, size_t{3}}) {
    std::string archive = kImage + payload.substr(0, keep);
    testpayload::Put32(&archive, static_cast<uint32_t>(kImage.size()));
    Recorder r;
    EXPECT_EQ(WalkArchive(archive, kPayloadFullMode, &r), -1) << keep;
    std::string bare = (kImage + payload).substr(0, kImage.size() + keep);
    Recorder r2;
    EXPECT_EQ(WalkArchive(bare, kPayloadFullMode, &r2), -1) << keep;
  }
}

TEST(PayloadWalk, ExecutableWithoutPayloadFails) {
  // Whatever the image's last four bytes say, nothing valid follows.
  for (uint32_t tail : {0u, 1u, 0x00905A4Du, 0x7FFFFFFFu, 0xFFFFFFFFu, 1500u}) {
    std::string image = kImage;
    testpayload::Put32(&image, tail);
    for (int mode : {kPayloadFullMode, kPayloadStartupMode}) {
      Recorder r;
      EXPECT_EQ(WalkArchive(image, mode, &r), -1) << tail;
      EXPECT_TRUE(r.events.empty());
    }
  }
}

TEST(PayloadWalk, UnsafeNamesFailBeforeAnythingIsWrittenForThem) {
  for (const char* name :
       {"..\\evil.txt", "sub\\..\\..\\evil.txt", "C:\\evil.txt", "\\evil.txt", "x:evil.txt"}) {
    Writer w;
    w.File("readme.txt", "ok");
    w.File(name, "evil");
    for (int mode : {kPayloadFullMode, kPayloadStartupMode}) {
      Recorder r;
      EXPECT_EQ(WalkArchive(w.Finish(kImage), mode, &r), -1) << name;
      EXPECT_EQ(r.events, Events{"file dest\\readme.txt"}) << name;
    }
  }
  Writer folder;
  folder.Folder("..\\");
  Recorder r;
  EXPECT_EQ(WalkArchive(folder.Finish(kImage), kPayloadFullMode, &r), -1);
  EXPECT_TRUE(r.events.empty());
}

TEST(PayloadWalk, OutputPathThatDoesNotFitFails) {
  Writer w;
  w.File(std::string(200, 'n') + ".txt", "x");
  std::string destination(56, 'd');  // 56 + 1 + 204 + NUL = 262 bytes
  Recorder r;
  const char* reason = nullptr;
  EXPECT_EQ(WalkArchive(w.Finish(kImage), kPayloadFullMode, &r, destination.c_str(), &reason), -1);
  EXPECT_TRUE(r.events.empty());
  EXPECT_STREQ(reason, "output path does not fit 260 bytes");
  // A destination two bytes shorter fits exactly.
  Recorder r2;
  EXPECT_EQ(WalkArchive(w.Finish(kImage), kPayloadFullMode, &r2, destination.substr(2).c_str()), 0);
  EXPECT_EQ(r2.files.size(), 1u);
}

// A work folder whose temp path could not be read is empty: writing
// "\install.env" at the drive's root instead must not happen.
TEST(PayloadWalk, EmptyDestinationFailsBeforeWritingAnything) {
  for (int mode : {kPayloadFullMode, kPayloadStartupMode}) {
    Recorder r;
    const char* reason = nullptr;
    EXPECT_EQ(WalkArchive(UpdateWithDirectX().Finish(kImage), mode, &r, "", &reason), -1);
    EXPECT_TRUE(r.events.empty());
    EXPECT_STREQ(reason, "no destination folder");
  }
}

}  // namespace

namespace {

// PayloadScan over an archive; the stream's position afterwards goes to *after.
int ScanArchive(const std::string& archive, const char* destination, long* after,
                const char** reason = nullptr) {
  FILE* f = testpayload::TempFileWith(archive);
  if (!f) return -2;
  PayloadLocation where{};
  int result = PayloadLocate(f, &where);
  long start = ftell(f);
  if (result == 0) result = PayloadScan(f, where.length, destination, IsLeadByte, reason);
  *after = ftell(f) - start;
  fclose(f);
  return result;
}

}  // namespace

// The full update checks the whole archive before it touches the game: a
// fault anywhere, the last entry included, is found without inflating, and
// the stream is back at the first entry either way.
TEST(PayloadScan, FindsFaultsAnywhereAndComesBackToTheFirstEntry) {
  long after = -1;
  EXPECT_EQ(ScanArchive(UpdateWithDirectX().Finish(kImage), "dest", &after), 0);
  EXPECT_EQ(after, 0);

  // Cut anywhere inside the entries: the trailer then points at nonsense
  // or an entry runs past the end.
  std::string archive = UpdateWithDirectX().Finish(kImage);
  for (size_t cut : {kImage.size() + 30, archive.size() - 9, archive.size() - 5}) {
    std::string cutArchive = archive.substr(0, cut);
    // Keep a trailer, as a download cut and then padded would.
    cutArchive += archive.substr(archive.size() - 4);
    EXPECT_EQ(ScanArchive(cutArchive, "dest", &after), -1) << cut;
  }

  // A name that fits only the first entries' paths: the last file's path is
  // 261 bytes with its NUL.
  Writer w;
  w.File("short.txt", "x");
  w.File(std::string(200, 'n') + ".txt", "x");
  std::string destination(56, 'd');
  const char* reason = nullptr;
  EXPECT_EQ(ScanArchive(w.Finish(kImage), destination.c_str(), &after, &reason), -1);
  EXPECT_STREQ(reason, "output path does not fit 260 bytes");
  EXPECT_EQ(after, 0);
  EXPECT_EQ(ScanArchive(w.Finish(kImage), destination.substr(2).c_str(), &after), 0);
  EXPECT_EQ(ScanArchive(w.Finish(kImage), "", &after), -1);
}

namespace {

// A delta entry between files: "UDLT" and filler, as much as a header.
Writer UpdateWithDelta() {
  Writer w;
  w.File("install.env", "TITLE=x\r\n", 111);
  w.RawFile("notes.txt", kPayloadDeltaSize,
            std::string(kDeltaMagic, 4) + std::string(kDeltaHeaderBytes + 10, 'D'), 7);
  w.File("readme.txt", "read me", 222);
  return w;
}

// The recorder plus the deltas handed over. Every callback's context is
// the Recorder part.
struct DeltaSeen : Recorder {
  std::vector<std::string> paths;
  std::vector<uint32_t> positions;
  int result = 0;
  static DeltaSeen* From(void* context) {
    return static_cast<DeltaSeen*>(static_cast<Recorder*>(context));
  }
};

// Reads the whole entry, as an applier would.
int ApplyDelta(void* context, FILE* stream, const PayloadEntry& entry, const char* path,
               uint32_t position) {
  DeltaSeen* seen = DeltaSeen::From(context);
  seen->paths.push_back(path);
  seen->positions.push_back(position);
  std::string data(kPayloadTimeStampBytes + entry.packedSize, '\0');
  if (fread(&data[0], 1, data.size(), stream) != data.size()) return 1;
  return seen->result;
}

int VisitDelta(void* context, FILE* stream, const PayloadEntry& entry, const char* path) {
  DeltaSeen* seen = DeltaSeen::From(context);
  seen->paths.push_back(path);
  char magic[12] = {};
  if (fread(magic, 1, sizeof magic, stream) != sizeof magic) return 1;
  EXPECT_EQ(std::string(magic + 8, 4), "UDLT") << entry.name;
  return seen->result;
}

}  // namespace

// The start-up never writes a delta, whatever its name; the full walk hands
// it to its own callback (or fails without one) and goes on after it.
TEST(PayloadWalk, DeltaEntriesGoToTheirOwnCallback) {
  std::string archive = UpdateWithDelta().Finish(kImage);
  Recorder r;
  ASSERT_EQ(WalkArchive(archive, kPayloadStartupMode, &r), 0);
  EXPECT_EQ(r.events, (Events{"file dest\\install.env", "file dest\\readme.txt"}));

  Recorder full;
  const char* reason = nullptr;
  EXPECT_EQ(WalkArchive(archive, kPayloadFullMode, &full, "dest", &reason), -1);
  EXPECT_STREQ(reason, "delta entries are not applied here");
  EXPECT_EQ(full.events, (Events{"file dest\\install.env"}));

  for (int result : {0, 1}) {
    FILE* f = testpayload::TempFileWith(archive);
    PayloadLocation where{};
    ASSERT_EQ(PayloadLocate(f, &where), 0);
    DeltaSeen seen;
    seen.result = result;
    PayloadWalkOps ops{static_cast<Recorder*>(&seen), IsLeadByte, Recorder::MakeFolder,
                       Recorder::ExtractFile, ApplyDelta};
    EXPECT_EQ(PayloadWalk(f, where.length, "dest", kPayloadFullMode, ops), result ? -1 : 0);
    EXPECT_EQ(seen.paths, (Events{"dest\\notes.txt"}));
    // After install.env's header, time stamp and stream, and the delta's header.
    Writer first;
    first.File("install.env", "TITLE=x\r\n", 111);
    ASSERT_EQ(seen.positions.size(), 1u);
    EXPECT_EQ(seen.positions[0], first.entries.size() + 2 + 10 + 8);
    EXPECT_EQ(seen.events.size(), result ? 1u : 2u);
    if (!result) {
      EXPECT_EQ(seen.files.back().data, "read me");
    }
    fclose(f);
  }
}

// The scan shows each delta to the visitor (which may read on) before
// anything is written, fails when the visitor does, and comes back.
TEST(PayloadScan, ShowsEveryDeltaToTheVisitor) {
  std::string archive = UpdateWithDelta().Finish(kImage);
  for (int result : {0, 1}) {
    for (const char* destination : {"dest", static_cast<const char*>(nullptr)}) {
      FILE* f = testpayload::TempFileWith(archive);
      PayloadLocation where{};
      ASSERT_EQ(PayloadLocate(f, &where), 0);
      long start = ftell(f);
      DeltaSeen seen;
      seen.result = result;
      PayloadScanVisitor visitor{static_cast<Recorder*>(&seen), VisitDelta, nullptr};
      const char* reason = nullptr;
      EXPECT_EQ(PayloadScan(f, where.length, destination, IsLeadByte, &reason, &visitor),
                result ? -1 : 0);
      if (result) {
        EXPECT_STREQ(reason, "delta base does not match");
      }
      EXPECT_EQ(seen.paths, (Events{destination ? "dest\\notes.txt" : "notes.txt"}));
      EXPECT_EQ(ftell(f), start);
      fclose(f);
    }
  }
  // Every file entry, whole or delta, in order; folders are not files.
  Writer w = UpdateWithDelta();
  w.Folder("bgm");
  w.File("bgm\\a.ogg", "ogg", 333);
  FILE* f = testpayload::TempFileWith(w.Finish(kImage));
  PayloadLocation where{};
  ASSERT_EQ(PayloadLocate(f, &where), 0);
  Events files;
  PayloadScanVisitor lister{&files, nullptr,
                            [](void* context, const PayloadEntry&, const char* path) {
                              static_cast<Events*>(context)->push_back(path);
                            }};
  EXPECT_EQ(PayloadScan(f, where.length, "dest", IsLeadByte, nullptr, &lister), 0);
  EXPECT_EQ(files, (Events{"dest\\install.env", "dest\\notes.txt", "dest\\readme.txt",
                           "dest\\bgm\\a.ogg"}));
  fclose(f);
  // Without a visitor the scan passes deltas by.
  long after = -1;
  EXPECT_EQ(ScanArchive(archive, "dest", &after), 0);
}
