// The image surface: a decoded picture held as a 24-bit, top-row-first
// device-independent bitmap section whose pixels the program writes directly.
#pragma once

#include <windows.h>

#include <cstdint>

struct Surface {
  int32_t width;
  int32_t height;  // positive; the bitmap header holds -height (top row first)
  int32_t stride;  // 3 x width rounded up to a multiple of 4
  // The 40-byte bitmap information header and nothing after it (no colour
  // table: 24-bit pixels need none). Owned by the surface.
  BITMAPINFO* header;
  unsigned char* bits;  // the top row; belongs to the bitmap
  HBITMAP bitmap;       // the DIB section that owns the pixel memory
};

// A new surface of that size, its pixel memory as the platform gives it.
// Returns null, having allocated nothing, when the size is out of range
// (width or height below 1, or more than 2 GiB of pixels) or when the
// platform refuses the bitmap: the caller then has nothing to write into.
Surface* SurfaceCreate(int32_t width, int32_t height);

// Releases the bitmap (and with it the pixels), the header and the record.
// A null surface is accepted.
void SurfaceFree(Surface* surface);
