#pragma once

#include <cstdint>

namespace pathmere {

// Milliseconds since an arbitrary start, wrapping at 2^32. Callers only ever
// take unsigned differences, so the wrap is harmless.
class TickClock {
 public:
  virtual ~TickClock() = default;
  virtual uint32_t NowMs() = 0;
};

// CLOCK_MONOTONIC in milliseconds: unaffected by the wall clock being set.
uint32_t MonotonicNowMs();

class MonotonicTickClock final : public TickClock {
 public:
  uint32_t NowMs() override;
};

}  // namespace pathmere
