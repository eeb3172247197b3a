#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "messages/message_log.h"
#include "output/gpx_file_writer.h"
#include "output/owntracks_message.h"
#include "output/track_file_writer.h"
#include "platform/file_system.h"
#include "platform/tick_clock.h"

namespace pathmere {

// Keeps every vehicle's points from the broker as day files: the messages of
// owntracks/USER/DEVICE go into the folder USER/DEVICE of the output folder,
// through the logger's own track and GPX writers and day keys. A message
// that is not a usable location is counted and skipped; one with a `tst`
// the device has given before is a duplicate and dropped, also when the
// point was written before this run: a day's .plt is read back the first
// time a point of that day arrives, whatever order the points come in.
class Collector {
 public:
  // Written at least this often: the collector runs on a server, not a card.
  static constexpr int32_t kFlushSeconds = 10;
  // Days of each device whose `tst` values are kept; an older one is read
  // from its file again when a point of it comes back.
  static constexpr size_t kDaysKept = 3;

  // `base`: the folder the device folders go into ("" for the root).
  Collector(FileSystem& files, TickClock& clock, MessageLog& log, bool gpx, std::wstring base);

  // Seconds since 1970 now (std::time unless set): a `tst` more than a day
  // after it is refused.
  void SetWallClock(std::function<int64_t()> now) { now_ = std::move(now); }

  // Returns why the message was not used (kNone when it was).
  MessageProblem Take(std::string_view topic, std::string_view payload);
  // Every device's pending points to its files (synced).
  int Flush();
  // Whether a write of a day file failed since the last call (also one the
  // writers made on their own, at a day change or with a full buffer).
  bool TakeWriteFailure();

  // One line per change of a device's track file writes: "cannot write
  // car-van7/2026-12-07.plt: ...", then "... written again".
  std::vector<std::string> ObserveWrites();

  // Folders of the output folder named USER-DEVICE with day files in them:
  // the naming before USER/DEVICE, which two vehicles could share. They are
  // left as they are, for the user to move.
  std::vector<std::string> OldNamedFolders();

  struct DeviceCount {
    std::string name;  // USER/DEVICE
    int64_t written = 0;
    int64_t lastTst = 0;  // of the last point written
    long pending = 0;     // points not on disk yet
  };
  // In name order.
  std::vector<DeviceCount> Devices() const;

  int64_t written() const { return written_; }
  int64_t duplicates() const { return duplicates_; }
  int64_t skipped(MessageProblem problem) const;
  int64_t skippedTotal() const;
  int64_t messages() const { return messages_; }
  // Tick of the last message taken; valid once messages() is above 0.
  uint32_t lastMessageTick() const { return lastMessageTick_; }
  size_t devices() const { return devices_.size(); }
  const std::wstring& base() const { return base_; }

 private:
  struct Device {
    Device(FileSystem& files, TickClock& clock, MessageLog& log, const std::wstring& where);
    TrackFileWriter track;
    GpxFileWriter gpx;
    std::wstring folder;
    // The `tst` of each local day's points, sorted: those of its file when
    // the day was first met in this run, and those taken since.
    std::map<int32_t, std::vector<int64_t>> days;
    std::vector<int32_t> dayUse;  // day keys, the most recently used last
    // Points taken and not yet handed to the writers, by local day.
    std::map<int32_t, std::vector<std::pair<int64_t, GpsFix>>> waiting;
    long waitingPoints = 0;
    int64_t written = 0;
    int64_t lastTst = 0;
    int toldCode = kWriteOk;
    uint32_t toldError = 0;
  };

  // The `tst` values of the local day `key` of `device`, read from its .plt
  // the first time.
  std::vector<int64_t>& Seen(Device& device, int32_t key, const GpsFix& local);

  FileSystem& files_;
  TickClock& clock_;
  MessageLog& log_;
  bool gpxOn_;
  std::wstring base_;
  std::map<std::string, std::unique_ptr<Device>> devices_;
  std::map<MessageProblem, int64_t> skipped_;
  int64_t written_ = 0;
  int64_t duplicates_ = 0;
  int64_t messages_ = 0;
  uint32_t lastMessageTick_ = 0;
  bool writeFailed_ = false;  // since TakeWriteFailure()
  bool lastFlushFailed_ = false;
  std::function<int64_t()> now_;
};

}  // namespace pathmere
