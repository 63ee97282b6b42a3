// The title picture's file format: an 8-byte magic, width, height and the
// size of the compressed pixel stream (the 20-byte header shared by both
// kinds), for TC01 a text with its 16-bit length, then the stream. All
// integers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr size_t kRctMagicSize = 8;
constexpr size_t kRctHeaderSize = 20;
constexpr size_t kRctTextLengthSize = 2;
constexpr int kRctPositionCount = 32;

// "六丁TC00", "六丁TC01" in Shift-JIS; the family's third magic, "六丁8_00",
// is recognised only to be refused.
extern const unsigned char kRctMagicTc00[kRctMagicSize];
extern const unsigned char kRctMagicTc01[kRctMagicSize];
extern const unsigned char kRctMagic800[kRctMagicSize];

enum RctKind {
  kRctKindUnknown = 0,
  kRctKindTc00 = 1,  // stream right after the header
  kRctKindTc01 = 2,  // text length and text between header and stream
  kRctKind800 = 3,   // never decoded
};

struct RctHeader {
  int kind;
  int32_t width;
  int32_t height;
  uint32_t dataSize;  // bytes of the compressed pixel stream
};

// Reads the kRctHeaderSize bytes of a header; returns its kind.
int RctParseHeader(const unsigned char* bytes, RctHeader* header);

// A copy source: dx pixels to the right and up rows above the current one.
struct RctPosition {
  int dx;
  int up;
};
extern const RctPosition kRctPositions[kRctPositionCount];

// The pixel offset of position k from the current pixel in the packed picture
// of that width: dx - up x width, with no clamping at the row ends. Only a
// negative offset points at a pixel already decoded.
int64_t RctPositionOffset(int k, int32_t width);

// A whole file held in memory, as RctParseFile finds it.
struct RctFile {
  RctHeader header;
  const unsigned char* text;  // TC01: textLength bytes, else null
  uint32_t textLength;
  const unsigned char* stream;  // header.dataSize bytes
  size_t trailing;              // bytes after the stream
};

enum RctFileResult {
  kRctFileOk = 0,
  kRctFileNotRct = -1,     // neither TC00 nor TC01
  kRctFileTruncated = -2,  // shorter than its header says
};
int RctParseFile(const unsigned char* data, size_t size, RctFile* file);

// Builds a whole file around a stream: TC00 when text is null, else TC01
// carrying the text and its terminator. Returns 0, or -1 when the text is
// longer than 65534 bytes or the stream longer than 4 GiB - 1.
int RctBuildFile(int32_t width, int32_t height, const std::vector<unsigned char>& stream,
                 const char* text, std::vector<unsigned char>* file);
