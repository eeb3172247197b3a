#pragma once

#include <cstdint>
#include <string>

#include "fix/gps_fix.h"

namespace pathmere {

class Program;

// How the receiver is doing, in the four states the tray icon tells apart.
enum class Reception { kFix, kNoFix, kNoData, kPortError };

// Follows the program tick by tick for the tray icon: the state, the time of
// the last good fix and a one-line summary. Read only; the program does not
// know it is watched.
class ReceptionWatch {
 public:
  // After every tick.
  void Update(const Program& program);

  Reception reception() const { return reception_; }
  bool hasLastFix() const { return hasLastFix_; }
  // "COM3: fix, last fix 14:03:12, 57 points today"; the time is local, the
  // points are those of this run for the track file's day.
  std::string Summary(const Program& program) const;

 private:
  Reception reception_ = Reception::kNoData;
  uint32_t sentencesSeen_ = 0;
  int32_t silentTicks_ = 0;
  bool anySentence_ = false;
  bool hasLastFix_ = false;
  GpsFix lastFixLocal_{};
};

}  // namespace pathmere
