#include "image/picture_layout.h"

#include <cstring>

int64_t PictureStride(int32_t width) { return (3 * static_cast<int64_t>(width) + 3) / 4 * 4; }

int64_t PicturePackedBytes(int32_t width, int32_t height) {
  if (width < 1 || height < 1) return -1;
  if (PictureStride(width) * height > INT32_MAX) return -1;
  return 3 * static_cast<int64_t>(width) * height;
}

void PictureSpreadRows(unsigned char* bits, int32_t width, int32_t height, int64_t stride) {
  const size_t row = 3 * static_cast<size_t>(width);
  if (stride == static_cast<int64_t>(row)) return;
  for (int32_t y = height - 1; y > 0; --y) {
    memmove(bits + static_cast<size_t>(y) * static_cast<size_t>(stride),
            bits + static_cast<size_t>(y) * row, row);
  }
}
