#include "output/track_file_writer.h"

#include "output/ozi_lines.h"

namespace pathmere {
namespace {

constexpr DayFileKind kTrackFile{"plt", HeaderRule::kIntoEmptyFile, ComposeTrackHeader};

}  // namespace

TrackFileWriter::TrackFileWriter(FileSystem& files, TickClock& clock, MessageLog& log)
    : BufferedWriter(files, clock, log, kTrackFile, kFlushIntervalMs) {
  output_.lines().Attach(area_, kDataAreaSize);
}

int TrackFileWriter::AddPoint(const GpsFix& fix) {
  int result = kWriteOk;
  if (fill() >= kFlushThreshold) result = output_.FlushToMakeRoom();
  result |= output_.CheckDay(fix).code;
  const double dayNumber = output_.minuteDayNumber() + fix.seconds / 86400.0;
  output_.lines().Add(
      [&](char* buffer, size_t capacity) { return ComposeTrackPointLine(fix, dayNumber, buffer, capacity); });
  result |= output_.FlushIfDue();
  return result;
}

}  // namespace pathmere
