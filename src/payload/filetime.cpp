#include "payload/filetime.h"

namespace {
constexpr int64_t kTicksPerSecond = 10000000;
}

uint64_t PayloadTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
  int64_t ticks = seconds * kTicksPerSecond + nanoseconds / 100;
  return static_cast<uint64_t>(static_cast<int64_t>(kFileTimeUnixEpoch) + ticks);
}

void PayloadTimeToUnix(uint64_t fileTime, int64_t* seconds, uint32_t* nanoseconds) {
  int64_t ticks = static_cast<int64_t>(fileTime - kFileTimeUnixEpoch);
  int64_t s = ticks / kTicksPerSecond;
  int64_t rest = ticks % kTicksPerSecond;
  if (rest < 0) {
    rest += kTicksPerSecond;
    s -= 1;
  }
  *seconds = s;
  *nanoseconds = static_cast<uint32_t>(rest * 100);
}
