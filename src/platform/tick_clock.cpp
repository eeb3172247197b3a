#include "platform/tick_clock.h"

#include <ctime>

namespace pathmere {

uint32_t MonotonicNowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000ULL + static_cast<uint64_t>(now.tv_nsec) / 1000000ULL;
  return static_cast<uint32_t>(ms);
}

uint32_t MonotonicTickClock::NowMs() { return MonotonicNowMs(); }

}  // namespace pathmere
