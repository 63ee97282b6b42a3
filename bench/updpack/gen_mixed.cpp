// Generates realistic game data for the packing benchmark: script-like text,
// binary tables and pictures, and stretches that are already compressed
// (sound, movies), mixed in segments of varying length. The output depends
// only on the arguments.
//
//   gen_mixed large FILE MEGABYTES      one big data archive
//   gen_mixed small DIR COUNT           many small files in a few folders
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/bench_rng.h"

namespace {

// A vocabulary with a Zipf-like pick: a few words are frequent, most rare.
struct Vocabulary {
  std::vector<std::string> words;
  explicit Vocabulary(Rng& rng) {
    static const char* kana[] = {"\x82\xa0", "\x82\xa2", "\x82\xa4", "\x82\xa6", "\x82\xa8",
                                 "\x82\xa9", "\x82\xab", "\x82\xad", "\x82\xb5", "\x82\xbd",
                                 "\x82\xc8", "\x82\xcc", "\x82\xf0", "\x82\xc9", "\x82\xcd"};
    for (int i = 0; i < 3000; ++i) {
      std::string w;
      int len = 1 + static_cast<int>(rng.Below(5));
      bool japanese = rng.Below(3) != 0;
      for (int k = 0; k < len; ++k) {
        if (japanese) {
          w += kana[rng.Below(15)];
        } else {
          w += static_cast<char>('a' + rng.Below(26));
          w += static_cast<char>('a' + rng.Below(26));
        }
      }
      words.push_back(w);
    }
  }
  const std::string& Pick(Rng& rng) const {
    // squaring a uniform value favours small indices
    uint64_t u = rng.Below(65536);
    return words[(u * u * words.size()) >> 32];
  }
};

void TextLike(Rng& rng, const Vocabulary& vocab, std::vector<uint8_t>& out, size_t n) {
  static const char* commands[] = {"@wait 300\r\n", "@bg black\r\n", "@se door_open\r\n",
                                   "@bgm track03 loop\r\n", "@chr left girl_smile\r\n"};
  while (out.size() < n) {
    std::string line;
    if (rng.Below(6) == 0) {
      line = commands[rng.Below(5)];
    } else {
      int words = 3 + static_cast<int>(rng.Below(14));
      for (int i = 0; i < words; ++i) {
        line += vocab.Pick(rng);
        if (rng.Below(4) == 0) line += ' ';
      }
      line += "\x81\x42\r\n";
    }
    out.insert(out.end(), line.begin(), line.end());
  }
  out.resize(n);
}

void BinaryLike(Rng& rng, std::vector<uint8_t>& out, size_t n) {
  size_t start = out.size();
  if (rng.Below(2) == 0) {
    // a picture: smooth gradients with a little noise, 24-bit pixels
    uint32_t width = 256 + rng.Below(768);
    int r = rng.Below(256), g = rng.Below(256), b = rng.Below(256);
    for (uint32_t x = 0; out.size() - start < n; ++x) {
      if (x % width == 0) {
        r += static_cast<int>(rng.Below(9)) - 4;
        g += static_cast<int>(rng.Below(9)) - 4;
      }
      int noise = static_cast<int>(rng.Below(7)) - 3;
      out.push_back(static_cast<uint8_t>(r + static_cast<int>(x % width) / 4 + noise));
      out.push_back(static_cast<uint8_t>(g + noise));
      out.push_back(static_cast<uint8_t>(b + static_cast<int>(x % width) / 8));
    }
  } else {
    // a table of records: ids counting up, small values, flags, padding
    uint32_t id = rng.Below(1000);
    while (out.size() - start < n) {
      uint8_t rec[32] = {};
      id += 1 + rng.Below(3);
      memcpy(rec, &id, 4);
      uint32_t value = rng.Below(5000);
      memcpy(rec + 4, &value, 4);
      float f = static_cast<float>(rng.Below(1000)) / 8.0f;
      memcpy(rec + 8, &f, 4);
      rec[12] = static_cast<uint8_t>(rng.Below(4));
      for (int i = 16; i < 16 + static_cast<int>(rng.Below(16)); ++i)
        rec[i] = static_cast<uint8_t>('A' + rng.Below(26));
      out.insert(out.end(), rec, rec + 32);
    }
  }
  out.resize(start + n);
}

void CompressedLike(Rng& rng, std::vector<uint8_t>& out, size_t n) {
  while (n >= 8) {
    uint64_t v = rng.Next();
    out.insert(out.end(), reinterpret_cast<uint8_t*>(&v), reinterpret_cast<uint8_t*>(&v) + 8);
    n -= 8;
  }
  while (n--) out.push_back(static_cast<uint8_t>(rng.Next()));
}

// Fills out with n bytes of mixed segments.
void Mixed(Rng& rng, const Vocabulary& vocab, std::vector<uint8_t>& out, size_t n,
           size_t maxSegment) {
  while (out.size() < n) {
    size_t seg = maxSegment / 16 + rng.Below(static_cast<uint32_t>(maxSegment));
    if (seg > n - out.size()) seg = n - out.size();
    uint32_t kind = rng.Below(100);
    std::vector<uint8_t> part;
    if (kind < 35) {
      TextLike(rng, vocab, part, seg);
    } else if (kind < 75) {
      BinaryLike(rng, part, seg);
    } else {
      CompressedLike(rng, part, seg);
    }
    out.insert(out.end(), part.begin(), part.end());
  }
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& data) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
  return fclose(f) == 0 && ok;
}

int Large(const char* path, long megabytes) {
  Rng rng{1};
  Vocabulary vocab(rng);
  FILE* f = fopen(path, "wb");
  if (!f) {
    perror(path);
    return 1;
  }
  const size_t block = 16u << 20;
  size_t total = static_cast<size_t>(megabytes) << 20;
  std::vector<uint8_t> buf;
  for (size_t done = 0; done < total; done += block) {
    buf.clear();
    Mixed(rng, vocab, buf, std::min(block, total - done), 4u << 20);
    if (fwrite(buf.data(), 1, buf.size(), f) != buf.size()) {
      perror(path);
      fclose(f);
      return 1;
    }
  }
  return fclose(f) == 0 ? 0 : 1;
}

int Small(const char* dir, long count) {
  Rng rng{2};
  Vocabulary vocab(rng);
  mkdir(dir, 0777);
  static const char* folders[] = {"script", "image", "sound", "system"};
  for (const char* sub : folders) mkdir((std::string(dir) + "/" + sub).c_str(), 0777);
  std::vector<uint8_t> buf;
  for (long i = 0; i < count; ++i) {
    // sizes spread over 1 KB .. 256 KB, most of them small
    uint32_t shift = 10 + rng.Below(9);
    size_t size = (1u << shift) + rng.Below(1u << shift);
    buf.clear();
    Mixed(rng, vocab, buf, size, 64u << 10);
    char name[64];
    snprintf(name, sizeof name, "/%s/file%05ld.dat", folders[i % 4], i);
    if (!WriteFile(dir + std::string(name), buf)) {
      perror(name);
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && strcmp(argv[1], "large") == 0) return Large(argv[2], atol(argv[3]));
  if (argc == 4 && strcmp(argv[1], "small") == 0) return Small(argv[2], atol(argv[3]));
  fprintf(stderr, "usage: gen_mixed large FILE MEGABYTES | gen_mixed small DIR COUNT\n");
  return 2;
}
