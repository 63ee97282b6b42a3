// The manual route's text rules on any entry and settings: the folder text
// never outgrows its 260 bytes, a refused entry is left as it was, and an
// accepted folder is never a root.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "target/folder_rules.h"

namespace {

// The next zero-separated piece of the input, cut to limit bytes.
std::string Take(const uint8_t** data, size_t* size, size_t limit) {
  const uint8_t* end = static_cast<const uint8_t*>(memchr(*data, 0, *size));
  size_t n = end ? static_cast<size_t>(end - *data) : *size;
  std::string piece(reinterpret_cast<const char*>(*data), n < limit ? n : limit);
  size_t used = end ? n + 1 : n;
  *data += used;
  *size -= used;
  return piece;
}

bool EndsWithBackslash(const char* text) {
  const char* last = nullptr;
  for (const char* p = text; *p;
       p += (IsLeadByte(static_cast<unsigned char>(*p)) && p[1]) ? 2 : 1) {
    last = p;
  }
  return last && *last == '\\' && !(IsLeadByte(static_cast<unsigned char>(*last)) && last[1]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  int makeFol = data[0] & 1;
  ++data;
  --size;
  std::string windowsDir = Take(&data, &size, 259);
  std::string instFol = Take(&data, &size, 127);
  std::string instTo = Take(&data, &size, 127);
  std::string entry = Take(&data, &size, kTargetFolderSize - 1);
  TargetFolderRules rules = {windowsDir.c_str(), makeFol, instFol.c_str(), instTo.c_str()};

  char folder[kTargetFolderSize + 1];
  folder[kTargetFolderSize] = '\x7f';  // a guard byte just past the folder text
  TargetSuggestion(folder, rules, IsLeadByte);
  if (strnlen(folder, kTargetFolderSize) >= kTargetFolderSize) abort();

  memcpy(folder, entry.c_str(), entry.size() + 1);
  TargetFolderCheck check = TargetNormalise(folder, rules, IsLeadByte);
  if (strnlen(folder, kTargetFolderSize) >= kTargetFolderSize) abort();
  if (folder[kTargetFolderSize] != '\x7f') abort();
  if (check == kTargetFolderOk && EndsWithBackslash(folder)) abort();
  if (check != kTargetFolderOk && entry != folder) abort();
  return 0;
}
