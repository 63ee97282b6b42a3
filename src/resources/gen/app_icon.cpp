#include "app_icon.h"

#include <cmath>

// One picture of the icon, 0xAARRGGBB per pixel, top row first.
static std::vector<uint32_t> DrawAppIcon(int size);

namespace {

constexpr int kSizes[] = {16, 32, 48};

constexpr uint32_t kClear = 0x00000000;
constexpr uint32_t kTile = 0xFF2F6FC0;
constexpr uint32_t kTileEdge = 0xFF1B4A8A;
constexpr uint32_t kArrow = 0xFFFFFFFF;
constexpr uint32_t kTray = 0xFF3CB04A;

void Put16(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// Inside a square of side 1 with corners rounded by radius r (unit square
// coordinates of the pixel's centre).
bool InRoundedSquare(double x, double y, double r) {
  double cx = x < r ? r : (x > 1 - r ? 1 - r : x);
  double cy = y < r ? r : (y > 1 - r ? 1 - r : y);
  return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

// One size's image entry: BITMAPINFOHEADER (double height: colour and mask),
// the colours bottom row first, then the 1-bit mask, rows padded to 4 bytes.
std::vector<uint8_t> IconImage(int size) {
  std::vector<uint32_t> pixels = DrawAppIcon(size);
  std::vector<uint8_t> out;
  Put32(&out, 40);
  Put32(&out, static_cast<uint32_t>(size));
  Put32(&out, static_cast<uint32_t>(2 * size));
  Put16(&out, 1);
  Put16(&out, 32);
  for (int i = 0; i < 6; ++i) Put32(&out, 0);  // BI_RGB, sizes and colours unused
  for (int y = size - 1; y >= 0; --y) {
    for (int x = 0; x < size; ++x) Put32(&out, pixels[y * size + x]);
  }
  int maskStride = ((size + 31) / 32) * 4;
  for (int y = size - 1; y >= 0; --y) {
    std::vector<uint8_t> row(maskStride, 0);
    for (int x = 0; x < size; ++x) {
      if ((pixels[y * size + x] >> 24) == 0) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

}  // namespace

static std::vector<uint32_t> DrawAppIcon(int size) {
  std::vector<uint32_t> pixels(static_cast<size_t>(size) * size, kClear);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      double u = (x + 0.5) / size;
      double v = (y + 0.5) / size;
      uint32_t colour = kClear;
      if (InRoundedSquare(u, v, 0.2)) {
        colour = InRoundedSquare((u - 0.06) / 0.88, (v - 0.06) / 0.88, 0.16) ? kTile : kTileEdge;
      }
      // The arrow: a shaft and a head pointing down, centred.
      bool shaft = std::fabs(u - 0.5) <= 0.09 && v >= 0.16 && v <= 0.5;
      bool head = v >= 0.42 && v <= 0.7 && std::fabs(u - 0.5) <= (0.7 - v) * 0.85;
      // The tray the arrow points into.
      bool tray = v >= 0.74 && v <= 0.84 && u >= 0.2 && u <= 0.8;
      if (colour != kClear && (shaft || head)) colour = kArrow;
      if (colour != kClear && tray) colour = kTray;
      pixels[y * size + x] = colour;
    }
  }
  return pixels;
}

std::vector<uint8_t> BuildAppIcon() {
  constexpr int count = sizeof kSizes / sizeof kSizes[0];
  std::vector<std::vector<uint8_t>> images;
  for (int size : kSizes) images.push_back(IconImage(size));
  std::vector<uint8_t> out;
  Put16(&out, 0);  // reserved
  Put16(&out, 1);  // an icon
  Put16(&out, count);
  uint32_t offset = 6 + 16 * count;
  for (int i = 0; i < count; ++i) {
    out.push_back(static_cast<uint8_t>(kSizes[i]));  // 256 would be 0; none here
    out.push_back(static_cast<uint8_t>(kSizes[i]));
    out.push_back(0);  // no palette
    out.push_back(0);
    Put16(&out, 1);   // planes
    Put16(&out, 32);  // bits per pixel
    Put32(&out, static_cast<uint32_t>(images[i].size()));
    Put32(&out, offset);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const std::vector<uint8_t>& image : images)
    out.insert(out.end(), image.begin(), image.end());
  return out;
}
