#include "payload/delta_source.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "unit/payload/payload_fixture.h"
#include "updpack/delta/delta_encode.h"

namespace {

using testpayload::SampleData;
using testpayload::TempFileWith;

// A file in memory that counts its seeks and may give short reads.
struct FakeFile {
  std::string bytes;
  int64_t at = 0;
  int seeks = 0;
  uint32_t readLimit = 0xFFFFFFFFu;  // bytes one read call gives at most
  uint32_t failAfter = 0xFFFFFFFFu;  // bytes in all before reads give nothing
  uint32_t delivered = 0;
};

int FakeSeek(void* handle, int64_t offset) {
  FakeFile* f = static_cast<FakeFile*>(handle);
  f->seeks++;
  f->at = offset;
  return 0;
}

uint32_t FakeRead(void* handle, unsigned char* data, uint32_t size) {
  FakeFile* f = static_cast<FakeFile*>(handle);
  int64_t left = static_cast<int64_t>(f->bytes.size()) - f->at;
  uint64_t n = size;
  if (n > f->readLimit) n = f->readLimit;
  if (static_cast<int64_t>(n) > left) n = left < 0 ? 0 : left;
  if (n > f->failAfter - f->delivered) n = f->failAfter - f->delivered;
  memcpy(data, f->bytes.data() + f->at, n);
  f->at += n;
  f->delivered += static_cast<uint32_t>(n);
  return static_cast<uint32_t>(n);
}

std::string Read(const DeltaReader& r, uint32_t offset, uint32_t size, int* result) {
  std::string out(size, '\0');
  *result = r.readAt(r.context, offset, reinterpret_cast<unsigned char*>(&out[0]), size);
  return out;
}

TEST(DeltaSource, ReadsTheRegionFromItsOriginSeekingOnlyWhenItMustAndNeverPastItsEnd) {
  FakeFile file;
  file.bytes = "HEADER" + std::string("0123456789") + "TRAILER";
  file.readLimit = 3;  // short reads are gathered
  DeltaSource source;
  DeltaSourceInit(&source, &file, FakeSeek, FakeRead, 6, 10);
  DeltaReader r = DeltaSourceReader(&source);
  int result = -9;
  EXPECT_EQ(Read(r, 0, 4, &result), "0123");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Read(r, 4, 6, &result), "456789") << "up to the region's last byte";
  EXPECT_EQ(result, 0);
  EXPECT_EQ(file.seeks, 1) << "the second read follows the first";
  EXPECT_EQ(Read(r, 2, 3, &result), "234");
  EXPECT_EQ(file.seeks, 2);

  // One byte past the region, an offset past it, and a size that wraps.
  int seeks = file.seeks;
  Read(r, 5, 6, &result);
  EXPECT_NE(result, 0);
  Read(r, 11, 0, &result);
  EXPECT_NE(result, 0);
  unsigned char byte;
  EXPECT_NE(r.readAt(r.context, 1, &byte, 0xFFFFFFFFu), 0);
  EXPECT_EQ(file.seeks, seeks) << "refused before the file is touched";
  EXPECT_EQ(Read(r, 10, 0, &result), "");
  EXPECT_EQ(result, 0) << "an empty read at the end";
}

TEST(DeltaSource, AReadThatFallsShortFailsAndTheNextOneSeeksAgain) {
  FakeFile file;
  file.bytes = SampleData(100);
  file.failAfter = 30;
  DeltaSource source;
  DeltaSourceInit(&source, &file, FakeSeek, FakeRead, 0, 100);
  DeltaReader r = DeltaSourceReader(&source);
  int result = 0;
  Read(r, 0, 40, &result);
  EXPECT_NE(result, 0);
  file.failAfter = 0xFFFFFFFFu;
  EXPECT_EQ(Read(r, 40, 10, &result), file.bytes.substr(40, 10));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(file.seeks, 2) << "the position after a short read is not trusted";
}

// A delta entry in a file among other bytes: its header is read after the
// time stamp, and DeltaApply, reading the three streams and the base
// through stdio sources, makes the new file over several chunks.
TEST(DeltaSource, AppliesADeltaEntryFromAFileAgainstABaseFile) {
  std::string base = SampleData(3 * kPayloadChunkSize + 1000, 5);
  std::string next = base.substr(0, 200000) + SampleData(5000, 9) + base.substr(200000);
  next[1000] ^= 0x55;
  next.resize(next.size() - 777);
  std::vector<unsigned char> delta;
  ASSERT_EQ(DeltaEncode(reinterpret_cast<const unsigned char*>(base.data()),
                        static_cast<uint32_t>(base.size()),
                        reinterpret_cast<const unsigned char*>(next.data()),
                        static_cast<uint32_t>(next.size()), DeltaEncodeOptions(), &delta),
            0);
  std::string entry;
  testpayload::Put64(&entry, 0x01D2030405060708ull);
  entry.append(delta.begin(), delta.end());
  const std::string before(333, 'x');
  FILE* payload = TempFileWith(before + entry + "after");
  FILE* baseFile = TempFileWith(base);
  ASSERT_TRUE(payload && baseFile);
  fseek(payload, static_cast<long>(before.size()), SEEK_SET);

  uint64_t stamp = 0;
  DeltaHeader header;
  int64_t start = 0;
  uint32_t packed = static_cast<uint32_t>(delta.size());
  ASSERT_EQ(DeltaEntryBegin(payload, packed, &stamp, &header, &start), kDeltaOk);
  EXPECT_EQ(stamp, 0x01D2030405060708ull);
  EXPECT_EQ(start, static_cast<int64_t>(before.size() + 8));
  EXPECT_EQ(header.newSize, next.size());

  DeltaSource deltaSource, baseSource;
  DeltaSourceOnStdio(&deltaSource, payload, start, packed);
  DeltaSourceOnStdio(&baseSource, baseFile, 0, static_cast<uint32_t>(base.size()));
  std::string out;
  PayloadSink sink{&out,
                   [](void* c, const unsigned char* d, uint32_t n) {
                     static_cast<std::string*>(c)->append(reinterpret_cast<const char*>(d), n);
                     return 0;
                   },
                   nullptr};
  uint32_t written = 0;
  EXPECT_EQ(DeltaApply(header, DeltaSourceReader(&deltaSource), DeltaSourceReader(&baseSource),
                       static_cast<uint32_t>(base.size()), sink, 0, &written),
            kDeltaOk);
  EXPECT_TRUE(out == next);

  // The entry cut by one byte: its header no longer accounts for it.
  fseek(payload, static_cast<long>(before.size()), SEEK_SET);
  EXPECT_EQ(DeltaEntryBegin(payload, packed - 1, &stamp, &header, &start), kDeltaBadHeader);
  fclose(payload);
  fclose(baseFile);
}

}  // namespace
