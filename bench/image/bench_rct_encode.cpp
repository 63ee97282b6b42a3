// The optimal title picture encoder against a greedy longest-match encoder
// on generated pictures of the kinds a title is drawn in. Reports each
// stream's size, checks that the optimal one is never larger and that both
// decode back to the picture, and gives the optimal encoder's time, and the
// decoder's, as ratios to baselines timed in the same run (the greedy
// encoder; copying the picture with memcpy).
//
//   bench_rct_encode [PICTURE.png]    (default: the example title picture)
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "greedy_encoder.h"
#include "image/rct_decode.h"
#include "image/rct_encode.h"

#ifndef EXAMPLE_TITLE
#define EXAMPLE_TITLE ""
#endif

namespace {

using Bytes = std::vector<unsigned char>;

struct Picture {
  std::string name;
  int width, height;
  Bytes pixels;  // blue, green, red
};

unsigned char Clamp(double v) {
  return static_cast<unsigned char>(std::min(255.0, std::max(0.0, v)));
}

Picture Make(const std::string& name, int width, int height,
             const std::function<void(int, int, unsigned char*)>& pixel) {
  Picture p{name, width, height, Bytes(3 * static_cast<size_t>(width) * height)};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      pixel(x, y, &p.pixels[3 * (static_cast<size_t>(y) * width + x)]);
  }
  return p;
}

// Smooth light over a scene plus sensor noise of the given amplitude.
Picture Photograph(const char* name, int width, int height, double noise, uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> grain(0.0, noise);
  return Make(name, width, height, [&](int x, int y, unsigned char* px) {
    const double u = x / static_cast<double>(width), v = y / static_cast<double>(height);
    const double light = 0.6 + 0.4 * std::sin(3.1 * u + 1.3) * std::cos(2.3 * v - 0.4);
    const double shape = std::sin(9 * u + 4 * v) * 18 + std::cos(13 * v - 5 * u) * 12;
    px[0] = Clamp(light * (120 + 90 * v) + shape + grain(rng));
    px[1] = Clamp(light * (140 + 60 * u) - shape * 0.5 + grain(rng));
    px[2] = Clamp(light * (200 - 80 * v) + shape * 0.3 + grain(rng));
  });
}

// Flat-coloured shapes with hard edges, as in cel-shaded artwork.
Picture FlatArtwork(int width, int height, uint32_t seed) {
  std::mt19937 rng(seed);
  struct Shape {
    bool round;
    int x0, y0, x1, y1;
    unsigned char colour[3];
  };
  std::vector<Shape> shapes;
  for (int i = 0; i < 40; ++i) {
    Shape s;
    s.round = rng() % 2;
    s.x0 = rng() % width;
    s.y0 = rng() % height;
    s.x1 = s.x0 + 8 + rng() % (width / 3);
    s.y1 = s.y0 + 8 + rng() % (height / 3);
    for (auto& c : s.colour) c = static_cast<unsigned char>(rng());
    shapes.push_back(s);
  }
  return Make("flat artwork", width, height, [&](int x, int y, unsigned char* px) {
    px[0] = 230, px[1] = 235, px[2] = 240;
    for (const Shape& s : shapes) {
      bool inside = x >= s.x0 && x < s.x1 && y >= s.y0 && y < s.y1;
      if (inside && s.round) {
        const double cx = (s.x0 + s.x1) / 2.0, cy = (s.y0 + s.y1) / 2.0;
        const double rx = (s.x1 - s.x0) / 2.0, ry = (s.y1 - s.y0) / 2.0;
        inside = (x - cx) * (x - cx) / (rx * rx) + (y - cy) * (y - cy) / (ry * ry) <= 1.0;
      }
      if (inside) memcpy(px, s.colour, 3);
    }
  });
}

Picture Gradient(int width, int height) {
  return Make("gradients", width, height, [&](int x, int y, unsigned char* px) {
    px[0] = Clamp(255.0 * y / (height - 1));
    px[1] = Clamp(64 + 128.0 * x / (width - 1));
    px[2] = Clamp(255.0 * (x + y) / (width + height - 2));
  });
}

// Dark lines of glyphs from a small alphabet on a light page.
Picture Text(int width, int height, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<std::vector<uint8_t>> glyphs(30, std::vector<uint8_t>(7));
  for (auto& g : glyphs) {
    for (auto& row : g) row = static_cast<uint8_t>(rng() & 0x1F);
  }
  const int cell = 12, line = 18;  // 5 x 7 glyphs drawn at double size
  std::vector<int> page((width / cell + 1) * (height / line + 1));
  for (int& g : page) g = rng() % 8 == 0 ? -1 : static_cast<int>(rng() % glyphs.size());
  return Make("text", width, height, [&](int x, int y, unsigned char* px) {
    px[0] = 236, px[1] = 244, px[2] = 248;
    const int gx = (x % cell) / 2, gy = (y % line) / 2 - 1;
    const int g = page[(y / line) * (width / cell + 1) + x / cell];
    if (g >= 0 && gx < 5 && gy >= 0 && gy < 7 && (glyphs[g][gy] >> gx & 1)) {
      px[0] = 40, px[1] = 30, px[2] = 30;
    }
  });
}

// Two colours in a 4 x 4 ordered dither of a gradient: short repeating
// patterns that copies from several positions can follow.
Picture Dithered(int width, int height) {
  static const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  return Make("dithered", width, height, [&](int x, int y, unsigned char* px) {
    const bool light = 16.0 * x / width > kBayer[y % 4][x % 4] + 0.5;
    px[0] = light ? 200 : 60, px[1] = light ? 180 : 40, px[2] = light ? 90 : 30;
  });
}

bool LoadPng(const char* path, Picture* picture) {
  int w = 0, h = 0, n = 0;
  unsigned char* rgb = stbi_load(path, &w, &h, &n, 3);
  if (!rgb) return false;
  picture->name = "title (example)";
  picture->width = w;
  picture->height = h;
  picture->pixels.resize(3 * static_cast<size_t>(w) * h);
  for (size_t i = 0; i < picture->pixels.size(); i += 3) {
    picture->pixels[i] = rgb[i + 2];
    picture->pixels[i + 1] = rgb[i + 1];
    picture->pixels[i + 2] = rgb[i];
  }
  stbi_image_free(rgb);
  return true;
}

// Seconds per call: the median of five rounds, each repeating the call for
// at least 20 ms.
double SecondsPerCall(const std::function<void()>& call) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> rounds;
  for (int r = 0; r < 5; ++r) {
    int calls = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    do {
      call();
      ++calls;
      elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < 0.02);
    rounds.push_back(elapsed / calls);
  }
  std::sort(rounds.begin(), rounds.end());
  return rounds[2];
}

bool DecodesTo(const Bytes& stream, const Picture& p) {
  Bytes out(p.pixels.size());
  return RctDecode(stream.data(), stream.size(), p.width, p.height, out.data(), out.size()) ==
             kRctDecodeOk &&
         out == p.pixels;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<Picture> pictures = {
      Photograph("photograph", 256, 256, 3.0, 1),
      Photograph("photograph, clean", 256, 256, 0.7, 2),
      Photograph("photograph 640x480", 640, 480, 3.0, 3),
      FlatArtwork(256, 256, 4),
      Gradient(256, 256),
      Text(256, 256, 5),
      Dithered(256, 256),
  };
  Picture title;
  const char* titlePath = argc > 1 ? argv[1] : EXAMPLE_TITLE;
  if (*titlePath && LoadPng(titlePath, &title)) pictures.push_back(title);

  printf("%-20s %8s %8s %8s %9s %12s %12s %10s\n", "picture", "raw", "greedy", "optimal",
         "opt/greedy", "encode time", "decode time", "optimal");
  printf("%-20s %8s %8s %8s %9s %12s %12s %10s\n", "", "bytes", "bytes", "bytes", "size",
         "opt/greedy", "/memcpy", "ms (info)");
  bool neverLarger = true, allDecode = true;
  double timeRatios = 0;
  for (const Picture& p : pictures) {
    Bytes greedy, optimal;
    GreedyEncode(p.pixels.data(), p.width, p.height, &greedy);
    RctEncode(p.pixels.data(), p.width, p.height, &optimal);
    allDecode = allDecode && DecodesTo(greedy, p) && DecodesTo(optimal, p);
    neverLarger = neverLarger && optimal.size() <= greedy.size();

    const double greedyTime = SecondsPerCall([&] {
      Bytes s;
      GreedyEncode(p.pixels.data(), p.width, p.height, &s);
    });
    const double optimalTime = SecondsPerCall([&] {
      Bytes s;
      RctEncode(p.pixels.data(), p.width, p.height, &s);
    });
    Bytes out(p.pixels.size());
    const double decodeTime = SecondsPerCall([&] {
      RctDecode(optimal.data(), optimal.size(), p.width, p.height, out.data(), out.size());
    });
    const double copyTime = SecondsPerCall([&] {
      memcpy(out.data(), p.pixels.data(), out.size());
      __asm__ __volatile__("" : : "r"(out.data()) : "memory");
    });
    timeRatios += std::log(optimalTime / greedyTime);
    printf("%-20s %8zu %8zu %8zu %9.3f %11.2fx %11.2fx %10.2f\n", p.name.c_str(), p.pixels.size(),
           greedy.size(), optimal.size(), static_cast<double>(optimal.size()) / greedy.size(),
           optimalTime / greedyTime, decodeTime / copyTime, optimalTime * 1000);
  }
  printf("\noptimal never larger than greedy: %s\n", neverLarger ? "yes" : "NO");
  printf("every stream decodes to its picture: %s\n", allDecode ? "yes" : "NO");
  printf("optimal encoding time, geometric mean over the pictures: %.2fx greedy's\n",
         std::exp(timeRatios / pictures.size()));
  return neverLarger && allDecode ? 0 : 1;
}
