// The copy progress window's animation: a sheet of paper flying from one
// folder into another, drawn frame by frame, run-length encoded (RLE8) and
// wrapped in a video-only AVI that the common animation control plays.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kClipWidth = 260;
constexpr int kClipHeight = 40;
constexpr int kClipFrames = 17;
constexpr uint32_t kClipMicrosPerFrame = 100000;  // 100 ms

struct ClipColor {
  uint8_t r, g, b;
};

// Draws frame `index` (0..kClipFrames-1) as palette indices, top row first,
// kClipWidth * kClipHeight bytes.
std::vector<uint8_t> DrawCopyClipFrame(int index);

// RLE8 encoding of an 8-bit picture given top row first; the output lists
// the rows bottom first as bitmaps do, each ending with an end-of-line code
// and the last with the end-of-bitmap code.
std::vector<uint8_t> EncodeRle8(const std::vector<uint8_t>& pixels, int width, int height);

// The whole clip, as the resource script embeds it.
std::vector<uint8_t> BuildCopyClip();
