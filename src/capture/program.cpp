#include "capture/program.h"

#include "platform/serial_posix.h"

namespace pathmere {

Program::Program(FileSystem& files, TickClock& clock, TickHost& host,
                 std::unique_ptr<SerialPort> port)
    : files(files),
      clock(clock),
      track(files, clock, log),
      route(files, clock, log),
      routeSelector(flags, route),
      nmeaLog(files, clock, log),
      waypoints(files, log),
      fix(flags, settings, log, *this),
      assembler(*this),
      serialPort(port != nullptr ? std::move(port)
                                 : std::make_unique<PosixSerialPort>(settings, flags)),
      capture(flags, settings, log, files, clock, *serialPort, assembler, *this),
      tick(flags, log, capture, *this, host) {}

void Program::SetOutputFolder(const wchar_t* path) {
  track.SetFolder(path);
  route.SetFolder(path);
  nmeaLog.SetFolder(path);
  waypoints.SetFolder(path);
}

void Program::ShutDown() {
  tick.closing = 1;
  flags.flushRequested = 0;
  FlushWriters();
  if (flags.portOpen != 0) {
    serialPort->ClosePort();
    flags.portOpen = 0;
  }
  capture.CloseReplay();
}

void Program::AddTrackPoint(const GpsFix& fix) { track.AddPoint(fix); }

void Program::SelectRoutePoint(const GpsFix& fix) { routeSelector.SelectRoutePoint(fix); }

void Program::SaveWaypoint(const GpsFix& fix) { waypoints.SaveWaypoint(fix); }

void Program::AddNmeaSentence(const GpsFix& fix, const char* sentence, int dated) {
  nmeaLog.AddSentence(fix, sentence, dated != 0);
}

void Program::FlushWriters() {
  track.Flush();
  route.Flush();
  FlushNmeaLog();
}

void Program::FlushNmeaLog() {
  if (settings.enableNmeaLog != 0) nmeaLog.Flush();
}

}  // namespace pathmere
