#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "messages/message_log.h"
#include "output/day_file.h"
#include "platform/file_system.h"

namespace pathmere {

// The file mechanics of a day's GPX file ("<folder>\2026-12-06.gpx"), which
// is a complete document between any two writes:
// - a new file is written whole to "<name>.tmp" beside it and renamed over
//   it, and so is every waypoint (waypoints precede the track);
// - new track points go over the closing tags, followed by the closing tags,
//   in one write; a write that fails is cut back and the closing tags put
//   back, so the previous document stays;
// - Open reads the file before the first write of a run and mends what a
//   kill or a power cut left (gpx_mend.h), or puts a file that is not ours
//   or cannot be mended aside as "<name>.broken-N", never writing over it.
class GpxDayFile {
 public:
  static constexpr size_t kMessageCapacity = 160;

  GpxDayFile(FileSystem& files, MessageLog& log);
  GpxDayFile(const GpxDayFile&) = delete;
  GpxDayFile& operator=(const GpxDayFile&) = delete;

  // The folder, the date that names the file, the file name and the
  // numbered messages, as for the Ozi files.
  DayFile& names() { return names_; }
  const DayFile& names() const { return names_; }
  // Each write made durable before it returns, with the folder's entries
  // for renames (live capture).
  void SetSyncToDisk(bool on) { syncToDisk_ = on; }
  bool syncToDisk() const { return syncToDisk_; }
  FileSystem& files() const { return files_; }
  MessageLog& log() const { return log_; }

  // Reads the file of names()' date as it is now: mends it, puts it aside,
  // or finds none. The state below is the file's from then on.
  void Open();
  bool exists() const { return exists_; }
  bool segmentOpen() const { return segmentOpen_; }

  // Writes `length` bytes of track lines from `area` over the closing tags,
  // then the closing tags for `segmentOpenAfter`; `area` has room for them
  // behind the lines. Without a file, the file is made of `head`,
  // `trackStart`, the lines and the closing tags. kWriteOk or the failing
  // step's code, whose message is posted.
  int Append(char* area, size_t length, bool segmentOpenAfter, std::string_view head,
             std::string_view trackStart);
  // Puts `line` after the file's waypoints; without a file, makes one of
  // `head`, the line, `trackStart` and the closing tags.
  int InsertWaypoint(std::string_view line, std::string_view head, std::string_view trackStart);

  // Room the closing tags need behind the lines given to Append.
  static constexpr size_t kClosingRoom = 32;

 private:
  std::wstring TemporaryName() const;
  // The whole file into `text`; false when it cannot be read.
  bool ReadAll(std::string* text);
  // Replaces the file by `content` through the temporary file.
  int ReplaceWhole(std::string_view content);
  void PutAside();
  void PostText(const wchar_t* text);
  int FailWrite(const char* format, int code);

  FileSystem& files_;
  MessageLog& log_;
  DayFile names_;
  bool syncToDisk_ = false;
  bool exists_ = false;
  bool blocked_ = false;  // a file in the way that could not be put aside
  bool segmentOpen_ = false;
  int64_t bodyEnd_ = 0;
  int64_t waypointsEnd_ = 0;
  wchar_t message_[kMessageCapacity] = {};
};

}  // namespace pathmere
