// Pictures as updpack reads and writes them: PNG and BMP files in, PNG out,
// held as packed 24-bit rows (blue, green, red, top row first) as the title
// picture format stores them.
#pragma once

#include <cstdint>
#include <vector>

// The largest title picture: the menu shows it at 1:1 in a small dialog.
constexpr int32_t kPictureSideMax = 4096;

struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<unsigned char> pixels;  // 3 x width x height bytes
};

// Reads a PNG or BMP picture from memory; name is used in messages. Grey
// pictures become grey RGB; 16-bit samples are rounded to 8 bits. A picture
// with any pixel not fully opaque is refused: the updater paints the picture
// over a window whose colour it cannot know, so the maker must flatten it.
// Returns 0, or kExitBadInput after reporting the reason.
int PictureDecode(const char* name, const std::vector<unsigned char>& file, Picture* picture);

// PictureDecode of a file on disk.
int PictureLoad(const char* path, Picture* picture);

// Writes the picture as an 8-bit RGB PNG, by the rules of every output (see
// fsys/out_file.h: input is never overwritten, an existing file only with
// force). Returns 0, or an exit code after reporting the reason.
int PictureSavePng(const char* path, const Picture& picture, const char* input = nullptr,
                   bool force = false);

// Whole-file reading (regular files only) and writing for the image
// commands. Both return 0, or an exit code after reporting the reason.
int ImageReadFile(const char* path, std::vector<unsigned char>* bytes);
int ImageWriteFile(const char* path, const std::vector<unsigned char>& bytes,
                   const char* input = nullptr, bool force = false);
