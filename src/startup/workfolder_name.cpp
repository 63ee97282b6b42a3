#include "startup/workfolder_name.h"

#include "support/text.h"

void FormatWorkFolderName(char* buffer, size_t size, uint32_t timerCount) {
  FormatText(buffer, size, "TempGPInstallFolder_%09d", static_cast<int32_t>(timerCount));
}
