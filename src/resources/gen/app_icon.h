// The updater's application icon: a blue tile with a white arrow pointing
// down into a green tray, drawn at 16, 32 and 48 pixels and written as a
// Windows icon file of 32-bit images with their masks.
#pragma once

#include <cstdint>
#include <vector>

// The icon file (header, directory, and one 32-bit DIB with its AND mask per
// size), as the resource script embeds it.
std::vector<uint8_t> BuildAppIcon();
