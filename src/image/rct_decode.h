// Decoder of the compressed pixel stream into a packed picture (rows of
// 3 x width bytes, blue, green, red, top row first, no gap between rows).
#pragma once

#include <cstddef>
#include <cstdint>

enum RctDecodeResult {
  kRctDecodeOk = 0,
  kRctDecodeStreamEnds = -1,  // a token or the first pixel reaches past the stream
  kRctDecodeOverrun = -2,     // a token would write past the last pixel
  kRctDecodeBadSource = -3,   // a copy from before the first pixel or from one not yet decoded
  kRctDecodeBadSize = -4,     // width or height below 1, too large, or the output too small
};

// Decodes width x height pixels into out (outSize bytes, at least
// 3 x width x height). Never reads outside the stream nor writes outside the
// picture's 3 x width x height bytes; on a fault it stops at the offending
// token, leaving what was decoded before it. consumed, when given, receives
// the number of stream bytes used by a whole decode.
int RctDecode(const unsigned char* stream, size_t streamSize, int32_t width, int32_t height,
              unsigned char* out, size_t outSize, size_t* consumed = nullptr);

// A short English description of a result, for messages.
const char* RctDecodeResultText(int result);
