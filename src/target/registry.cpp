#include "target/registry.h"

#include <windows.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "support/text.h"

namespace {

// Formats "Software\<group>\<application>" into out (kRegTextSize bytes).
char* RegKeyPath(char* out, const char* group, const char* application) {
  FormatText(out, kRegTextSize, "Software\\%s\\%s", group, application);
  return out;
}

}  // namespace

int RegReadString(const char* group, const char* application, const char* valueName,
                  const char* defaultText, char* out, int outSize) {
  if (outSize <= 0) return -1;
  CopyText(out, static_cast<size_t>(outSize), defaultText ? defaultText : "");
  char path[kRegTextSize];
  RegKeyPath(path, group, application);
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return -1;
  // One byte beyond the queried size so that a value stored without its
  // terminating zero still ends inside the buffer.
  char data[kRegTextSize + 1];
  DWORD size = kRegTextSize;
  DWORD type = 0;
  int result = -1;
  if (RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) ==
          ERROR_SUCCESS &&
      type == REG_SZ && size <= kRegTextSize) {
    data[size] = '\0';
    if (strlen(data) < static_cast<size_t>(kRegTextSize)) {  // 511 bytes of text at most
      CopyText(out, static_cast<size_t>(outSize), data);
      result = 0;
    }
  }
  RegCloseKey(key);
  return result;
}

int RegReadInt(const char* group, const char* application, const char* valueName,
               int defaultNumber) {
  char fallback[kRegTextSize];
  FormatText(fallback, sizeof fallback, "%d", defaultNumber);
  char text[kRegTextSize];
  RegReadString(group, application, valueName, fallback, text, sizeof text);
  long n = strtol(text, nullptr, 10);
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return static_cast<int>(n);
}

int RegWriteString(const char* group, const char* application, const char* valueName,
                   const char* text) {
  char path[kRegTextSize];
  RegKeyPath(path, group, application);
  HKEY key = nullptr;
  char noClass[] = "";
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, noClass, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return -1;
  }
  DWORD size = static_cast<DWORD>(strlen(text) + 1);
  LONG set = RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size);
  RegCloseKey(key);
  return set == ERROR_SUCCESS ? 0 : -1;
}
