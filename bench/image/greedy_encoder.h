// The baseline for the encoder benchmark: a greedy longest-match encoder.
// At each pixel it takes the longest copy any of the 32 positions offers
// (even one pixel long), else it adds the pixel to the current literal run.
#pragma once

#include <cstdint>
#include <vector>

void GreedyEncode(const unsigned char* pixels, int32_t width, int32_t height,
                  std::vector<unsigned char>* stream);
