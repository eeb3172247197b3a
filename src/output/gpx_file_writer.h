#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fix/gps_fix.h"
#include "output/flush_follower.h"
#include "output/gpx_day_file.h"
#include "output/pending_lines.h"
#include "output/spill_queue.h"

namespace pathmere {

// The day's GPX file (".gpx"): the track points the .plt gets, with what the
// .plt cannot hold, and the waypoints. It follows the track writer: points
// come in as the .plt's do and are written whenever the .plt is written,
// just before it (FlushFollower). Its day and its midnight are the .plt's.
//
// A segment starts at the first point of a run in the day's file and where
// the track breaks (fix/track_pieces.h), never without a point. A failed
// write keeps the points: in the area, or behind it in the spill queue when
// the area must be emptied (full, a day change, another folder), each batch
// for its own day's file; a waypoint that cannot be written waits too.
class GpxFileWriter final : public FlushFollower {
 public:
  // Room for the points of a full .plt area at their longest, and more.
  static constexpr size_t kDataAreaSize = 16384;
  static constexpr size_t kLineScratchSize = 640;
  static constexpr size_t kHeadScratchSize = 512;

  // `version` names the program in the file's `creator`.
  GpxFileWriter(FileSystem& files, MessageLog& log, const char* version);

  // Adds one point. Returns 0, or the codes of the flushes it made that
  // failed, ORed.
  int AddPoint(const GpsFix& fix);
  int Flush();
  // Writes the waypoint into its local day's file at once.
  int SaveWaypoint(const GpsFix& fix);
  void FlushFollowing() override { Flush(); }
  // Writes what failed writes kept (once a tick), new points or not.
  int RetryKept();
  // Points and waypoints not yet in their files.
  size_t keptLines() const {
    return CountOccurrences(lines_.View(), "</trkpt>") + spill_.Occurrences("</trkpt>") +
           waypointsKept_.size();
  }
  const SpillQueue& spill() const { return spill_; }
  size_t waypointsKept() const { return waypointsKept_.size(); }

  void SetSyncToDisk(bool on) { file_.SetSyncToDisk(on); }
  // Another folder: the pending points go to the old folder's file first
  // (their segment tags are that file's), and the next point reads the new
  // folder's file.
  void SetFolder(std::wstring_view path);
  const wchar_t* folder() const { return file_.names().folder(); }
  int32_t fill() const { return lines_.fill(); }
  const char* pending() const { return lines_.text(); }
  const GpxDayFile& file() const { return file_; }

 private:
  // Flush, and whatever it returned the area is empty afterwards; what it
  // could not write is kept in the spill queue.
  int FlushToMakeRoom();
  // The area's lines into the spill queue, for the current file's day.
  void Spill();
  void DropPending();
  // The spill queue's batches in order, then the waypoints kept; stops at
  // the first failure.
  int WriteKept();
  int WriteWaypoint(const GpsFix& fix);
  void StartDay(const GpsFix& local);
  size_t ComposeTrackStart(const DayFile& names, char* buffer, size_t capacity) const;

  // Waypoints a failed write kept; beyond this many the oldest goes.
  static constexpr size_t kMostWaypointsKept = 1000;

  GpxDayFile file_;
  // Another day's file, for kept lines of a day that is over and for a
  // waypoint of a day without points in this run.
  GpxDayFile otherDay_;
  PendingLines lines_;
  SpillQueue spill_{SpillQueue::kLineLimit, "</trkpt>\n"};
  std::vector<GpsFix> waypointsKept_;
  const char* version_;
  int32_t dayKey_ = -1;
  int32_t lastMinuteKey_ = -1;
  double minuteDayNumber_ = 0.0;
  double lastDayNumber_ = 0.0;
  // Whether the next point starts a segment whatever its time: none of this
  // run's points are in the day's file yet.
  bool firstOfRun_ = true;
  // Whether a segment is open after the pending lines.
  bool segmentOpen_ = false;
  GpsFix firstPending_;  // the metadata time of a file the flush makes
  char area_[kDataAreaSize] = {};
};

}  // namespace pathmere
