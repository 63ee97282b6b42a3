#include "copy_clip.h"

#include <cmath>
#include <cstring>

namespace {

enum : uint8_t {
  kBackground = 0,
  kOutline,
  kFolderFront,
  kFolderBack,
  kFolderEdge,
  kPaper,
  kPaperLine,
  kPaperShade,
  kTrail,
  kPaletteUsed
};

struct Canvas {
  std::vector<uint8_t> pixels = std::vector<uint8_t>(kClipWidth * kClipHeight, kBackground);
  void Set(int x, int y, uint8_t c) {
    if (x >= 0 && x < kClipWidth && y >= 0 && y < kClipHeight) pixels[y * kClipWidth + x] = c;
  }
  void Fill(int x0, int y0, int x1, int y1, uint8_t c) {  // inclusive corners
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) Set(x, y, c);
  }
  void Frame(int x0, int y0, int x1, int y1, uint8_t c) {
    for (int x = x0; x <= x1; ++x) {
      Set(x, y0, c);
      Set(x, y1, c);
    }
    for (int y = y0; y <= y1; ++y) {
      Set(x0, y, c);
      Set(x1, y, c);
    }
  }
};

constexpr int kLeftFolder = 12;
constexpr int kRightFolder = 196;
constexpr int kFolderWidth = 52;

// The back of a folder with its tab; the paper goes in front of it.
void DrawFolderBack(Canvas* c, int x) {
  c->Fill(x + 1, 8, x + 17, 12, kFolderBack);
  c->Frame(x, 7, x + 18, 12, kOutline);
  c->Fill(x + 1, 12, x + kFolderWidth - 2, 37, kFolderBack);
  c->Frame(x, 12, x + kFolderWidth - 1, 38, kOutline);
}

// The front flap, slanting a little, drawn over the paper.
void DrawFolderFront(Canvas* c, int x) {
  for (int y = 18; y <= 38; ++y) {
    int left = x + (38 - y) / 5;
    int right = x + kFolderWidth - 1 + (38 - y) / 5;
    for (int px = left; px <= right; ++px) {
      uint8_t color = (px == left || px == right || y == 18 || y == 38) ? kOutline
                      : (y == 19 || px == right - 1)                    ? kFolderEdge
                                                                        : kFolderFront;
      c->Set(px, y, color);
    }
  }
}

// A sheet of paper centred on cx with its top at `top`; `width` shrinks as
// the sheet turns in flight.
void DrawPaper(Canvas* c, int cx, int top, int width) {
  constexpr int kHeight = 18;
  int left = cx - width / 2;
  int right = left + width - 1;
  int bottom = top + kHeight - 1;
  c->Fill(left, top, right, bottom, kPaper);
  if (width >= 6) {
    c->Fill(right - 3, top, right, top + 3, kPaperShade);  // dog-eared corner
    for (int y = top + 5; y <= bottom - 3; y += 3) c->Fill(left + 2, y, right - 3, y, kPaperLine);
  }
  c->Frame(left, top, right, bottom, kOutline);
}

void Put16(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back(v & 0xFF);
  out->push_back((v >> 8) & 0xFF);
}

void Put32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back((v >> (8 * i)) & 0xFF);
}

void PutFourcc(std::vector<uint8_t>* out, const char* code) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(code[i]));
}

void Patch32(std::vector<uint8_t>* out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*out)[at + i] = (v >> (8 * i)) & 0xFF;
}

// Opens a chunk (or a LIST/RIFF with its form type) and returns the place of
// its size field, patched by CloseChunk.
size_t OpenChunk(std::vector<uint8_t>* out, const char* id, const char* form = nullptr) {
  PutFourcc(out, id);
  size_t sizeAt = out->size();
  Put32(out, 0);
  if (form) PutFourcc(out, form);
  return sizeAt;
}

void CloseChunk(std::vector<uint8_t>* out, size_t sizeAt) {
  Patch32(out, sizeAt, static_cast<uint32_t>(out->size() - sizeAt - 4));
  if (out->size() % 2) out->push_back(0);  // chunks start on even offsets
}

}  // namespace

// The palette of every frame; index 0 is the background, the colour of the
// top-left pixel, which the control treats as transparent.
static std::vector<ClipColor> CopyClipPalette() {
  std::vector<ClipColor> palette(16, ClipColor{0, 0, 0});
  palette[kBackground] = {192, 192, 192};
  palette[kOutline] = {0, 0, 0};
  palette[kFolderFront] = {255, 214, 90};
  palette[kFolderBack] = {228, 172, 44};
  palette[kFolderEdge] = {176, 124, 20};
  palette[kPaper] = {255, 255, 255};
  palette[kPaperLine] = {120, 128, 168};
  palette[kPaperShade] = {208, 208, 220};
  palette[kTrail] = {168, 168, 176};
  return palette;
}

std::vector<uint8_t> DrawCopyClipFrame(int index) {
  Canvas c;
  const double kPi = 3.14159265358979323846;
  double t = static_cast<double>(index) / (kClipFrames - 1);
  int startX = kLeftFolder + kFolderWidth / 2;
  int endX = kRightFolder + kFolderWidth / 2;
  auto centreAt = [&](double s) {
    return static_cast<int>(std::lround(startX + (endX - startX) * s));
  };
  auto topAt = [&](double s) { return static_cast<int>(std::lround(12 - 48 * s * (1 - s))); };

  DrawFolderBack(&c, kLeftFolder);
  DrawFolderBack(&c, kRightFolder);
  // A dotted trail behind the sheet while it is in the air.
  if (index > 0 && index < kClipFrames - 1) {
    for (int k = 1; k <= 3; ++k) {
      double s = t - 0.04 * k;
      if (s <= 0.05) break;
      int x = centreAt(s) - 10 * k / 3;
      int y = topAt(s) + 9;
      c.Set(x, y, kTrail);
      c.Set(x - 1, y, kTrail);
    }
  }
  int width = static_cast<int>(std::lround(16 * std::fabs(std::cos(kPi * t))));
  DrawPaper(&c, centreAt(t), topAt(t), width < 2 ? 2 : width);
  DrawFolderFront(&c, kLeftFolder);
  DrawFolderFront(&c, kRightFolder);
  return c.pixels;
}

std::vector<uint8_t> EncodeRle8(const std::vector<uint8_t>& pixels, int width, int height) {
  std::vector<uint8_t> out;
  for (int row = height - 1; row >= 0; --row) {
    const uint8_t* p = &pixels[static_cast<size_t>(row) * width];
    auto runAt = [&](int i) {
      int n = 1;
      while (i + n < width && n < 255 && p[i + n] == p[i]) ++n;
      return n;
    };
    int i = 0;
    while (i < width) {
      int run = runAt(i);
      if (run >= 2) {
        out.push_back(static_cast<uint8_t>(run));
        out.push_back(p[i]);
        i += run;
        continue;
      }
      // Literal bytes up to the next run of three or more.
      int j = i;
      while (j < width && j - i < 255 && (j == i || runAt(j) < 3)) ++j;
      int n = j - i;
      if (n >= 3) {
        out.push_back(0);
        out.push_back(static_cast<uint8_t>(n));
        for (int k = i; k < j; ++k) out.push_back(p[k]);
        if (n % 2) out.push_back(0);  // absolute runs end on a word boundary
      } else {
        for (int k = i; k < j; ++k) {
          out.push_back(1);
          out.push_back(p[k]);
        }
      }
      i = j;
    }
    out.push_back(0);
    out.push_back(row == 0 ? 1 : 0);  // end of bitmap after the top row, else end of line
  }
  return out;
}

// A RIFF AVI with one video stream of RLE8 key frames and an index.
static std::vector<uint8_t> BuildRle8Avi(const std::vector<std::vector<uint8_t>>& encodedFrames,
                                         const std::vector<ClipColor>& palette, int width,
                                         int height, uint32_t microsPerFrame) {
  uint32_t frames = static_cast<uint32_t>(encodedFrames.size());
  uint32_t largest = 0;
  for (const auto& f : encodedFrames) {
    if (f.size() > largest) largest = static_cast<uint32_t>(f.size());
  }
  uint32_t rate = 1000000 / microsPerFrame;

  std::vector<uint8_t> out;
  size_t riff = OpenChunk(&out, "RIFF", "AVI ");
  size_t hdrl = OpenChunk(&out, "LIST", "hdrl");

  size_t avih = OpenChunk(&out, "avih");
  Put32(&out, microsPerFrame);
  Put32(&out, largest * rate);  // max bytes per second
  Put32(&out, 0);               // padding granularity
  Put32(&out, 0x10);            // AVIF_HASINDEX
  Put32(&out, frames);
  Put32(&out, 0);  // initial frames
  Put32(&out, 1);  // streams
  Put32(&out, largest);
  Put32(&out, static_cast<uint32_t>(width));
  Put32(&out, static_cast<uint32_t>(height));
  for (int i = 0; i < 4; ++i) Put32(&out, 0);
  CloseChunk(&out, avih);

  size_t strl = OpenChunk(&out, "LIST", "strl");
  size_t strh = OpenChunk(&out, "strh");
  PutFourcc(&out, "vids");
  PutFourcc(&out, "RLE ");   // run-length DIBs: no codec needed to play them
  Put32(&out, 0);            // flags
  Put16(&out, 0);            // priority
  Put16(&out, 0);            // language
  Put32(&out, 0);            // initial frames
  Put32(&out, 1);            // scale
  Put32(&out, rate);         // rate: frames per second
  Put32(&out, 0);            // start
  Put32(&out, frames);       // length
  Put32(&out, largest);      // suggested buffer size
  Put32(&out, 0xFFFFFFFFu);  // quality: default
  Put32(&out, 0);            // sample size: varies
  Put16(&out, 0);
  Put16(&out, 0);
  Put16(&out, static_cast<uint32_t>(width));
  Put16(&out, static_cast<uint32_t>(height));
  CloseChunk(&out, strh);

  size_t strf = OpenChunk(&out, "strf");
  Put32(&out, 40);  // BITMAPINFOHEADER
  Put32(&out, static_cast<uint32_t>(width));
  Put32(&out, static_cast<uint32_t>(height));  // positive: bottom row first
  Put16(&out, 1);
  Put16(&out, 8);
  Put32(&out, 1);  // BI_RLE8
  Put32(&out, largest);
  Put32(&out, 0);
  Put32(&out, 0);
  Put32(&out, static_cast<uint32_t>(palette.size()));
  Put32(&out, 0);
  for (const ClipColor& c : palette) {
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
  CloseChunk(&out, strf);
  CloseChunk(&out, strl);
  CloseChunk(&out, hdrl);

  size_t movi = OpenChunk(&out, "LIST", "movi");
  size_t moviType = movi + 4;  // index offsets count from the "movi" code
  std::vector<uint32_t> offsets;
  for (const auto& f : encodedFrames) {
    offsets.push_back(static_cast<uint32_t>(out.size() - moviType));
    size_t chunk = OpenChunk(&out, "00dc");
    out.insert(out.end(), f.begin(), f.end());
    CloseChunk(&out, chunk);
  }
  CloseChunk(&out, movi);

  size_t idx1 = OpenChunk(&out, "idx1");
  for (size_t i = 0; i < encodedFrames.size(); ++i) {
    PutFourcc(&out, "00dc");
    Put32(&out, 0x10);  // AVIIF_KEYFRAME: every frame stands alone
    Put32(&out, offsets[i]);
    Put32(&out, static_cast<uint32_t>(encodedFrames[i].size()));
  }
  CloseChunk(&out, idx1);
  CloseChunk(&out, riff);
  return out;
}

std::vector<uint8_t> BuildCopyClip() {
  std::vector<std::vector<uint8_t>> frames;
  for (int i = 0; i < kClipFrames; ++i) {
    frames.push_back(EncodeRle8(DrawCopyClipFrame(i), kClipWidth, kClipHeight));
  }
  return BuildRle8Avi(frames, CopyClipPalette(), kClipWidth, kClipHeight, kClipMicrosPerFrame);
}
