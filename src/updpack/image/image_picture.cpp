#include "updpack/image/image_picture.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/picture_layout.h"
#include "updpack/cmd/commands.h"
#include "updpack/report.h"

namespace {

constexpr int kChannels = 4;  // every picture is read as RGBA

// Converts RGBA samples (8 or 16 bits) into packed blue-green-red pixels;
// false when a pixel is not fully opaque.
template <typename Sample>
bool PackOpaque(const Sample* rgba, size_t count, unsigned maxValue, unsigned char* out,
                size_t* firstTranslucent) {
  for (size_t i = 0; i < count; ++i, rgba += kChannels, out += 3) {
    if (rgba[3] != maxValue) {
      *firstTranslucent = i;
      return false;
    }
    for (int c = 0; c < 3; ++c) {
      // Rounds 16-bit samples to the nearest 8-bit value.
      out[2 - c] = static_cast<unsigned char>((rgba[c] * 255u + maxValue / 2) / maxValue);
    }
  }
  return true;
}

void AppendToVector(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<unsigned char>*>(context);
  out->insert(out->end(), static_cast<unsigned char*>(data),
              static_cast<unsigned char*>(data) + size);
}

}  // namespace

int PictureDecode(const char* name, const std::vector<unsigned char>& file, Picture* picture) {
  if (file.size() > INT_MAX) {
    ReportError(name, "file too large for a picture");
    return kExitBadInput;
  }
  const int length = static_cast<int>(file.size());
  int width = 0, height = 0, channels = 0;
  if (!stbi_info_from_memory(file.data(), length, &width, &height, &channels)) {
    ReportError(name, "not a PNG or BMP picture (%s)", stbi_failure_reason());
    return kExitBadInput;
  }
  if (PicturePackedBytes(width, height) < 0) {
    ReportError(name, "picture of %d x %d pixels is too large", width, height);
    return kExitBadInput;
  }

  const bool deep = stbi_is_16_bit_from_memory(file.data(), length) != 0;
  void* samples = deep ? static_cast<void*>(stbi_load_16_from_memory(
                             file.data(), length, &width, &height, &channels, kChannels))
                       : static_cast<void*>(stbi_load_from_memory(file.data(), length, &width,
                                                                  &height, &channels, kChannels));
  if (!samples) {
    ReportError(name, "cannot read the picture (%s)", stbi_failure_reason());
    return kExitBadInput;
  }
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  picture->width = width;
  picture->height = height;
  picture->pixels.resize(3 * count);
  size_t translucent = 0;
  bool opaque = deep ? PackOpaque(static_cast<const stbi_us*>(samples), count, 65535,
                                  picture->pixels.data(), &translucent)
                     : PackOpaque(static_cast<const stbi_uc*>(samples), count, 255,
                                  picture->pixels.data(), &translucent);
  stbi_image_free(samples);
  if (!opaque) {
    ReportError(name,
                "pixel (%d, %d) is not fully opaque; the title picture has no transparency, "
                "flatten it onto a background first",
                static_cast<int>(translucent % static_cast<size_t>(width)),
                static_cast<int>(translucent / static_cast<size_t>(width)));
    return kExitBadInput;
  }
  return 0;
}

int PictureLoad(const char* path, Picture* picture) {
  std::vector<unsigned char> file;
  int result = ImageReadFile(path, &file);
  return result != 0 ? result : PictureDecode(path, file, picture);
}

int PictureSavePng(const char* path, const Picture& picture) {
  std::vector<unsigned char> rgb(picture.pixels.size());
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
    rgb[i] = picture.pixels[i + 2];
    rgb[i + 1] = picture.pixels[i + 1];
    rgb[i + 2] = picture.pixels[i];
  }
  std::vector<unsigned char> png;
  const int64_t rowBytes = 3 * static_cast<int64_t>(picture.width);
  if (rowBytes > INT_MAX ||
      !stbi_write_png_to_func(AppendToVector, &png, picture.width, picture.height, 3, rgb.data(),
                              static_cast<int>(rowBytes))) {
    ReportError(path, "cannot encode the picture as PNG");
    return kExitBadInput;
  }
  return ImageWriteFile(path, png);
}

int ImageReadFile(const char* path, std::vector<unsigned char>* bytes) {
  FILE* file = fopen(path, "rb");
  if (!file) {
    ReportError(path, "cannot open: %s", strerror(errno));
    return kExitBadInput;
  }
  bytes->clear();
  unsigned char chunk[65536];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
  const bool failed = ferror(file) != 0;
  fclose(file);
  if (failed) {
    ReportError(path, "read error");
    return kExitBadInput;
  }
  return 0;
}

int ImageWriteFile(const char* path, const std::vector<unsigned char>& bytes) {
  FILE* file = fopen(path, "wb");
  if (!file) {
    ReportError(path, "cannot create: %s", strerror(errno));
    return kExitBadInput;
  }
  const bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (fclose(file) != 0 || !written) {
    ReportError(path, "write error");
    remove(path);
    return kExitBadInput;
  }
  return 0;
}
