// The standard CRC-32 (reflected polynomial 0xEDB88320), as zlib and PNG use.
#pragma once

#include <cstddef>
#include <cstdint>

// Feeds count bytes into the running value r (start with 0xFFFFFFFF and
// complement the end result for the usual CRC-32).
uint32_t Crc32Update(uint32_t r, const void* bytes, size_t count);
