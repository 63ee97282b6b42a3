// Two versions of a game-like data archive for delta_bench.sh: an index of
// names, offsets and sizes, then thousands of resources (compressed sound
// and movie stretches, script text, pictures). The second version replaces
// a few percent of the resources, edits some scripts, inserts new ones (all
// after them shifts), drops a few and rewrites the index. The output depends
// only on the arguments.
//
//   gen_game_archive OLD NEW MEGABYTES
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/bench_rng.h"

namespace {

using Bytes = std::vector<unsigned char>;

struct Resource {
  std::string name;
  Bytes data;
};

const char* const kWords[] = {"the",   "scene", "voice", "she",   "said",  "and",    "light",
                              "rain",  "over",  "town",  "night", "again", "@bg",    "@se",
                              "@wait", "we",    "never", "knew",  "why",   "summer", "ends"};

Bytes Script(Rng* r, uint32_t size) {
  Bytes b;
  while (b.size() < size) {
    std::string line = "[" + std::to_string(r->Below(900)) + "] ";
    for (uint32_t w = 3 + r->Below(10); w > 0; --w) {
      line += kWords[r->Below(sizeof kWords / sizeof kWords[0])];
      line += ' ';
    }
    line += "\r\n";
    b.insert(b.end(), line.begin(), line.end());
  }
  b.resize(size);
  return b;
}

Bytes Picture(Rng* r, uint32_t size) {
  Bytes b(size);
  uint32_t width = 64 << r->Below(4);
  uint32_t a = r->Below(256), c = r->Below(7) + 1;
  for (uint32_t i = 0; i < size; ++i) {
    uint32_t x = i % width, y = i / width;
    b[i] = static_cast<unsigned char>(a + (x * c + y) / 3 + (r->Below(8) == 0 ? r->Below(5) : 0));
  }
  return b;
}

Bytes Packed(Rng* r, uint32_t size) {
  Bytes b(size);
  for (uint32_t i = 0; i < size; i += 8) {
    uint64_t v = r->Next();
    for (uint32_t k = 0; k < 8 && i + k < size; ++k)
      b[i + k] = static_cast<unsigned char>(v >> (8 * k));
  }
  return b;
}

Resource Make(Rng* r, uint32_t serial) {
  uint32_t kind = r->Below(10);
  // 2 KiB to 64 KiB, more small than large.
  uint32_t size = 2048u << r->Below(5);
  size += r->Below(size);
  Resource res;
  char name[40];
  if (kind < 5) {
    snprintf(name, sizeof name, "sound/v%05u.ogg", serial);
    res.data = Packed(r, size);
  } else if (kind < 7) {
    snprintf(name, sizeof name, "scenario/s%05u.txt", serial);
    res.data = Script(r, size);
  } else {
    snprintf(name, sizeof name, "image/p%05u.bmp", serial);
    res.data = Picture(r, size);
  }
  res.name = name;
  return res;
}

bool Write(const char* path, const std::vector<Resource>& all) {
  Bytes out;
  for (char c : {'A', 'R', 'C', '1'}) out.push_back(static_cast<unsigned char>(c));
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
  };
  put32(static_cast<uint32_t>(all.size()));
  uint32_t offset = static_cast<uint32_t>(8 + all.size() * 40);
  for (const Resource& res : all) {
    std::string name = res.name;
    name.resize(32, '\0');
    out.insert(out.end(), name.begin(), name.end());
    put32(offset);
    put32(static_cast<uint32_t>(res.data.size()));
    offset += static_cast<uint32_t>(res.data.size());
  }
  for (const Resource& res : all) out.insert(out.end(), res.data.begin(), res.data.end());
  FILE* f = fopen(path, "wb");
  if (!f) return false;
  bool ok = fwrite(out.data(), 1, out.size(), f) == out.size();
  return fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: gen_game_archive OLD NEW MEGABYTES\n");
    return 2;
  }
  uint64_t target = strtoull(argv[3], nullptr, 10) << 20;
  Rng r{12345};
  std::vector<Resource> old;
  uint64_t total = 0;
  uint32_t serial = 0;
  while (total < target) {
    old.push_back(Make(&r, serial++));
    total += old.back().data.size();
  }
  std::vector<Resource> next;
  for (const Resource& res : old) {
    uint32_t roll = r.Below(1000);
    if (roll < 5) continue;                             // dropped
    if (roll < 15) next.push_back(Make(&r, serial++));  // inserted before it
    if (roll < 45) {                                    // replaced
      Resource changed = Make(&r, serial++);
      changed.name = res.name;
      next.push_back(changed);
    } else if (roll < 65 && res.name[0] == 's' && res.name[1] == 'c') {  // script edited
      Resource edited = res;
      Bytes line = Script(&r, 40 + r.Below(200));
      uint32_t at = r.Below(static_cast<uint32_t>(edited.data.size()));
      edited.data.insert(edited.data.begin() + at, line.begin(), line.end());
      next.push_back(edited);
    } else {
      next.push_back(res);
    }
  }
  if (!Write(argv[1], old) || !Write(argv[2], next)) {
    fprintf(stderr, "cannot write the archives\n");
    return 1;
  }
  printf("%zu resources, then %zu\n", old.size(), next.size());
  return 0;
}
