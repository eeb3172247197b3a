#pragma once

#include <cstdint>

#include "platform/tick_clock.h"

namespace pathmere::testing {

// A tick count that moves only when the test says so, or by `autoAdvance`
// on every reading.
class FakeTickClock : public TickClock {
 public:
  explicit FakeTickClock(uint32_t start = 0) : now(start) {}
  uint32_t NowMs() override {
    const uint32_t value = now;
    now += autoAdvance;
    return value;
  }
  uint32_t now;
  uint32_t autoAdvance = 0;
};

}  // namespace pathmere::testing
