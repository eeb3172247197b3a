#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "fix/gps_fix.h"
#include "output/buffered_writer.h"
#include "route/route_point_sink.h"

namespace pathmere {

// The day's OziExplorer route file (".rte"): route 1 of the local day, one
// line per chosen point with a running number and a generated name. A run
// that finds the day's file already holding a route goes on with its
// numbering and naming instead of starting a second route.
class RouteFileWriter final : public RoutePointSink, public BufferedWriter {
 public:
  static constexpr size_t kDataAreaSize = 1024;
  // A point line is under 100 bytes, so below this there is always room.
  static constexpr int32_t kFlushThreshold = 925;
  static constexpr uint32_t kFlushIntervalMs = 438000;
  // The continuation reads at most this much of the end of the day's file.
  static constexpr uint32_t kTailSize = 256;

  RouteFileWriter(FileSystem& files, TickClock& clock, MessageLog& log);

  // Adds one route point. Returns 0, or the OR of the codes of the flushes it
  // triggered that failed.
  int AddPoint(const GpsFix& fix) override;
  // Starts the route of the day just stored and, when the day's file already
  // ends with a point of route 1, continues its numbering. AddPoint runs it
  // whenever the day check has just stored a new day.
  void ContinueRoute(const GpsFix& fix);

  int32_t pointNumber() const { return pointNumber_; }
  int32_t nameNumber() const { return nameNumber_; }
  const char* namePrefix() const { return namePrefix_; }

 private:
  // Point 1 with letters from the local day and the first position.
  void StartNewRoute(const GpsFix& fix);
  // The end of the day's file, in `buffer` of kTailSize bytes; nothing when
  // the file is missing or too short to hold a point, or cannot be read (said
  // in the message log).
  std::optional<std::string_view> ReadTail(char* buffer);
  // Next name number; after 999 comes 000 with the next second letter.
  void AdvanceName(int32_t lastNameNumber);

  FileSystem& files_;
  char area_[kDataAreaSize] = {};
  int32_t pointNumber_ = 0;
  int32_t nameNumber_ = 0;
  char namePrefix_[4] = {};
};

}  // namespace pathmere
