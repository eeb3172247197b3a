#include "capture/timer_tick.h"

namespace pathmere {

void TimerTick::HandleTick() {
  if (closing != 0) return;
  if (startupState == 1) {
    // The first tick only starts up, so a chooser opened here does not race
    // with capture.
    startupState = 2;
    host_.RunStartupAction();
    return;
  }
  if (startupState != 2) return;

  if (timerTicks % kIdleTimerResetEvery == 0) host_.ResetIdleTimer();
  ++timerTicks;
  // Before the capture step, so lines added by this tick's capture stay
  // pending.
  if (flags_.flushRequested != 0) {
    flags_.flushRequested = 0;
    writers_.FlushWriters();
  }
  capture_.CaptureStep();
  if (++flags_.idleTicks > kIdleTicksBeforeNoData) {
    log_.ReplaceText(kStatusArea, L"No data \r\n");
    flags_.idleTicks = 0;
    flags_.waypointRequested = 0;
  }
}

}  // namespace pathmere
