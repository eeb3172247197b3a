#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/port_watch.h"
#include "app/program.h"
#include "platform/tick_clock.h"

namespace pathmere {

// One line per change of state, for a journal where the status area is not
// shown: the port opening, failing and coming back, the receiver falling
// silent and sending again, the fix coming and going, runs of dropped fixes,
// and day files that cannot be written and can be again. A state that stays
// as it is says nothing more.
class StateLines {
 public:
  // Shorter runs of dropped fixes are the filter's everyday work.
  static constexpr int32_t kToldDropRun = 3;
  // Seconds a network source may stay ahead of the reads before it is told:
  // a burst is caught up with by the next tick.
  static constexpr uint32_t kToldBacklogTicks = 3;

  StateLines(PortWatch& port, TickClock& clock) : port_(port), clock_(clock) {}

  // What changed since the last call; the front end calls it after each tick.
  std::vector<std::string> Observe(const Program& program);

 private:
  struct WriteState {
    int code = kWriteOk;
    uint32_t error = 0;
    uint32_t syncError = 0;
  };

  void ObserveData(const Program& program, std::vector<std::string>* lines);
  void ObserveFix(const Program& program, std::vector<std::string>* lines);
  void ObserveWrites(const Program& program, std::vector<std::string>* lines);
  void ObserveBacklog(const Program& program, std::vector<std::string>* lines);

  PortWatch& port_;
  TickClock& clock_;
  uint32_t sentences_ = 0;
  uint32_t lastDataTick_ = 0;
  int silentTicks_ = 0;
  uint64_t bytesAtLastData_ = 0;  // the port's bytes when the last sentence came
  bool silenceTold_ = false;
  bool hasFix_ = false;
  bool hadFix_ = false;
  uint32_t fixLostTick_ = 0;
  uint32_t dropRunsEnded_ = 0;
  WriteState writes_[5];
  std::string droppedTold_;
  int32_t droppedTicks_ = 0;
  bool backlogTold_ = false;
};

}  // namespace pathmere
