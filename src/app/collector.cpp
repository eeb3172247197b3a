#include "app/collector.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "app/logger_report.h"
#include "app/program_version.h"
#include "fix/fix_time.h"
#include "output/ozi_line_reader.h"
#include "text/wide_text.h"

namespace pathmere {

namespace {

// 1970-01-01 as a day number of the day files (days since 1899-12-30).
constexpr double kUnixEpochDayNumber = 25569.0;
// A receiver's clock may run a little ahead; a day ahead is no clock.
constexpr int64_t kLongestAhead = 86400;

}  // namespace

Collector::Device::Device(FileSystem& files, TickClock& clock, MessageLog& log, const std::wstring& where)
    : track(files, clock, log), gpx(files, log, ProgramVersion()), folder(where) {
  track.SetFolder(where);
  gpx.SetFolder(where);
  track.SetSyncToDisk(true);
  gpx.SetSyncToDisk(true);
  track.SetFlushSeconds(kFlushSeconds);
}

Collector::Collector(FileSystem& files, TickClock& clock, MessageLog& log, bool gpx, std::wstring base)
    : files_(files), clock_(clock), log_(log), gpxOn_(gpx), base_(std::move(base)), now_([] {
        return static_cast<int64_t>(std::time(nullptr));
      }) {}

MessageProblem Collector::Take(std::string_view topic, std::string_view payload) {
  ++messages_;
  lastMessageTick_ = clock_.NowMs();
  DecodedLocation decoded = DecodeOwnTracksMessage(topic, payload);
  if (decoded.problem == MessageProblem::kNone && decoded.tst > now_() + kLongestAhead)
    decoded.problem = MessageProblem::kFuture;
  if (decoded.problem != MessageProblem::kNone) {
    ++skipped_[decoded.problem];
    return decoded.problem;
  }
  // One folder per user, one per device in it: no two vehicles can share a
  // folder, and each name is only letters, digits, "-", "_" and "." (not
  // first: IsTopicPart).
  const std::string folder = decoded.user + "/" + decoded.device;
  std::unique_ptr<Device>& device = devices_[folder];
  if (device == nullptr) {
    const std::wstring user = base_ + L"\\" + Utf8ToWide(decoded.user);
    if (files_.LookUp(user) == FileSystem::PathKind::kMissing) files_.CreateDirectory(user);
    device = std::make_unique<Device>(files_, clock_, log_, user + L"\\" + Utf8ToWide(decoded.device));
    if (gpxOn_) device->track.SetFollower(&device->gpx);
  }
  GpsFix local;
  UtcToLocal(decoded.fix, &local);
  const int32_t key = DayKey(local);
  std::vector<int64_t>& seen = Seen(*device, key, local);
  // Points mostly come in order: the search ends at the back.
  const auto at = !seen.empty() && seen.back() < decoded.tst
                      ? seen.end()
                      : std::lower_bound(seen.begin(), seen.end(), decoded.tst);
  if (at != seen.end() && *at == decoded.tst) {
    ++duplicates_;
    return MessageProblem::kNone;
  }
  seen.insert(at, decoded.tst);
  device->waiting[key].push_back({decoded.tst, decoded.fix});
  ++device->waitingPoints;
  ++device->written;
  device->lastTst = std::max(device->lastTst, decoded.tst);
  ++written_;
  return MessageProblem::kNone;
}

std::vector<int64_t>& Collector::Seen(Device& device, int32_t key, const GpsFix& local) {
  device.dayUse.erase(std::remove(device.dayUse.begin(), device.dayUse.end(), key), device.dayUse.end());
  device.dayUse.push_back(key);
  const auto known = device.days.find(key);
  if (known != device.days.end()) return known->second;
  // The least recently used day goes where its points are all in its file,
  // so that it is read again when it comes back: not one with points
  // waiting, nor any while a write fails (the writers keep those lines).
  if (device.dayUse.size() > kDaysKept && !lastFlushFailed_) {
    const auto gone = std::find_if(device.dayUse.begin(), device.dayUse.end() - 1,
                                   [&](int32_t day) { return device.waiting.count(day) == 0; });
    if (gone != device.dayUse.end() - 1) {
      device.days.erase(*gone);
      device.dayUse.erase(gone);
    }
  }
  std::vector<int64_t>& seen = device.days[key];
  char name[40];
  std::snprintf(name, sizeof name, "\\%04d-%02d-%02d.plt", 2000 + local.year, local.month, local.day);
  const FileHandle file = files_.OpenExistingForRead(device.folder + Utf8ToWide(name));
  if (file == kInvalidFile) return seen;
  std::string text;
  char buffer[65536];
  uint32_t got = 0;
  while (files_.Read(file, buffer, sizeof buffer, &got) && got > 0) {
    text.append(buffer, got);
    const size_t used = ForEachWholeLine(text, [&](std::string_view line) {
      TrackLine point;
      if (!ParseTrackPointLine(line, &point)) return;
      // The day number holds the second to 8 decimals of a day.
      const double tst = std::round((point.dayNumber - kUnixEpochDayNumber) * 86400.0);
      if (tst >= 0.0 && tst < 1e12) seen.push_back(static_cast<int64_t>(tst));
    });
    text.erase(0, used);
  }
  files_.Close(file);
  std::sort(seen.begin(), seen.end());
  seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
  return seen;
}

int Collector::Flush() {
  int result = 0;
  for (auto& [name, device] : devices_) {
    // Day by day, each in time order: a backlog that came out of order is
    // written in order.
    for (auto& [day, points] : device->waiting) {
      std::stable_sort(points.begin(), points.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      for (const auto& [tst, fix] : points) {
        if (gpxOn_) result |= device->gpx.AddPoint(fix);
        result |= device->track.AddPoint(fix);
      }
    }
    device->waiting.clear();
    device->waitingPoints = 0;
    result |= device->track.Flush();
    if (gpxOn_) result |= device->gpx.Flush();
  }
  lastFlushFailed_ = result != 0;
  if (result != 0) writeFailed_ = true;
  return result;
}

bool Collector::TakeWriteFailure() {
  const bool failed = writeFailed_;
  writeFailed_ = false;
  return failed;
}

std::vector<std::string> Collector::ObserveWrites() {
  std::vector<std::string> lines;
  for (auto& [name, device] : devices_) {
    const DayFile& file = device->track.output().file();
    const int code = file.lastWriteCode();
    const uint32_t error = code == kWriteOk ? 0u : file.lastError();
    if (code != device->toldCode || error != device->toldError) {
      // The logger's words, with the device's folder before the file's name.
      std::string line = code == kWriteOk ? DayFileName(file) + " written again"
                                          : DescribeWriteFailure(file, device->track.output().lines().View());
      const size_t at = line.find(DayFileName(file));
      lines.push_back(line.insert(at == std::string::npos ? 0 : at, name + "/"));
    }
    device->toldCode = code;
    device->toldError = error;
  }
  return lines;
}

std::vector<std::string> Collector::OldNamedFolders() {
  std::vector<std::string> old;
  std::vector<FileSystem::FolderEntry> entries;
  if (!files_.ListFolder(base_, &entries)) return old;
  for (const FileSystem::FolderEntry& entry : entries) {
    if (!entry.isDirectory || entry.name.find(L'-') == std::wstring::npos) continue;
    // A user's folder holds folders; one of the old naming holds day files.
    std::vector<FileSystem::FolderEntry> inside;
    if (!files_.ListFolder(base_ + L"\\" + entry.name, &inside)) continue;
    const bool dayFiles = std::any_of(inside.begin(), inside.end(), [](const FileSystem::FolderEntry& file) {
      return !file.isDirectory && file.name.size() > 4 &&
             file.name.compare(file.name.size() - 4, 4, L".plt") == 0;
    });
    if (dayFiles) old.push_back(WideToUtf8(entry.name));
  }
  return old;
}

std::vector<Collector::DeviceCount> Collector::Devices() const {
  std::vector<DeviceCount> counts;
  for (const auto& [name, device] : devices_) {
    const std::string_view pending = device->track.output().lines().View();
    counts.push_back(
        {name, device->written, device->lastTst,
         device->waitingPoints + static_cast<long>(std::count(pending.begin(), pending.end(), '\n'))});
  }
  return counts;
}

int64_t Collector::skipped(MessageProblem problem) const {
  const auto it = skipped_.find(problem);
  return it == skipped_.end() ? 0 : it->second;
}

int64_t Collector::skippedTotal() const {
  int64_t total = 0;
  for (const auto& [problem, count] : skipped_) total += count;
  return total;
}

}  // namespace pathmere
