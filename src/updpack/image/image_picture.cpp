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
#include "updpack/fsys/fsys.h"
#include "updpack/fsys/out_file.h"
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

bool StartsWith(const std::vector<unsigned char>& file, const char* magic, size_t n) {
  return file.size() >= n && memcmp(file.data(), magic, n) == 0;
}

uint32_t Big32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

uint32_t Little32(const unsigned char* p) {
  return static_cast<uint32_t>(p[3]) << 24 | p[2] << 16 | p[1] << 8 | p[0];
}

// What a PNG or BMP file declares, read from its header before the
// picture reader sees it, so that a refusal can say why. Returns null when
// the header is fit to read on, else the reason.
const char* CheckHeader(const std::vector<unsigned char>& file, bool png, int64_t* width,
                        int64_t* height) {
  const unsigned char* p = file.data();
  if (png) {
    if (file.size() < 33 || memcmp(p + 12, "IHDR", 4) != 0)
      return "truncated or damaged: no complete header";
    *width = Big32(p + 16);
    *height = Big32(p + 20);
  } else {
    if (file.size() < 34 || Little32(p + 14) < 40) return "truncated, or a BMP of an old kind";
    *width = static_cast<int32_t>(Little32(p + 18));
    // A negative height marks rows stored top-down.
    int64_t h = static_cast<int32_t>(Little32(p + 22));
    *height = h < 0 ? -h : h;
    uint32_t compression = Little32(p + 30);
    if (compression == 1 || compression == 2)
      return "a run-length compressed (RLE) BMP; save it uncompressed";
  }
  if (*width <= 0 || *height <= 0) return "the picture has no pixels (a width or height of 0)";
  return nullptr;
}

}  // namespace

int PictureDecode(const char* name, const std::vector<unsigned char>& file, Picture* picture) {
  if (file.size() > INT_MAX) {
    ReportError(name, "file too large for a picture");
    return kExitBadInput;
  }
  const int length = static_cast<int>(file.size());
  int width = 0, height = 0, channels = 0;
  const bool png = StartsWith(file, "\x89PNG\r\n\x1a\n", 8);
  const bool bmp = StartsWith(file, "BM", 2);
  if (!png && !bmp) {
    ReportError(name, "not a PNG or BMP picture");
    return kExitBadInput;
  }
  const char* kind = png ? "PNG picture" : "BMP picture";
  // Sizes are checked before any pixel is read: the file may claim more
  // than memory holds.
  int64_t declaredWidth = 0, declaredHeight = 0;
  if (const char* why = CheckHeader(file, png, &declaredWidth, &declaredHeight)) {
    ReportError(name, "%s: %s", kind, why);
    return kExitBadInput;
  }
  if (declaredWidth > kPictureSideMax || declaredHeight > kPictureSideMax) {
    ReportError(name,
                "picture of %lld x %lld pixels is too large for a title picture (at most %d x %d)",
                static_cast<long long>(declaredWidth), static_cast<long long>(declaredHeight),
                kPictureSideMax, kPictureSideMax);
    return kExitBadInput;
  }
  if (!stbi_info_from_memory(file.data(), length, &width, &height, &channels)) {
    ReportError(name, "%s: a kind that cannot be read (%s)", kind, stbi_failure_reason());
    return kExitBadInput;
  }
  const bool deep = stbi_is_16_bit_from_memory(file.data(), length) != 0;
  void* samples = deep ? static_cast<void*>(stbi_load_16_from_memory(file.data(), length, &width,
                                                                     &height, &channels, kChannels))
                       : static_cast<void*>(stbi_load_from_memory(file.data(), length, &width,
                                                                  &height, &channels, kChannels));
  if (!samples) {
    // A file cut short is the usual cause; say so when its end is missing.
    bool ended =
        !png || (file.size() >= 12 && memcmp(file.data() + file.size() - 8, "IEND", 4) == 0);
    const char* reason = stbi_failure_reason();
    ReportError(name, "%s: %s (%s)", kind,
                ended ? "damaged picture data" : "truncated: the file ends before the picture does",
                reason ? reason : "");
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

int PictureSavePng(const char* path, const Picture& picture, const char* input, bool force) {
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
  return ImageWriteFile(path, png, input, force);
}

int ImageReadFile(const char* path, std::vector<unsigned char>* bytes) {
  std::string error;
  FILE* file = FsOpenRegular(FsArgPath(path), &error);
  if (!file) {
    ReportError(path, "cannot open: %s", error.c_str());
    return kExitBadInput;
  }
  bytes->clear();
  unsigned char chunk[65536];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
    bytes->insert(bytes->end(), chunk, chunk + got);
  const bool failed = ferror(file) != 0;
  fclose(file);
  if (failed) {
    ReportError(path, "read error");
    return kExitBadInput;
  }
  return 0;
}

int ImageWriteFile(const char* path, const std::vector<unsigned char>& bytes, const char* input,
                   bool force) {
  std::vector<std::string> inputs;
  if (input) inputs.push_back(FsArgPath(input));
  return OutWriteFile(FsArgPath(path), std::string(bytes.begin(), bytes.end()), inputs, force);
}
