#include "payload/inflate_entry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unit/payload/payload_fixture.h"

namespace {

using testpayload::Deflate;
using testpayload::SampleData;
using testpayload::TempFileWith;

struct Output {
  std::string data;
  std::vector<uint32_t> writes;
  std::vector<std::pair<uint32_t, uint32_t>> progress;  // (written, position)
  int failAtWrite = -1;
};

int RecordWrite(void* context, const unsigned char* data, uint32_t size) {
  Output* o = static_cast<Output*>(context);
  if (static_cast<int>(o->writes.size()) == o->failAtWrite) return 1;
  o->data.append(reinterpret_cast<const char*>(data), size);
  o->writes.push_back(size);
  return 0;
}

void RecordProgress(void* context, uint32_t written, uint32_t position) {
  static_cast<Output*>(context)->progress.emplace_back(written, position);
}

struct Result {
  int code;
  uint32_t written;
  const char* reason;
  long consumed;  // file position afterwards
};

// Inflates the stream (placed after some filler) with a packed size.
Result Inflate(const std::string& stream, uint32_t packed, Output* out, uint32_t position = 0) {
  const std::string filler = "0123456789";
  FILE* f = TempFileWith(filler + stream);
  fseek(f, static_cast<long>(filler.size()), SEEK_SET);
  std::vector<unsigned char> in(kPayloadChunkSize), buf(kPayloadChunkSize);
  PayloadSink sink{out, RecordWrite, RecordProgress};
  Result r{};
  r.reason = nullptr;
  r.code = PayloadInflateEntry(f, packed, position, in.data(), buf.data(), sink, &r.written,
                               &r.reason);
  r.consumed = ftell(f) - static_cast<long>(filler.size());
  fclose(f);
  return r;
}

Result Inflate(const std::string& stream, Output* out, uint32_t position = 0) {
  return Inflate(stream, static_cast<uint32_t>(stream.size()), out, position);
}

TEST(PayloadInflateEntry, ExactChunkIsOneWriteWithNoEmptyWriteAfter) {
  std::string data = SampleData(kPayloadChunkSize);
  Output out;
  Result r = Inflate(Deflate(data), &out);
  ASSERT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(out.writes, std::vector<uint32_t>{kPayloadChunkSize});
  EXPECT_EQ(out.data, data);
  EXPECT_EQ(r.written, kPayloadChunkSize);
  ASSERT_EQ(out.progress.size(), 1u);
  EXPECT_EQ(out.progress[0].first, kPayloadChunkSize);
}

TEST(PayloadInflateEntry, LargeFileGoesInFullChunksAndARest) {
  // Incompressible enough that the input also takes several chunks.
  std::string data;
  for (uint32_t i = 0; i < 3; ++i) data += SampleData(kPayloadChunkSize, i + 7);
  data += SampleData(1000, 99);
  std::string stream = Deflate(data, 1);
  ASSERT_GT(stream.size(), kPayloadChunkSize);
  Output out;
  Result r = Inflate(stream, &out, 500);
  ASSERT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(out.data, data);
  EXPECT_EQ(out.writes, (std::vector<uint32_t>{kPayloadChunkSize, kPayloadChunkSize,
                                               kPayloadChunkSize, 1000}));
  EXPECT_EQ(r.consumed, static_cast<long>(stream.size()));
  // Progress after each write: the bytes written so far and the position
  // counting the input chunks read by then, ending with all of them.
  ASSERT_EQ(out.progress.size(), 4u);
  uint32_t lastPosition = 500;
  for (size_t i = 0; i < out.progress.size(); ++i) {
    EXPECT_EQ(out.progress[i].first, i < 3 ? (i + 1) * kPayloadChunkSize : data.size());
    EXPECT_GE(out.progress[i].second, lastPosition);
    EXPECT_LE(out.progress[i].second, 500 + stream.size());
    EXPECT_EQ((out.progress[i].second - 500) % kPayloadChunkSize == 0 ||
                  out.progress[i].second == 500 + stream.size(),
              true);
    lastPosition = out.progress[i].second;
  }
  EXPECT_EQ(out.progress.back().second, 500 + stream.size());
}

TEST(PayloadInflateEntry, EmptyFileIsAnEightByteStream) {
  std::string stream = Deflate("");
  ASSERT_EQ(stream.size(), 8u);
  Output out;
  Result r = Inflate(stream, &out);
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(out.writes.empty());
  EXPECT_TRUE(out.progress.empty());
  EXPECT_EQ(r.written, 0u);
}

TEST(PayloadInflateEntry, PackedSizeZeroRunsOutOfInput) {
  Output out;
  Result r = Inflate(Deflate(""), 0, &out);
  EXPECT_EQ(r.code, 1);
  EXPECT_STREQ(r.reason, "stream is cut short");
  EXPECT_EQ(r.consumed, 0);
}

TEST(PayloadInflateEntry, WrongAdlerFailsAfterTheDataIsWritten) {
  std::string data = SampleData(kPayloadChunkSize + 300);
  std::string stream = Deflate(data);
  stream[stream.size() - 1] ^= 0x01;
  Output out;
  Result r = Inflate(stream, &out);
  EXPECT_EQ(r.code, 1);
  EXPECT_STREQ(r.reason, "incorrect data check");
  // The full chunk went out before the check failed; the rest never did.
  EXPECT_EQ(out.writes, std::vector<uint32_t>{kPayloadChunkSize});
}

TEST(PayloadInflateEntry, CorruptOrCutStreamsFail) {
  std::string stream = Deflate(SampleData(5000));
  Output cut;
  Result r = Inflate(stream.substr(0, stream.size() / 2), &cut);
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(cut.writes.empty());

  std::string bad = stream;
  bad[0] = 0x79;  // not a zlib header
  Output garbage;
  EXPECT_EQ(Inflate(bad, &garbage).code, 1);

  // The packed size says more than the file holds.
  Output shortFile;
  EXPECT_EQ(Inflate(stream.substr(0, 20), static_cast<uint32_t>(stream.size()), &shortFile).code,
            1);
}

TEST(PayloadInflateEntry, StreamEndingBeforeItsPackedSizeIsCorrupt) {
  std::string data = SampleData(100);
  std::string stream = Deflate(data);
  Output out;
  // Unused bytes inside the chunk that was read.
  Result r = Inflate(stream + "pad", &out);
  EXPECT_EQ(r.code, 1);
  EXPECT_STREQ(r.reason, "stream ends before its packed size");
  EXPECT_EQ(out.data, data);  // what was inflated is written all the same

  // Unused bytes beyond a whole input chunk, never read.
  std::string big = Deflate(SampleData(10), 6) + std::string(kPayloadChunkSize + 5, '\0');
  Output out2;
  r = Inflate(big, &out2);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.consumed, static_cast<long>(kPayloadChunkSize));
}

TEST(PayloadInflateEntry, ShortWriteFails) {
  std::string data = SampleData(kPayloadChunkSize * 2 + 10);
  Output first;
  first.failAtWrite = 0;
  EXPECT_EQ(Inflate(Deflate(data), &first).code, 1);
  Output last;
  last.failAtWrite = 2;
  Result r = Inflate(Deflate(data), &last);
  EXPECT_EQ(r.code, 1);
  EXPECT_STREQ(r.reason, "write failed");
  EXPECT_EQ(last.writes.size(), 2u);
}

TEST(PayloadReadTimeStamp, ReadsLittleEndianAndRefusesShortReads) {
  std::string bytes;
  testpayload::Put64(&bytes, 0x01D2345678ABCDEFull);
  FILE* f = TempFileWith(bytes);
  uint64_t stamp = 0;
  ASSERT_EQ(PayloadReadTimeStamp(f, &stamp), 0);
  EXPECT_EQ(stamp, 0x01D2345678ABCDEFull);
  fclose(f);
  f = TempFileWith(bytes.substr(0, 7));
  EXPECT_EQ(PayloadReadTimeStamp(f, &stamp), -1);
  fclose(f);
}

}  // namespace
