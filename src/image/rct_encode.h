// Encoder of packed pictures (rows of 3 x width bytes, blue, green, red, top
// row first) into the compressed pixel stream.
#pragma once

#include <cstdint>
#include <vector>

// Writes the smallest stream the format allows for the picture: a shortest
// path over pixel positions through every literal run, long literal, and
// short and long copy from the 32 positions. Returns 0, or -1 when the size
// is out of range (see PicturePackedBytes).
int RctEncode(const unsigned char* pixels, int32_t width, int32_t height,
              std::vector<unsigned char>* stream);

// Token writers, shared with tests that build streams by hand. A literal
// takes 1 to 65663 pixels, a copy 1 to 65539 pixels from position k.
void RctPutLiteral(std::vector<unsigned char>* stream, const unsigned char* pixels, uint32_t run);
void RctPutCopy(std::vector<unsigned char>* stream, int k, uint32_t run);

constexpr uint32_t kRctShortLiteralMax = 127;
constexpr uint32_t kRctLongLiteralMax = 65535 + 128;
constexpr uint32_t kRctShortCopyMax = 3;
constexpr uint32_t kRctLongCopyMax = 65535 + 4;
