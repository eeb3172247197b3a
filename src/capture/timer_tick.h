#pragma once

#include <cstdint>

#include "capture/capture_loop.h"
#include "capture/writer_flushes.h"
#include "fix/shared_flags.h"
#include "messages/message_log.h"

namespace pathmere {

// What the front end does for the tick: the start-up action on the first
// tick (output folder, chooser or hiding), and the platform's idle-timer
// reset. Both do nothing unless a front end has something to do: a replay
// is handed its folder and has no screen to keep awake.
class TickHost {
 public:
  virtual ~TickHost() = default;
  virtual void RunStartupAction() {}
  virtual void ResetIdleTimer() {}
};

// The program's main loop: one call a second.
class TimerTick {
 public:
  static constexpr int kIdleTicksBeforeNoData = 5;
  static constexpr uint32_t kIdleTimerResetEvery = 128;

  TimerTick(SharedFlags& flags, MessageLog& log, CaptureLoop& capture, WriterFlushes& writers, TickHost& host)
      : flags_(flags), log_(log), capture_(capture), writers_(writers), host_(host) {}

  void HandleTick();

  int32_t startupState = 0;  // 0 no timer yet, 1 first tick pending, 2 running
  uint32_t timerTicks = 0;   // ticks handled while running
  int32_t closing = 0;       // set when shut-down begins; ticks then do nothing

 private:
  SharedFlags& flags_;
  MessageLog& log_;
  CaptureLoop& capture_;
  WriterFlushes& writers_;
  TickHost& host_;
};

}  // namespace pathmere
