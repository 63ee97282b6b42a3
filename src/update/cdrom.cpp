#include "update/cdrom.h"

#include <windows.h>

#include "support/text.h"

const char* GetCdromDrive() {
  static char drive[MAX_PATH];
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    FormatText(drive, sizeof drive, "%c:\\", letter);
    if (GetDriveTypeA(drive) == DRIVE_CDROM) return drive;
  }
  return CopyText(drive, sizeof drive, "E:\\");
}
