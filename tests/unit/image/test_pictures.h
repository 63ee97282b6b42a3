// Pictures for the codec tests: packed blue-green-red rows, top row first.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

// Pixels drawn from `colours` random colours (0: any colour), so that a
// small palette gives many repeats to copy from.
inline std::vector<unsigned char> RandomPicture(int width, int height, uint32_t seed,
                                                int colours = 0) {
  std::mt19937 rng(seed);
  std::vector<uint32_t> palette;
  for (int i = 0; i < colours; ++i) palette.push_back(rng() & 0xFFFFFF);
  std::vector<unsigned char> pixels;
  for (int64_t i = 0; i < static_cast<int64_t>(width) * height; ++i) {
    uint32_t c = colours ? palette[rng() % colours] : rng() & 0xFFFFFF;
    pixels.push_back(static_cast<unsigned char>(c));
    pixels.push_back(static_cast<unsigned char>(c >> 8));
    pixels.push_back(static_cast<unsigned char>(c >> 16));
  }
  return pixels;
}

inline std::vector<unsigned char> FlatPicture(int width, int height, uint32_t colour) {
  std::vector<unsigned char> pixels;
  for (int64_t i = 0; i < static_cast<int64_t>(width) * height; ++i) {
    pixels.push_back(static_cast<unsigned char>(colour));
    pixels.push_back(static_cast<unsigned char>(colour >> 8));
    pixels.push_back(static_cast<unsigned char>(colour >> 16));
  }
  return pixels;
}
