// Test support: builds payload archives in memory, entry by entry, with
// room for deliberate faults. Shared by the native, Windows and end-to-end
// tests (header only, zlib).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>

namespace testpayload {

inline void Put16(std::string* out, uint32_t v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>((v >> 8) & 0xFF));
}

inline void Put32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline void Put64(std::string* out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// One zlib stream of the data (level 6: header 0x78 0x9c).
inline std::string Deflate(const std::string& data, int level = 6) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(&out[0]), &size,
            reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()), level);
  out.resize(size);
  return out;
}

// Data that compresses a little but not to nothing, the same on every run.
inline std::string SampleData(size_t size, uint32_t seed = 1) {
  std::string out(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    out[i] = static_cast<char>("abcdefgh"[(x >> 16) & 7] + ((x >> 27) & 1));
  }
  return out;
}

// The entries, in order; Finish adds the end marker and trailer.
struct Writer {
  std::string entries;

  // A header with the name length counted from the name, NUL included.
  void Header(const std::string& name, uint32_t size, uint32_t packed) {
    Put16(&entries, static_cast<uint32_t>(name.size() + 1));
    entries += name;
    entries.push_back('\0');
    Put32(&entries, size);
    Put32(&entries, packed);
  }
  void Folder(const std::string& name) { Header(name, 0xFFFFFFFFu, 0); }
  // A file with the given stream as it is (which may be wrong on purpose).
  void RawFile(const std::string& name, uint32_t size, const std::string& stream,
               uint64_t stamp = 0) {
    Header(name, size, static_cast<uint32_t>(stream.size()));
    Put64(&entries, stamp);
    entries += stream;
  }
  void File(const std::string& name, const std::string& data, uint64_t stamp = 0) {
    RawFile(name, static_cast<uint32_t>(data.size()), Deflate(data), stamp);
  }
  // Payload bytes: the entries and the end marker (what the trailer counts).
  std::string Payload() const { return entries + std::string(4, '\0'); }
  // The image, the entries, the end marker and the trailer pointing at them.
  std::string Finish(const std::string& image) const {
    std::string out = image + Payload();
    Put32(&out, static_cast<uint32_t>(image.size()));
    return out;
  }
};

}  // namespace testpayload
