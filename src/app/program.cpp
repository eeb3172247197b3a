#include "app/program.h"

#include <ctime>

#include "app/program_version.h"
#include "platform/instance_channel.h"
#include "settings/settings_operations.h"

namespace pathmere {

Program::Program(FileSystem& files, TickClock& clock, SerialPort& port, TickHost& host)
    : track_(files, clock, log_),
      route_(files, clock, log_),
      routeSelector_(flags_, route_),
      nmeaLog_(files, clock, log_),
      waypoints_(files, log_),
      gpx_(files, log_, ProgramVersion()),
      fix_(flags_, captureState_, settings_, log_, wiring_),
      otherSystemsFix_(flags_, captureState_, settings_, log_, wiring_, Talkers::kOtherSystems),
      paths_(settings_, wiring_, otherSystemsSentences_),
      capture_(captureState_, flags_, settings_, log_, files, clock, port, paths_, wiring_),
      tick_(flags_, log_, capture_, wiring_, host) {
  // The GPX file is written just before each write of the .plt, so that it
  // never holds fewer points.
  track_.SetFollower(&gpx_);
  UpdateSyncToDisk();
}

void Program::UpdateSyncToDisk() {
  const bool live = !captureState_.IsReplaying();
  track_.SetSyncToDisk(live);
  route_.SetSyncToDisk(live);
  nmeaLog_.SetSyncToDisk(live);
  waypoints_.SetSyncToDisk(live);
  gpx_.SetSyncToDisk(live);
}

void Program::Start() {
  if (tick_.startupState == 0) tick_.startupState = 1;
}

void Program::Tick() {
  // A replay starts between ticks and ends inside one, with its own flush.
  UpdateSyncToDisk();
  tick_.HandleTick();
  RetryKept();
  if (publisher_ != nullptr) {
    publisher_->Pump();
    SyncPublisher();
  }
}

void Program::RetryKept() {
  // Only after a failed write; the GPX file first, as at every flush.
  if (tick_.startupState == 2 && tick_.closing == 0) {
    gpx_.RetryKept();
    track_.RetryKept();
    route_.RetryKept();
    nmeaLog_.RetryKept();
    waypoints_.RetryKept();
  }
}

void Program::SyncPublisher() {
  if (publisher_ == nullptr || track_.output().writtenFlushes() == publishedFlushes_) return;
  publishedFlushes_ = track_.output().writtenFlushes();
  publisher_->Sync();
}

int Program::ShutDown() {
  tick_.closing = 1;
  flags_.flushRequested = 0;
  UpdateSyncToDisk();
  // The flushes of FlushWriters, in its order, with their results kept.
  int result = track_.Flush();
  // What a failed GPX write kept, once more.
  result |= gpx_.Flush();
  result |= route_.Flush();
  // A log switched off may still keep what a failed write left.
  if (settings_.enableNmeaLog != 0 || nmeaLog_.keptLines() > 0) result |= nmeaLog_.Flush();
  result |= waypoints_.RetryKept();
  if (publisher_ != nullptr) {
    publisher_->Pump();
    publisher_->Sync();
  }
  if (captureState_.portOpen != 0) capture_.ClosePort();
  capture_.CloseReplay();
  return result;
}

void Program::RequestWaypoint() { flags_.waypointRequested = 1; }

void Program::RequestFlush() { flags_.flushRequested = 1; }

void Program::FlushWriters() { wiring_.FlushWriters(); }

bool Program::ReplayFile(const char* hostPath) {
  const bool started = capture_.StartReplay(hostPath);
  UpdateSyncToDisk();
  return started;
}

void Program::CancelReplay() {
  if (!IsReplaying()) return;
  capture_.CloseReplay();
  log_.AppendText(kMessageLog, std::string_view("File reading cancelled\r\n"));
  wiring_.FlushWriters();
  UpdateSyncToDisk();
}

ForwardedAction Program::ApplyForwardedCode(int32_t code) {
  if (code == kForwardWaypoint || code == kForwardWaypointAndShow) {
    RequestWaypoint();
    RequestFlush();
  }
  if (code == kForwardWaypointAndShow || code == kForwardShow) return ForwardedAction::kShowWindow;
  return ForwardedAction::kNothing;
}

void Program::SetNmeaLog(bool on) {
  // What the log holds goes to its file before the switch turns off.
  if (!on && settings_.enableNmeaLog != 0) wiring_.FlushNmeaLog();
  settings_.enableNmeaLog = on ? 1 : 0;
}

void Program::SetGpxLog(bool on) {
  if (!on && settings_.gpxLog != 0) gpx_.Flush();
  settings_.gpxLog = on ? 1 : 0;
}

void Program::SetHideAtStartup(bool on) { settings_.hideAtStartup = on ? 1 : 0; }

void Program::SetGpsOnly(bool on) { settings_.gpsOnly = on ? 1 : 0; }

void Program::SelectPort(int32_t portNumber) {
  settings_.portNumber = portNumber;
  capture_.ClosePort();
}

void Program::SelectSpeed(int32_t portSpeed) {
  settings_.portSpeed = portSpeed;
  capture_.ClosePort();
}

void Program::SetOutputFolder(const wchar_t* path) {
  track_.SetFolder(path);
  route_.SetFolder(path);
  nmeaLog_.SetFolder(path);
  waypoints_.SetFolder(path);
  gpx_.SetFolder(path);
}

void Program::SetFlushSeconds(int32_t seconds) {
  settings_.flushSeconds = seconds;
  track_.SetFlushSeconds(seconds);
  route_.SetFlushSeconds(seconds);
  nmeaLog_.SetFlushSeconds(seconds);
}

void Program::LoadSettings(SettingsStore& store) {
  pathmere::LoadSettings(store, settings_);
  SetFlushSeconds(settings_.flushSeconds);
}

void Program::SaveSettings(SettingsStore& store) const { pathmere::SaveSettings(store, settings_); }

int32_t Program::LoadOutputFolder(SettingsStore& store) {
  return LoadOutputDir(store, [this](const wchar_t* folder) { SetOutputFolder(folder); });
}

void Program::AppendToMessageLog(std::string_view text) { log_.AppendText(kMessageLog, text); }
void Program::AppendToMessageLog(std::wstring_view text) { log_.AppendText(kMessageLog, text); }

int32_t Program::LoadOutputFolder(SettingsStore& store, OutputDirCheck* check) {
  return LoadOutputDir(
      store, [this](const wchar_t* folder) { SetOutputFolder(folder); }, check);
}

void Program::AttachPanel(PanelText* panel) { log_.AttachPanel(panel); }

void Program::FeedReceiverBytes(const uint8_t* bytes, int32_t count) { paths_.Feed(bytes, count); }

void Program::Wiring::AddTrackPoint(const GpsFix& fix) {
  // The GPX writer first: the .plt's flushes write it too.
  if (program_.settings_.gpxLog != 0) program_.gpx_.AddPoint(fix);
  program_.track_.AddPoint(fix);
  if (program_.publisher_ != nullptr) program_.publisher_->AddPoint(fix, std::time(nullptr));
  // The point has settled the file's day by now.
  const DayFile& file = program_.track_.output().file();
  const int32_t day = (file.fileYear() * 100 + file.fileMonth()) * 100 + file.fileDay();
  if (day != program_.trackPointsDay_) {
    program_.trackPointsDay_ = day;
    program_.trackPointsToday_ = 0;
  }
  ++program_.trackPointsToday_;
}

void Program::Wiring::SelectRoutePoint(const GpsFix& fix) { program_.routeSelector_.SelectRoutePoint(fix); }

void Program::Wiring::SaveWaypoint(const GpsFix& fix) {
  program_.waypoints_.SaveWaypoint(fix);
  if (program_.settings_.gpxLog != 0) program_.gpx_.SaveWaypoint(fix);
}

void Program::Wiring::AddNmeaSentence(const GpsFix& fix, const char* sentence, int dated) {
  program_.nmeaLog_.AddSentence(fix, sentence, dated != 0);
}

void Program::Wiring::FlushWriters() {
  program_.track_.Flush();
  program_.gpx_.Flush();
  program_.route_.Flush();
  FlushNmeaLog();
}

void Program::Wiring::FlushNmeaLog() {
  if (program_.settings_.enableNmeaLog != 0) program_.nmeaLog_.Flush();
}

void Program::Wiring::ProcessSentence(const char* sentence) { program_.fix_.ProcessSentence(sentence); }

void Program::OtherSystemsSentences::ProcessSentence(const char* sentence) {
  program_.otherSystemsFix_.ProcessSentence(sentence);
}

}  // namespace pathmere
