#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "messages/message_log.h"
#include "output/gpx_file_writer.h"
#include "output/owntracks_message.h"
#include "output/track_file_writer.h"
#include "platform/file_system.h"
#include "platform/tick_clock.h"

namespace pathmere {

// Keeps every vehicle's points from the broker as day files: the messages of
// owntracks/USER/DEVICE go into the folder USER-DEVICE of the output folder,
// through the logger's own track and GPX writers and day keys. A message
// that is not a usable location is counted and skipped; one with a `tst`
// the device has given before is a duplicate and dropped.
class Collector {
 public:
  // `base`: the folder the device folders go into ("" for the root).
  Collector(FileSystem& files, TickClock& clock, MessageLog& log, bool gpx, std::wstring base);

  // Returns why the message was not used (kNone when it was).
  MessageProblem Take(std::string_view topic, std::string_view payload);
  // Every device's pending points to its files (synced).
  int Flush();

  int64_t written() const { return written_; }
  int64_t duplicates() const { return duplicates_; }
  int64_t skipped(MessageProblem problem) const;
  size_t devices() const { return devices_.size(); }

 private:
  struct Device {
    Device(FileSystem& files, TickClock& clock, MessageLog& log, const std::wstring& folder);
    TrackFileWriter track;
    GpxFileWriter gpx;
    std::set<int64_t> seen;
  };

  FileSystem& files_;
  TickClock& clock_;
  MessageLog& log_;
  bool gpxOn_;
  std::wstring base_;
  std::map<std::string, std::unique_ptr<Device>> devices_;
  std::map<MessageProblem, int64_t> skipped_;
  int64_t written_ = 0;
  int64_t duplicates_ = 0;
};

}  // namespace pathmere
