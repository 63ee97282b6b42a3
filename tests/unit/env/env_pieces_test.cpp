#include "env/env_pieces.h"

#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <vector>

namespace {

struct Piece {
  std::string text;
  int line;
  size_t offset;
};

std::vector<Piece> ReadAll(const std::string& bytes) {
  EnvTextInput input;
  EnvTextInputInit(&input, bytes.data(), bytes.size());
  std::vector<Piece> pieces;
  char buffer[kEnvLineSize];
  while (EnvReadTextPiece(&input, buffer, sizeof buffer)) {
    pieces.push_back({std::string(buffer, strnlen(buffer, sizeof buffer)), input.pieceLine,
                      input.pieceOffset});
  }
  return pieces;
}

TEST(TextModePieces, CrLfIsOneLineEndAndALoneCrStays) {
  auto pieces = ReadAll("A 1\r\nB\r2\nC 3");
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0].text, "A 1\n");
  EXPECT_EQ(pieces[1].text, "B\r2\n");
  EXPECT_EQ(pieces[2].text, "C 3");
  EXPECT_EQ(pieces[2].line, 3);
}

TEST(TextModePieces, Byte1AEndsTheInputForGood) {
  auto pieces = ReadAll("A 1\r\nB 2\x1A" "C 3\r\nD 4\r\n");
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[1].text, "B 2");
  EXPECT_TRUE(ReadAll("\x1A" "A 1\n").empty());
}

TEST(TextModePieces, LongLineIsCutInto511BytePieces) {
  std::string line(600, 'x');
  auto pieces = ReadAll(line + "\r\nnext\r\n");
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0].text, std::string(511, 'x'));
  EXPECT_EQ(pieces[1].text, std::string(89, 'x') + "\n");
  EXPECT_EQ(pieces[1].line, 1);
  EXPECT_EQ(pieces[1].offset, 511u);
  EXPECT_EQ(pieces[2].text, "next\n");
  EXPECT_EQ(pieces[2].line, 2);
  EXPECT_EQ(pieces[2].offset, 0u);
}

TEST(TextModePieces, CrLfAfter510BytesStillFitsOnePiece) {
  // Translated first, the pair is one byte: 510 + LF is a single piece.
  auto pieces = ReadAll(std::string(510, 'y') + "\r\nz\r\n");
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].text.size(), 511u);
  EXPECT_EQ(pieces[0].text.back(), '\n');
}

}  // namespace
