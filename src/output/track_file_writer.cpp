#include "output/track_file_writer.h"

#include "output/ozi_lines.h"

namespace pathmere {

TrackFileWriter::TrackFileWriter(FileSystem& files, TickClock& clock, MessageLog& log)
    : BufferedDayFileWriter(files, clock, log, "plt", HeaderRule::kIntoEmptyFile,
                            block_ + kDataAreaSize, kFlushIntervalMs) {
  AttachDataArea(block_, kDataAreaSize);
}

size_t TrackFileWriter::ComposeHeader(char* scratch, size_t capacity) const {
  return ComposeTrackHeader(fileDay(), fileMonth(), fileYear(), scratch, capacity);
}

int TrackFileWriter::AddPoint(const GpsFix& fix) {
  int result = kWriteOk;
  if (fill() >= kFlushThreshold) result = FlushToMakeRoom();
  result |= CheckDay(fix);
  const double dayNumber = minuteDayNumber() + fix.seconds / 86400.0;
  AppendLine([&](char* buffer, size_t capacity) { return ComposeTrackPointLine(fix, dayNumber, buffer, capacity); });
  result |= FlushIfDue();
  return result;
}

}  // namespace pathmere
