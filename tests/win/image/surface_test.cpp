#include "image/surface.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

namespace {

TEST(SurfaceCreate, FillsTheRecordAndTheFortyByteHeader) {
  Surface* s = SurfaceCreate(5, 2);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->width, 5);
  EXPECT_EQ(s->height, 2);
  EXPECT_EQ(s->stride, 16);
  ASSERT_NE(s->header, nullptr);
  ASSERT_NE(s->bits, nullptr);
  ASSERT_NE(s->bitmap, nullptr);

  const BITMAPINFOHEADER& h = s->header->bmiHeader;
  EXPECT_EQ(sizeof h, 40u);
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 5);
  EXPECT_EQ(h.biHeight, -2);  // top row first
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 24);
  EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(h.biSizeImage, 0u);
  EXPECT_EQ(h.biXPelsPerMeter, 0);
  EXPECT_EQ(h.biYPelsPerMeter, 0);
  EXPECT_EQ(h.biClrUsed, 0u);
  EXPECT_EQ(h.biClrImportant, 0u);
  SurfaceFree(s);
}

TEST(SurfaceCreate, TheBitmapOwnsThePixelMemory) {
  Surface* s = SurfaceCreate(5, 2);
  ASSERT_NE(s, nullptr);
  DIBSECTION dib;
  ASSERT_EQ(GetObject(s->bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib));
  EXPECT_EQ(dib.dsBm.bmBits, s->bits);
  EXPECT_EQ(dib.dsBm.bmWidth, 5);
  EXPECT_EQ(dib.dsBm.bmHeight, 2);
  EXPECT_EQ(dib.dsBm.bmWidthBytes, 16);
  EXPECT_EQ(dib.dsBm.bmBitsPixel, 24);

  // Row 1 starts at byte 16; byte 15 carries no pixel. A pixel written at
  // (0, 1) is what the platform reads back there.
  memset(s->bits, 0, 32);
  s->bits[16] = 0x11;  // blue
  s->bits[17] = 0x22;  // green
  s->bits[18] = 0x33;  // red
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, s->bitmap);
  EXPECT_EQ(GetPixel(dc, 0, 1), RGB(0x33, 0x22, 0x11));
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0));
  SelectObject(dc, old);
  DeleteDC(dc);
  SurfaceFree(s);
}

TEST(SurfaceCreate, StrideIsTheRowRoundedUpToFourBytes) {
  const struct { int width, stride; } cases[] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {256, 768}};
  for (const auto& c : cases) {
    Surface* s = SurfaceCreate(c.width, 3);
    ASSERT_NE(s, nullptr) << c.width;
    EXPECT_EQ(s->stride, c.stride) << c.width;
    memset(s->bits, 0x5A, static_cast<size_t>(s->stride) * 3);  // all of it is writable
    SurfaceFree(s);
  }
}

TEST(SurfaceCreate, SizesOutOfRangeOrRefusedGiveNoSurface) {
  EXPECT_EQ(SurfaceCreate(0, 1), nullptr);
  EXPECT_EQ(SurfaceCreate(1, 0), nullptr);
  EXPECT_EQ(SurfaceCreate(-4, 4), nullptr);
  EXPECT_EQ(SurfaceCreate(4, -4), nullptr);
  EXPECT_EQ(SurfaceCreate(100000, 100000), nullptr);
  // One row past 2 GiB of pixels: refused by the size check itself, whatever
  // the address space would allow.
  EXPECT_EQ(SurfaceCreate(32768, 21846), nullptr);
  SurfaceFree(nullptr);  // what a caller does with any of them
}

}  // namespace
