// Entry time stamps are the platform's FILETIME: 100-nanosecond intervals
// since 1601-01-01 UTC. Conversions for the tools that run on POSIX clocks.
#pragma once

#include <cstdint>

// FILETIME of 1970-01-01 00:00:00 UTC.
constexpr uint64_t kFileTimeUnixEpoch = 116444736000000000ULL;

// From seconds and nanoseconds since 1970 (seconds may be negative, back to
// 1601). The nanoseconds are cut to 100 ns.
uint64_t PayloadTimeFromUnix(int64_t seconds, uint32_t nanoseconds);

// To seconds (rounded down) and nanoseconds since 1970.
void PayloadTimeToUnix(uint64_t fileTime, int64_t* seconds, uint32_t* nanoseconds);
