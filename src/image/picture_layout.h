// Sizes and row layout of a 24-bit picture: packed rows while decoding,
// rows on 4-byte boundaries in the bitmap that shows it.
#pragma once

#include <cstdint>

// Bytes from one row of the bitmap to the next: 3 x width rounded up to a
// multiple of 4.
int64_t PictureStride(int32_t width);

// Bytes of the packed picture (3 x width x height), or -1 when width or
// height is below 1 or the bitmap (stride x height) would not fit in a
// signed 32-bit byte count.
int64_t PicturePackedBytes(int32_t width, int32_t height);

// Moves packed rows (row y at y x 3 x width) to their bitmap places (row y
// at y x stride) in place, the last row first so that no row is overwritten
// before it has moved. The buffer holds stride x height bytes. The bytes
// past 3 x width in each row are left as they are.
void PictureSpreadRows(unsigned char* bits, int32_t width, int32_t height, int64_t stride);
