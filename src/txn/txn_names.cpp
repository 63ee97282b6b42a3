#include "txn/txn_names.h"

#include "support/crc32.h"
#include "support/text.h"

char* TxnLockName(char* out, size_t size, const char* folder, LeadByteFn isLead) {
  // Object names may not hold a backslash: the folder goes in as a checksum
  // of its folded spelling, with its length.
  // Trailing separators do not count; a second byte with a separator's
  // code belongs to its character.
  size_t length = 0;
  for (size_t i = 0; folder[i] != '\0';) {
    unsigned char c = static_cast<unsigned char>(folder[i]);
    size_t width = isLead(c) && folder[i + 1] != '\0' ? 2 : 1;
    i += width;
    if (width == 2 || (c != '\\' && c != '/')) length = i;
  }
  uint32_t crc = 0;
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(folder[i]);
    if (isLead(c) && i + 1 < length) {
      crc = Crc32Update(crc, folder + i, 2);
      ++i;
      continue;
    }
    if (c == '/') c = '\\';
    c = static_cast<unsigned char>(AsciiLower(static_cast<char>(c)));
    crc = Crc32Update(crc, &c, 1);
  }
  FormatText(out, size, "GameUpdateLock-%08X-%u", static_cast<unsigned>(crc),
             static_cast<unsigned>(length));
  return out;
}
