#include "support/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Hex(const unsigned char* digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (uint32_t i = 0; i < kSha256Bytes; ++i) {
    s += kDigits[digest[i] >> 4];
    s += kDigits[digest[i] & 15];
  }
  return s;
}

std::string DigestOf(const std::string& data) {
  unsigned char d[kSha256Bytes];
  Sha256Of(data.data(), data.size(), d);
  return Hex(d);
}

std::string Pattern(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>((i * 7 + 3) & 255);
  return s;
}

// Every test runs with and without the processor's SHA extensions (where
// it has none, twice the portable way).
class Sha256Test : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { Sha256Accelerate(GetParam()); }
  void TearDown() override { Sha256Accelerate(true); }
};
INSTANTIATE_TEST_SUITE_P(Ways, Sha256Test, ::testing::Values(false, true));

TEST_P(Sha256Test, StandardVectors) {
  EXPECT_EQ(DigestOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(DigestOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(DigestOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(DigestOf(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// Lengths around the padding's limits: 55 still fits the length in the last
// block, 56 needs another; 64 and 120 fill blocks exactly.
TEST_P(Sha256Test, PaddingLimits) {
  EXPECT_EQ(DigestOf(Pattern(55)),
            "e7313d333c272e639f790978283f9eb392e843d0f29b7016828bb1daa4aac70b");
  EXPECT_EQ(DigestOf(Pattern(56)),
            "4324d65f3c103567f5589c710bc08f8523f929a9272e3af36fc968e52abc6c27");
  EXPECT_EQ(DigestOf(Pattern(63)),
            "81c80242132f230c3bd41b3e63bbcff16107339549214a99614ff26664625055");
  EXPECT_EQ(DigestOf(Pattern(64)),
            "39e3d7b6b5d075d37d053ad89b24b41bef4f3c29760c84447cab3f3be1882241");
  EXPECT_EQ(DigestOf(Pattern(65)),
            "aacca6ff74fdbb296d165a45cecfa04e5127bc008770fbbdd48006f2d2fae95e");
  EXPECT_EQ(DigestOf(Pattern(119)),
            "9ce7368e4daf32341631b492e80359dc9f594b48453cd0dd5bf0b19279cc177e");
  EXPECT_EQ(DigestOf(Pattern(120)),
            "7836b787757e95e58b3ca5aec90b1b004e8deba1e50e9675af9cabf1a13a04b5");
}

// Pieces of every size, split anywhere, give the one-shot digest; End leaves
// the state begun again.
TEST_P(Sha256Test, PiecesMatchOneShot) {
  std::string data = Pattern(300);
  std::string whole = DigestOf(data);
  for (size_t piece : {1u, 3u, 63u, 64u, 65u, 127u}) {
    Sha256 s;
    Sha256Begin(&s);
    for (size_t at = 0; at < data.size(); at += piece) {
      Sha256Update(&s, data.data() + at, std::min(piece, data.size() - at));
    }
    unsigned char d[kSha256Bytes];
    Sha256End(&s, d);
    EXPECT_EQ(Hex(d), whole) << "piece " << piece;
    Sha256Update(&s, "abc", 3);
    Sha256End(&s, d);
    EXPECT_EQ(Hex(d), DigestOf("abc"));
  }
}

}  // namespace
