#include "payload/entry.h"

#include <gtest/gtest.h>

#include <string>

#include "unit/payload/payload_fixture.h"

namespace {

using testpayload::Put16;
using testpayload::Put32;
using testpayload::Recorder;
using testpayload::TempFileWith;
using testpayload::Writer;

const std::string kImage = "MZ fake image bytes";

// Reads the first entry of the archive's payload.
int ReadFirst(const std::string& archive, PayloadEntry* entry, const char** reason = nullptr,
              int flags = 0) {
  FILE* f = TempFileWith(archive);
  PayloadLocation where{};
  int result = PayloadLocate(f, &where);
  if (result == 0) result = PayloadReadEntry(f, where.length, entry, IsLeadByte, reason, flags);
  fclose(f);
  return result;
}

// The raw header bytes of an entry, then the end marker and a trailer.
std::string ArchiveWithRawEntry(const std::string& raw) {
  std::string out = kImage + raw + std::string(4, '\0');
  Put32(&out, static_cast<uint32_t>(kImage.size()));
  return out;
}

TEST(PayloadLocate, FindsTheFirstEntryAndTheLengthUpToTheTrailer) {
  Writer w;
  w.File("a.txt", "hello");
  std::string archive = w.Finish(kImage);
  FILE* f = TempFileWith(archive);
  PayloadLocation where{};
  ASSERT_EQ(PayloadLocate(f, &where), 0);
  EXPECT_EQ(where.first, kImage.size());
  EXPECT_EQ(where.length, w.Payload().size());
  EXPECT_EQ(ftell(f), static_cast<long>(kImage.size()));
  fclose(f);
}

TEST(PayloadLocate, RejectsFilesWithoutAPlausibleTrailer) {
  PayloadLocation where{};
  // Shorter than a trailer.
  FILE* f = TempFileWith("abc");
  EXPECT_EQ(PayloadLocate(f, &where), -1);
  fclose(f);
  // An executable with no payload: its last four bytes point beyond them.
  f = TempFileWith(kImage + "\xff\xff\xff\x7f");
  EXPECT_EQ(PayloadLocate(f, &where), -1);
  fclose(f);
  // P exactly at the trailer: a payload of zero bytes, which the entry
  // reader then rejects for want of an end marker.
  std::string empty = kImage;
  Put32(&empty, static_cast<uint32_t>(kImage.size()));
  f = TempFileWith(empty);
  ASSERT_EQ(PayloadLocate(f, &where), 0);
  EXPECT_EQ(where.length, 0u);
  PayloadEntry entry;
  EXPECT_EQ(PayloadReadEntry(f, where.length, &entry, IsLeadByte), kPayloadCorrupt);
  fclose(f);
}

// A PE32 header whose security directory a signing tool fills in: DOS
// header, "PE\0\0", COFF header, optional header with 16 directories.
std::string PeImage(size_t extra) {
  std::string image(64 + 4 + 20 + 224, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  image[0x3C] = 64;
  image.replace(64, 4, std::string("PE\0\0", 4));
  image[64 + 4 + 16] = static_cast<char>(224);  // size of the optional header
  image[88] = 0x0B;                             // PE32 magic 0x10B
  image[89] = 0x01;
  image[88 + 92] = 16;  // number of directories
  return image + std::string(extra, 'i');
}

// Signs the archive the way signing tools do: zero padding up to an 8-byte
// boundary, the certificate table after it, the security directory set.
std::string Sign(std::string archive, uint32_t tableSize) {
  archive.append((8 - archive.size() % 8) % 8, '\0');
  std::string directory;
  Put32(&directory, static_cast<uint32_t>(archive.size()));
  Put32(&directory, tableSize);
  archive.replace(88 + 96 + 4 * 8, 8, directory);
  return archive + std::string(tableSize, 'c');
}

TEST(PayloadLocate, FindsThePayloadOfASignedFileWhateverThePadding) {
  Writer w;
  w.Folder("DirectX\\");
  w.File("DirectX\\dx.cab", std::string(300, 'x'));
  for (size_t extra = 0; extra < 8; ++extra) {
    std::string image = PeImage(extra);
    std::string archive = Sign(w.Finish(image), 1024);
    FILE* f = TempFileWith(archive);
    PayloadLocation where{};
    ASSERT_EQ(PayloadLocate(f, &where), 0) << extra;
    EXPECT_EQ(where.first, image.size());
    EXPECT_EQ(where.length, w.Payload().size());
    EXPECT_EQ(where.certificateBytes, 1024u);
    Recorder r;
    PayloadWalkOps ops{&r, IsLeadByte, Recorder::MakeFolder, Recorder::ExtractFile, nullptr};
    EXPECT_EQ(PayloadWalk(f, where.length, "d", kPayloadFullMode, ops), 0) << extra;
    ASSERT_EQ(r.files.size(), 1u);
    EXPECT_EQ(r.files[0].data, std::string(300, 'x'));
    fclose(f);
  }
  // A table that does not end the file, or hides no payload, is not looked
  // into: such files read as unsigned ones do.
  std::string signedArchive = Sign(w.Finish(PeImage(3)), 64);
  FILE* f = TempFileWith(signedArchive + "tail");
  PayloadLocation where{};
  EXPECT_EQ(PayloadLocate(f, &where), -1);
  fclose(f);
  std::string bare = Sign(PeImage(5), 64);
  f = TempFileWith(bare);
  EXPECT_EQ(PayloadLocate(f, &where), -1);
  fclose(f);
}

TEST(PayloadReadEntry, ReadsFileAndFolderHeaders) {
  Writer w;
  w.Folder("DirectX\\");
  w.File("DirectX\\dx.cab", std::string(1000, 'x'), 1234);
  std::string archive = w.Finish(kImage);
  FILE* f = TempFileWith(archive);
  PayloadLocation where{};
  ASSERT_EQ(PayloadLocate(f, &where), 0);
  PayloadEntry entry;
  ASSERT_EQ(PayloadReadEntry(f, where.length, &entry, IsLeadByte), kPayloadEntryRead);
  EXPECT_STREQ(entry.name, "DirectX\\");
  EXPECT_EQ(entry.nameLength, 9u);
  EXPECT_TRUE(PayloadIsFolder(entry));
  EXPECT_EQ(PayloadHeaderBytes(entry), 19u);
  EXPECT_EQ(PayloadDataBytes(entry), 0u);
  uint32_t left = where.length - PayloadHeaderBytes(entry);
  ASSERT_EQ(PayloadReadEntry(f, left, &entry, IsLeadByte), kPayloadEntryRead);
  EXPECT_STREQ(entry.name, "DirectX\\dx.cab");
  EXPECT_FALSE(PayloadIsFolder(entry));
  EXPECT_EQ(entry.size, 1000u);
  EXPECT_EQ(PayloadDataBytes(entry), 8u + entry.packedSize);
  fseek(f, static_cast<long>(PayloadDataBytes(entry)), SEEK_CUR);
  left -= PayloadHeaderBytes(entry) + PayloadDataBytes(entry);
  EXPECT_EQ(left, 4u);
  EXPECT_EQ(PayloadReadEntry(f, left, &entry, IsLeadByte), kPayloadEndReached);
  fclose(f);
}

TEST(PayloadReadEntry, EndMarkerMustBeFourZeroBytesRightBeforeTheTrailer) {
  PayloadEntry entry;
  const char* reason = nullptr;
  // Zero name length with bytes after the end marker.
  std::string early = kImage + std::string(4, '\0') + "junk" + std::string(4, '\0');
  Put32(&early, static_cast<uint32_t>(kImage.size()));
  EXPECT_EQ(ReadFirst(early, &entry, &reason), kPayloadCorrupt);
  EXPECT_STREQ(reason, "end marker is not at the payload's end");
  // Zero name length followed by non-zero bytes.
  std::string dirty = kImage + std::string("\0\0\1\0", 4);
  Put32(&dirty, static_cast<uint32_t>(kImage.size()));
  EXPECT_EQ(ReadFirst(dirty, &entry), kPayloadCorrupt);
}

TEST(PayloadReadEntry, NameLengthLimitIs260WithItsNul) {
  PayloadEntry entry;
  Writer ok;
  ok.File(std::string(259, 'n'), "x");
  ASSERT_EQ(ReadFirst(ok.Finish(kImage), &entry), kPayloadEntryRead);
  EXPECT_EQ(entry.nameLength, 260u);
  EXPECT_EQ(std::string(entry.name), std::string(259, 'n'));

  Writer tooLong;
  tooLong.File(std::string(260, 'n'), "x");
  const char* reason = nullptr;
  EXPECT_EQ(ReadFirst(tooLong.Finish(kImage), &entry, &reason), kPayloadCorrupt);
  EXPECT_STREQ(reason, "name length over 260");
}

TEST(PayloadReadEntry, NameMustEndWithItsNul) {
  std::string raw;
  Put16(&raw, 5);
  raw += "a.txt";  // five bytes, no terminator among them
  Put32(&raw, 0xFFFFFFFFu);
  Put32(&raw, 0);
  PayloadEntry entry;
  const char* reason = nullptr;
  EXPECT_EQ(ReadFirst(ArchiveWithRawEntry(raw), &entry, &reason), kPayloadCorrupt);
  EXPECT_STREQ(reason, "name is not terminated");
}

TEST(PayloadReadEntry, SizesOf2To31OrMoreAreCorrupt) {
  PayloadEntry entry;
  Writer bigSize;
  bigSize.RawFile("a.bin", 0x80000000u, testpayload::Deflate("x"));
  EXPECT_EQ(ReadFirst(bigSize.Finish(kImage), &entry), kPayloadCorrupt);

  Writer maxSize;
  maxSize.RawFile("a.bin", 0x7FFFFFFFu, testpayload::Deflate("x"));
  EXPECT_EQ(ReadFirst(maxSize.Finish(kImage), &entry), kPayloadEntryRead);

  std::string raw;
  Put16(&raw, 6);
  raw += std::string("a.bin", 6);
  Put32(&raw, 1);
  Put32(&raw, 0x80000000u);
  EXPECT_EQ(ReadFirst(ArchiveWithRawEntry(raw), &entry), kPayloadCorrupt);
}

TEST(PayloadReadEntry, FolderPackedSizeIsNotUsed) {
  std::string raw;
  Put16(&raw, 5);
  raw += std::string("dir\\", 5);
  Put32(&raw, 0xFFFFFFFFu);
  Put32(&raw, 0xFFFFFFF0u);  // meaningless, and nothing follows the header
  PayloadEntry entry;
  EXPECT_EQ(ReadFirst(ArchiveWithRawEntry(raw), &entry), kPayloadEntryRead);
  EXPECT_TRUE(PayloadIsFolder(entry));
}

TEST(PayloadReadEntry, EntriesMayNotReachPastThePayload) {
  // A packed size larger than what is left before the trailer.
  std::string stream = testpayload::Deflate("hello");
  Writer w;
  w.Header("a.txt", 5, static_cast<uint32_t>(stream.size() + 10));
  testpayload::Put64(&w.entries, 0);
  w.entries += stream;
  PayloadEntry entry;
  const char* reason = nullptr;
  EXPECT_EQ(ReadFirst(w.Finish(kImage), &entry, &reason), kPayloadCorrupt);
  EXPECT_STREQ(reason, "entry runs past the payload's end");
}

TEST(PayloadReadEntry, ShortReadsAreCorrupt) {
  // The header stops inside the name, inside the sizes, before the length:
  // the trailer claims a payload longer than the file holds.
  Writer w;
  w.File("readme.txt", "text");
  std::string payload = w.Payload();
  for (size_t cut : {size_t{1}, size_t{5}, size_t{13}, size_t{18}}) {
    std::string archive = kImage + payload.substr(0, cut);
    FILE* f = TempFileWith(archive);
    fseek(f, static_cast<long>(kImage.size()), SEEK_SET);
    PayloadEntry entry;
    EXPECT_EQ(PayloadReadEntry(f, static_cast<uint32_t>(payload.size()), &entry, IsLeadByte),
              kPayloadCorrupt)
        << "cut at " << cut;
    fclose(f);
  }
}

TEST(PayloadReadEntry, UnsafeNamesAreCorrupt) {
  Writer file;
  file.File("a\\..\\..\\evil.txt", "x");
  PayloadEntry entry;
  const char* reason = nullptr;
  EXPECT_EQ(ReadFirst(file.Finish(kImage), &entry, &reason), kPayloadCorrupt);
  EXPECT_STREQ(reason, "name leaves the destination folder");
  Writer folder;
  folder.Folder("C:\\");
  EXPECT_EQ(ReadFirst(folder.Finish(kImage), &entry), kPayloadCorrupt);
}

TEST(PayloadNameIsSafe, RefusesNamesThatLeaveTheDestination) {
  for (const char* name :
       {"..\\evil.txt", "a\\..\\..\\evil.txt", "C:\\evil.txt", "C:evil.txt", "\\evil.txt",
        "\\\\server\\share\\x", "/etc/evil", "a/../../b", "file.txt:stream", "a\\\\b.txt", ".\\x",
        "a\\. \\b", "...\\x", "..", "dir\\.."}) {
    EXPECT_FALSE(PayloadNameIsSafe(name, false, IsLeadByte)) << name;
    EXPECT_FALSE(PayloadNameIsSafe(name, true, IsLeadByte)) << name;
  }
  for (const char* name : {"..\\", "C:\\", "\\\\server\\share\\", "a\\..\\", "a\\\\"}) {
    EXPECT_FALSE(PayloadNameIsSafe(name, true, IsLeadByte)) << name;
  }
}

TEST(PayloadNameIsSafe, RefusesTheUpdatersStagingFolderAtTheTopOnly) {
  for (const char* name : {"~updtxn", "~UPDTXN\\", "~UpdTxn\\x.dat", "~updtxn. .\\x", "~updtxn "}) {
    EXPECT_FALSE(PayloadNameIsSafe(name, true, IsLeadByte)) << name;
  }
  EXPECT_FALSE(PayloadNameIsSafe("~updtxn\\journal", false, IsLeadByte));
  for (const char* name : {"data\\~updtxn", "~updtxn2", "~updtx", "x~updtxn", "~updtxn.d\\"}) {
    EXPECT_TRUE(PayloadNameIsSafe(name, true, IsLeadByte)) << name;
  }
}

TEST(PayloadNameIsSafe, AcceptsOrdinaryRelativeNames) {
  EXPECT_TRUE(PayloadNameIsSafe("readme.txt", false, IsLeadByte));
  EXPECT_TRUE(PayloadNameIsSafe("DirectX\\dxsetup.exe", false, IsLeadByte));
  EXPECT_TRUE(PayloadNameIsSafe("DirectX\\", true, IsLeadByte));
  EXPECT_TRUE(PayloadNameIsSafe("DirectX\\sub\\", true, IsLeadByte));
  EXPECT_TRUE(PayloadNameIsSafe("DirectX", true, IsLeadByte));
  EXPECT_TRUE(PayloadNameIsSafe("..data", false, IsLeadByte));
  EXPECT_TRUE(PayloadNameIsSafe("a..b\\c.d", false, IsLeadByte));
  // 表 and ソ end with the backslash's code: no separator, no empty component.
  EXPECT_TRUE(PayloadNameIsSafe("\x95\x5c\\\x83\x5c.txt", false, IsLeadByte));
  EXPECT_TRUE(PayloadNameIsSafe("\x95\x5c\\", true, IsLeadByte));
  // A name may not be empty, and a file may not end with a separator.
  EXPECT_FALSE(PayloadNameIsSafe("", false, IsLeadByte));
  EXPECT_FALSE(PayloadNameIsSafe("", true, IsLeadByte));
  EXPECT_FALSE(PayloadNameIsSafe("dir\\", false, IsLeadByte));
}

}  // namespace

namespace {

// A delta entry (format.h) is refused by a reader that does not know it,
// and its stream is no zlib stream either, should one take it for a file.
TEST(PayloadReadEntry, RefusesADeltaEntry) {
  std::string delta = std::string(kDeltaMagic, 4) + std::string(kDeltaHeaderBytes - 4, '\0');
  std::string raw;
  Put16(&raw, 6);
  raw += std::string("a.arc", 6);  // NUL included
  Put32(&raw, kPayloadDeltaSize);
  Put32(&raw, static_cast<uint32_t>(delta.size()));
  raw += std::string(8, '\0') + delta;
  PayloadEntry entry;
  EXPECT_EQ(ReadFirst(ArchiveWithRawEntry(raw), &entry), kPayloadCorrupt);

  // A reader that knows deltas reads it, as long as the stream can hold the
  // delta's header and the name is safe.
  ASSERT_EQ(ReadFirst(ArchiveWithRawEntry(raw), &entry, nullptr, kPayloadDeltasKnown),
            kPayloadEntryRead);
  EXPECT_TRUE(PayloadIsDelta(entry));
  EXPECT_FALSE(PayloadIsFolder(entry));
  EXPECT_EQ(PayloadDataBytes(entry), kPayloadTimeStampBytes + kDeltaHeaderBytes);
  std::string shortRaw = raw;
  shortRaw[6 + 2 + 4] = static_cast<char>(kDeltaHeaderBytes - 1);
  shortRaw.pop_back();
  const char* reason = nullptr;
  EXPECT_EQ(ReadFirst(ArchiveWithRawEntry(shortRaw), &entry, &reason, kPayloadDeltasKnown),
            kPayloadCorrupt);
  EXPECT_STREQ(reason, "delta shorter than its header");
  std::string unsafe = raw;
  unsafe[2] = '.';
  unsafe[3] = '.';
  unsafe[4] = '\\';
  EXPECT_EQ(ReadFirst(ArchiveWithRawEntry(unsafe), &entry, nullptr, kPayloadDeltasKnown),
            kPayloadCorrupt);
  // Only that one value is a delta: the size below it is still refused.
  std::string big = raw;
  big[6 + 2] = static_cast<char>(0xFD);
  EXPECT_EQ(ReadFirst(ArchiveWithRawEntry(big), &entry, nullptr, kPayloadDeltasKnown),
            kPayloadCorrupt);

  std::string stream = delta;
  FILE* f = TempFileWith(stream);
  std::vector<unsigned char> in(kPayloadChunkSize), out(kPayloadChunkSize);
  std::string written;
  PayloadSink sink{&written,
                   [](void* c, const unsigned char* d, uint32_t n) {
                     static_cast<std::string*>(c)->append(reinterpret_cast<const char*>(d), n);
                     return 0;
                   },
                   nullptr};
  uint32_t count = 0;
  EXPECT_EQ(PayloadInflateEntry(f, static_cast<uint32_t>(stream.size()), 0, in.data(), out.data(),
                                sink, &count),
            1);
  EXPECT_EQ(count, 0u);
  fclose(f);
}

}  // namespace
