// Writes the updater's application icon:
//   make_app_icon OUTPUT.ico
#include <cstdio>

#include "app_icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_app_icon OUTPUT.ico\n");
    return 2;
  }
  std::vector<uint8_t> icon = BuildAppIcon();
  FILE* f = fopen(argv[1], "wb");
  if (!f || fwrite(icon.data(), 1, icon.size(), f) != icon.size() || fclose(f) != 0) {
    fprintf(stderr, "make_app_icon: %s: cannot write\n", argv[1]);
    return 1;
  }
  return 0;
}
