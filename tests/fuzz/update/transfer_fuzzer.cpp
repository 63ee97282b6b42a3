// Any bytes as a target folder and an [ini]/[reg] line: the parsers and the
// unescaping never overrun, keep every text within 511 bytes, and split
// where the rules say.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "update/transfer.h"

namespace {

const char* Drive() { return "Q:\\"; }

void Check(bool condition) {
  if (!condition) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // First byte: length of the target folder (up to 259 bytes), then the line.
  if (size == 0) return 0;
  size_t folderLength = data[0] % 260;
  if (folderLength > size - 1) folderLength = size - 1;
  std::string folder(reinterpret_cast<const char*>(data + 1), folderLength);
  std::string line(reinterpret_cast<const char*>(data + 1 + folderLength), size - 1 - folderLength);
  folder = folder.c_str();  // up to the first zero byte, as a C text
  line = line.c_str();

  SetTransferPlatform(Drive, IsLeadByte);
  SetTransferTargetFolder(folder.c_str());
  char a[kTransferTextSize];
  char b[kTransferTextSize];

  if (ParseIniLine(line.c_str(), a, b) == 0) {
    Check(strlen(a) + 1 + strlen(b) < kTransferTextSize);
    Check(MbsChr(a, '=', IsLeadByte) == nullptr);
    // Without placeholders the line is exactly key=value.
    if (!strstr(line.c_str(), "REP_")) Check(std::string(a) + "=" + b == line);
  }
  if (ParseRegLine(line.c_str(), a, b) == 0) {
    Check(strlen(a) + strlen(b) + 3 < kTransferTextSize);
    Check(MbsStr(line.c_str(), "\"=\"", IsLeadByte) != nullptr);
  }
  if (const char* unescaped = UnescapeRegText(line.c_str())) {
    Check(strlen(unescaped) <= line.size());
    // Nothing that needs no escaping changes.
    if (!strchr(line.c_str(), '\\')) Check(line == unescaped);
  } else {
    Check(line.size() >= kTransferTextSize);
  }
  SetTransferTargetFolder(nullptr);
  return 0;
}
