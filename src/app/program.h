#pragma once

#include <cstdint>

#include "capture/capture_loop.h"
#include "capture/capture_state.h"
#include "capture/sentence_assembler.h"
#include "capture/sentence_paths.h"
#include "capture/timer_tick.h"
#include "capture/writer_flushes.h"
#include "fix/fix_outputs.h"
#include "fix/sentence_processor.h"
#include "fix/shared_flags.h"
#include "messages/message_log.h"
#include "messages/panel_text.h"
#include "output/gpx_file_writer.h"
#include "output/nmea_log_writer.h"
#include "output/position_publisher.h"
#include "output/track_file_writer.h"
#include "output/waypoint_file_writer.h"
#include "platform/file_system.h"
#include "platform/serial_port.h"
#include "platform/settings_store.h"
#include "platform/tick_clock.h"
#include "route/route_file_writer.h"
#include "route/route_point_selector.h"
#include "settings/settings.h"
#include "settings/settings_operations.h"

namespace pathmere {

// What a forwarded code leaves for the front end to do after the program's
// own part.
enum class ForwardedAction { kNothing, kShowWindow };

// The whole program, one of each part, on the platform services that a front
// end (the desktop window, the headless command, a test) creates and hands
// in. Front ends drive it only through the verbs below and read what they
// show through the views; every test starts from a fresh one.
class Program {
 public:
  Program(FileSystem& files, TickClock& clock, SerialPort& port, TickHost& host);
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // --- Running
  // The timer runs from now on: the next tick is the start-up tick, every
  // later one captures.
  void Start();
  // One tick of the main loop; the front end calls it once a second.
  void Tick();
  // The program's part of shutting down: ticks stop acting, pending lines go
  // to their files, the port and a replay file are closed. The front end
  // stops its timer and removes its icon around this. Returns 0 when every
  // pending line reached its file, else the OR of the failed flushes' codes.
  int ShutDown();

  // --- Commands
  // A waypoint at the next good fix.
  void RequestWaypoint();
  // The writers' pending lines go to their files at the next tick.
  void RequestFlush();
  // The same, now: track, route, then the NMEA log while it is on.
  void FlushWriters();
  // "Read NMEA file": see CaptureLoop::StartReplay.
  bool ReplayFile(const char* hostPath);
  // Stops a replay before its end; what it gave so far is written.
  void CancelReplay();
  // Bytes of the replayed file read so far, and its size (0: unknown).
  int64_t ReplayedBytes() const { return capture_.replayedBytes(); }
  int64_t ReplaySize() const { return capture_.replaySize(); }
  // A code a second start forwarded (100, 101, 102; others do nothing).
  ForwardedAction ApplyForwardedCode(int32_t code);
  // Switching the log off first writes what it holds.
  void SetNmeaLog(bool on);
  // "GpxLog": the day's GPX file beside the Ozi files. Switching it off
  // first writes what it holds.
  void SetGpxLog(bool on);
  void SetHideAtStartup(bool on);
  // On: only "$GP" sentences count, as the program always read them.
  void SetGpsOnly(bool on);
  // Set the value, then close the port, which the next tick reopens with it.
  // The port is closed even when the value did not change.
  void SelectPort(int32_t portNumber);
  void SelectSpeed(int32_t portSpeed);
  // The same folder for every writer, in the fixed order.
  void SetOutputFolder(const wchar_t* path);
  // "FlushSeconds": the track, route and NMEA log writers' timed flush after
  // this many seconds instead of their own 300 / 438 (0 or less: their own).
  void SetFlushSeconds(int32_t seconds);
  // The numeric settings from and to the store.
  void LoadSettings(SettingsStore& store);
  void SaveSettings(SettingsStore& store) const;
  // The stored output folder into the writers; the codes of LoadOutputDir.
  int32_t LoadOutputFolder(SettingsStore& store);
  // The same, telling which problem the stored folder has.
  int32_t LoadOutputFolder(SettingsStore& store, OutputDirCheck* check);
  // A line of the program's own for the message log ("...\r\n").
  void AppendToMessageLog(std::string_view text);
  void AppendToMessageLog(std::wstring_view text);
  // Where the status area and the message log are shown; null for nowhere.
  void AttachPanel(PanelText* panel);
  // Where each track point is also published as it is taken (null: nowhere,
  // the default). The publisher is pumped each tick and its outbox synced
  // whenever the track file is written.
  void AttachPublisher(PositionPublisher* publisher) { publisher_ = publisher; }
  const PositionPublisher* publisher() const { return publisher_; }
  // Receiver bytes straight into the sentence assemblers, as the capture
  // step hands them on (benchmarks, tests).
  void FeedReceiverBytes(const uint8_t* bytes, int32_t count);

  // --- Views
  const Settings& settings() const { return settings_; }
  const SharedFlags& flags() const { return flags_; }
  const CaptureState& capture() const { return captureState_; }
  bool IsReplaying() const { return captureState_.IsReplaying(); }
  const TimerTick& tick() const { return tick_; }
  const FixState& fixState() const { return fix_.state; }
  // Track points taken this run for the day the track file is named by.
  int32_t trackPointsToday() const { return trackPointsToday_; }
  // Whether the other satellite systems' sentences still reach their own
  // fix processing.
  bool SecondPathOpen() const { return paths_.SecondPathOpen(); }
  // The fix to tell the user about: the other systems' while only they
  // have given an RMC (their talker is chosen), else the GPS one.
  const FixState& shownFixState() const {
    return SecondPathOpen() && otherSystemsFix_.state.talker[0] != '\0' ? otherSystemsFix_.state : fix_.state;
  }
  const MessageLog& log() const { return log_; }
  const TrackFileWriter& track() const { return track_; }
  const RouteFileWriter& route() const { return route_; }
  const NmeaLogWriter& nmeaLog() const { return nmeaLog_; }
  const WaypointFileWriter& waypoints() const { return waypoints_; }
  const GpxFileWriter& gpx() const { return gpx_; }

 private:
  // Where fix processing, capture and the tick hand their results: the
  // writers in their fixed order, shared by both fix processings.
  class Wiring final : public FixOutputs, public WriterFlushes, public SentenceSink {
   public:
    explicit Wiring(Program& program) : program_(program) {}
    void AddTrackPoint(const GpsFix& fix) override;
    void SelectRoutePoint(const GpsFix& fix) override;
    void SaveWaypoint(const GpsFix& fix) override;
    void AddNmeaSentence(const GpsFix& fix, const char* sentence, int dated) override;
    void FlushWriters() override;
    void FlushNmeaLog() override;
    void ProcessSentence(const char* sentence) override;

   private:
    Program& program_;
  };
  class OtherSystemsSentences final : public SentenceSink {
   public:
    explicit OtherSystemsSentences(Program& program) : program_(program) {}
    void ProcessSentence(const char* sentence) override;

   private:
    Program& program_;
  };

  // Live flushes are made durable; a replay's are not: its data is
  // already on disk in the file it reads.
  void UpdateSyncToDisk();
  // The outbox follows the track file to disk.
  void SyncPublisher();
  // Lines a failed write kept go out as soon as the disk takes them.
  void RetryKept();

  Wiring wiring_{*this};
  OtherSystemsSentences otherSystemsSentences_{*this};
  SharedFlags flags_;
  CaptureState captureState_;
  Settings settings_;
  MessageLog log_;
  TrackFileWriter track_;
  RouteFileWriter route_;
  RoutePointSelector routeSelector_;
  NmeaLogWriter nmeaLog_;
  WaypointFileWriter waypoints_;
  GpxFileWriter gpx_;
  SentenceProcessor fix_;
  SentenceProcessor otherSystemsFix_;
  SentencePaths paths_;
  CaptureLoop capture_;
  TimerTick tick_;
  PositionPublisher* publisher_ = nullptr;
  uint32_t publishedFlushes_ = 0;  // the track file's writes the outbox has been synced after
  int32_t trackPointsToday_ = 0;
  int32_t trackPointsDay_ = 0;  // day, month and year of the file they went into, as one key
};

}  // namespace pathmere
