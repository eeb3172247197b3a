#pragma once

#include <memory>

#include "capture/capture_loop.h"
#include "capture/sentence_assembler.h"
#include "capture/timer_tick.h"
#include "capture/writer_flushes.h"
#include "fix/fix_outputs.h"
#include "fix/sentence_processor.h"
#include "fix/shared_flags.h"
#include "output/nmea_log_writer.h"
#include "output/track_file_writer.h"
#include "output/waypoint_file_writer.h"
#include "platform/file_system.h"
#include "platform/message_log.h"
#include "platform/serial_port.h"
#include "platform/tick_clock.h"
#include "route/route_file_writer.h"
#include "route/route_point_selector.h"
#include "settings/settings.h"

namespace pathmere {

// The whole program state, one of each, created once by a front end (the
// desktop window or the headless command) on top of the platform services it
// chooses. Every test starts from a fresh one.
class Program final : public FixOutputs, public WriterFlushes, public SentenceSink {
 public:
  // With no `port`, the serial receiver is the termios one.
  Program(FileSystem& files, TickClock& clock, TickHost& host,
          std::unique_ptr<SerialPort> port = nullptr);
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // The same folder for every writer, in the fixed order.
  void SetOutputFolder(const wchar_t* path);

  // The program's part of shutting down: ticks stop acting, pending lines go
  // to their files, the port and a replay file are closed. The front end
  // stops its timer and removes its icon around this.
  void ShutDown();

  // FixOutputs: where accepted fixes go.
  void AddTrackPoint(const GpsFix& fix) override;
  void SelectRoutePoint(const GpsFix& fix) override;
  void SaveWaypoint(const GpsFix& fix) override;
  void AddNmeaSentence(const GpsFix& fix, const char* sentence, int dated) override;
  // WriterFlushes
  void FlushWriters() override;
  void FlushNmeaLog() override;
  // SentenceSink: the assembler's sentences go to fix processing.
  void ProcessSentence(const char* sentence) override { fix.ProcessSentence(sentence); }

  FileSystem& files;
  TickClock& clock;
  SharedFlags flags;
  Settings settings;
  MessageLog log;
  TrackFileWriter track;
  RouteFileWriter route;
  RoutePointSelector routeSelector;
  NmeaLogWriter nmeaLog;
  WaypointFileWriter waypoints;
  SentenceProcessor fix;
  SentenceAssembler assembler;
  std::unique_ptr<SerialPort> serialPort;
  CaptureLoop capture;
  TimerTick tick;
};

}  // namespace pathmere
