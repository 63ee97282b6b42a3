// The work folder's name, built from the multimedia timer's count.
#pragma once

#include <cstddef>
#include <cstdint>

// "TempGPInstallFolder_%09d" with the count taken as a signed number, so a
// count of 2^31 or more prints with a minus sign inside the nine characters.
void FormatWorkFolderName(char* buffer, size_t size, uint32_t timerCount);

// Every work folder's name begins so; a search pattern for them.
constexpr const char kWorkFolderPattern[] = "TempGPInstallFolder_*";

// The file in a work folder that names the update that owns it (its title),
// so that the next run of that update can tell a folder left by a killed run.
constexpr const char kWorkFolderOwnerFile[] = "~updwork.own";
