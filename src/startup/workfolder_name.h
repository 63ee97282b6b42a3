// The work folder's name, built from the multimedia timer's count.
#pragma once

#include <cstddef>
#include <cstdint>

// "TempGPInstallFolder_%09d" with the count taken as a signed number, so a
// count of 2^31 or more prints with a minus sign inside the nine characters.
void FormatWorkFolderName(char* buffer, size_t size, uint32_t timerCount);
