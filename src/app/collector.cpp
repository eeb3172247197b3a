#include "app/collector.h"

#include "app/program_version.h"
#include "text/wide_text.h"

namespace pathmere {

namespace {

// The collector writes at least this often: it runs on a server, not a card.
constexpr int32_t kFlushSeconds = 10;

}  // namespace

Collector::Device::Device(FileSystem& files, TickClock& clock, MessageLog& log, const std::wstring& folder)
    : track(files, clock, log), gpx(files, log, ProgramVersion()) {
  track.SetFolder(folder);
  gpx.SetFolder(folder);
  track.SetSyncToDisk(true);
  gpx.SetSyncToDisk(true);
  track.SetFlushSeconds(kFlushSeconds);
}

Collector::Collector(FileSystem& files, TickClock& clock, MessageLog& log, bool gpx, std::wstring base)
    : files_(files), clock_(clock), log_(log), gpxOn_(gpx), base_(std::move(base)) {}

MessageProblem Collector::Take(std::string_view topic, std::string_view payload) {
  const DecodedLocation decoded = DecodeOwnTracksMessage(topic, payload);
  if (decoded.problem != MessageProblem::kNone) {
    ++skipped_[decoded.problem];
    return decoded.problem;
  }
  const std::string folder = decoded.user + "-" + decoded.device;
  std::unique_ptr<Device>& device = devices_[folder];
  if (device == nullptr) {
    // The name is only letters, digits, "-", "_" and "." (IsTopicPart).
    device = std::make_unique<Device>(files_, clock_, log_, base_ + L"\\" + Utf8ToWide(folder));
    if (gpxOn_) device->track.SetFollower(&device->gpx);
  }
  if (!device->seen.insert(decoded.tst).second) {
    ++duplicates_;
    return MessageProblem::kNone;
  }
  if (gpxOn_) device->gpx.AddPoint(decoded.fix);
  device->track.AddPoint(decoded.fix);
  ++written_;
  return MessageProblem::kNone;
}

int Collector::Flush() {
  int result = 0;
  for (auto& [name, device] : devices_) {
    result |= device->track.Flush();
    if (gpxOn_) result |= device->gpx.Flush();
  }
  return result;
}

int64_t Collector::skipped(MessageProblem problem) const {
  const auto it = skipped_.find(problem);
  return it == skipped_.end() ? 0 : it->second;
}

}  // namespace pathmere
