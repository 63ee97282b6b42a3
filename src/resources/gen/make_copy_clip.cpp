// Writes the copy progress window's animation clip:
//   make_copy_clip OUTPUT.avi
#include <cstdio>

#include "copy_clip.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_copy_clip OUTPUT.avi\n");
    return 2;
  }
  std::vector<uint8_t> clip = BuildCopyClip();
  FILE* f = fopen(argv[1], "wb");
  if (!f || fwrite(clip.data(), 1, clip.size(), f) != clip.size() || fclose(f) != 0) {
    fprintf(stderr, "make_copy_clip: %s: cannot write\n", argv[1]);
    return 1;
  }
  return 0;
}
