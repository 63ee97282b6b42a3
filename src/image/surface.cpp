#include "image/surface.h"

#include <cstdlib>
#include <cstring>

#include "image/picture_layout.h"
#include "support/alloc_or_exit.h"

Surface* SurfaceCreate(int32_t width, int32_t height) {
  if (PicturePackedBytes(width, height) < 0) return nullptr;

  Surface* surface = static_cast<Surface*>(AllocOrExit(sizeof(Surface)));
  memset(surface, 0, sizeof(Surface));
  surface->width = width;
  surface->height = height;
  surface->stride = static_cast<int32_t>(PictureStride(width));

  surface->header = static_cast<BITMAPINFO*>(AllocOrExit(sizeof(BITMAPINFOHEADER)));
  BITMAPINFOHEADER* info = &surface->header->bmiHeader;
  memset(info, 0, sizeof(BITMAPINFOHEADER));
  info->biSize = sizeof(BITMAPINFOHEADER);
  info->biWidth = width;
  info->biHeight = -height;
  info->biPlanes = 1;
  info->biBitCount = 24;
  info->biCompression = BI_RGB;

  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc) {
    surface->bitmap = CreateDIBSection(dc, surface->header, DIB_RGB_COLORS, &bits, nullptr, 0);
    DeleteDC(dc);
  }
  if (!surface->bitmap || !bits) {
    if (surface->bitmap) DeleteObject(surface->bitmap);
    free(surface->header);
    free(surface);
    return nullptr;
  }
  surface->bits = static_cast<unsigned char*>(bits);
  return surface;
}

void SurfaceFree(Surface* surface) {
  if (!surface) return;
  DeleteObject(surface->bitmap);
  free(surface->header);
  free(surface);
}
