#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/receiver_probe.h"
#include "platform/serial_devices.h"
#include "platform/tick_clock.h"

namespace pathmere {

// "Find receiver": probes every present serial device in turn and, when
// exactly one receiver answers, links it to a COM number (the one that
// already opens it, else the lowest free one) and selects that port and
// speed. Otherwise it changes nothing. Either way the message log says what
// was found. Driven one step at a time, like the probe.
//
// The program's own port is closed meanwhile, so that the receiver it reads
// is probed like any other and capture does not read against the probe; it
// is given back when the search changes nothing.
class ReceiverSearch {
 public:
  ReceiverSearch(Program& program, SerialDeviceSurvey survey);

  // One step; false once every device is probed.
  bool Step();
  // Progress in speeds tried, of total().
  int done() const;
  int total() const;

  // Links and selects what was found and says so in the message log. Once
  // the search is over.
  void Apply();
  // Stopped before its end: the port as it was.
  void Cancel();

 private:
  Program& program_;
  int32_t portBefore_;
  SerialDeviceSurvey survey_;
  MonotonicTickClock clock_;  // the probes' time limits are real time, whatever the program's clock
  std::vector<std::unique_ptr<ReceiverProbe>> probes_;
  size_t current_ = 0;
};

}  // namespace pathmere
