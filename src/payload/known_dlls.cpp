// The known DLLs: the names that Windows 7, 8, 8.1, 10 and 11 all list under
// HKLM\System\CurrentControlSet\Control\Session Manager\KnownDLLs. Windows
// maps these from the system folder whatever lies beside the program; a
// name that only some versions list (gdiplus, combase, wininet...) is left
// out, since on the others it is searched for like any DLL.
#include <cctype>

#include "payload/pe_image.h"
#include "support/text.h"

namespace {

const char* const kKnownDlls[] = {
    "advapi32", "clbcatq",  "comdlg32", "gdi32",   "imagehlp", "imm32",    "kernel32", "msctf",
    "msvcrt",   "normaliz", "nsi",      "ntdll",   "ole32",    "oleaut32", "psapi",    "rpcrt4",
    "sechost",  "setupapi", "shell32",  "shlwapi", "user32",   "wldap32",  "ws2_32",
};

}  // namespace

bool PeIsKnownDll(const std::string& name) {
  std::string lower;
  for (char c : name) lower.push_back(AsciiLower(c));
  if (lower.size() < 5 || lower.compare(lower.size() - 4, 4, ".dll") != 0) return false;
  lower.resize(lower.size() - 4);
  for (const char* known : kKnownDlls) {
    if (lower == known) return true;
  }
  return false;
}
