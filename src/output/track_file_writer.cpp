#include "output/track_file_writer.h"

#include <cstdio>

#include "text/decimal_text.h"
#include "fix/fix_time.h"
#include "fix/units.h"
#include "text/safe_convert.h"

namespace pathmere {

TrackFileWriter::TrackFileWriter(FileSystem& files, TickClock& clock, MessageLog& log)
    : BufferedDayFileWriter(files, clock, log, "plt", HeaderRule::kIntoEmptyFile,
                            block_ + kDataAreaSize, kFlushIntervalMs) {
  AttachDataArea(block_, kDataAreaSize);
}

// Track header, 132 bytes, written into an empty file only:
//   OziExplorer Track Point File Version 2.1   file type
//   WGS 84                                      datum
//   Altitude is in Feet
//   Reserved 3
//   0,3,255,Track-2026-12-06,0,0,0,255          width 3, colour 255, local date
//   "0" and ten blanks                          point count, never updated
size_t TrackFileWriter::ComposeHeader(char* scratch, size_t capacity) const {
  const int length = std::snprintf(
      scratch, capacity,
      "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n"
      "0,3,255,Track-%04d-%02d-%02d,0,0,0,255\r\n0          \r\n",
      2000 + fileYear(), fileMonth(), fileDay());
  if (length < 0) return 0;
  return static_cast<size_t>(length) < capacity ? static_cast<size_t>(length) : capacity - 1;
}

int TrackFileWriter::AddPoint(const GpsFix& fix) {
  int result = kWriteOk;
  if (fill() >= kFlushThreshold) result = FlushToMakeRoom();
  result |= CheckDay(fix);

  // Point line, all UTC:
  //   51.47788000       latitude, north positive
  //   -0.00147000       longitude, east positive
  //   0                 segment code: the track is never broken
  //   115.49 | -777     altitude in feet; "-777," without a blank when unknown
  //   46362.12273727    day number since 1899-12-30 with the fraction of the day
  //   06.12.26          date dd.mm.yy
  //   02:56:44          time, seconds truncated (44.9999995 still reads 45)
  // A line that absurd values make too long for the rest of the area is left
  // out rather than cut.
  const double dayNumber = minuteDayNumber() + fix.seconds / 86400.0;
  const int32_t wholeSeconds = WholeSecond(fix.seconds);
  const bool hasAltitude = HasAltitude(fix);
  // Composed here rather than by vsnprintf, which costs more than the rest
  // of a fix's way through the program; the bytes are the same.
  char line[256];
  DecimalText text(line, sizeof line);
  text.AppendFixed(fix.latitude, 8);
  text.Append(", ");
  text.AppendFixed(fix.longitude, 8);
  if (hasAltitude) {
    text.Append(",0, ");
    text.AppendFixed(fix.altitude * kFeetPerMetre, 2);
    text.Append(", ");
  } else {
    text.Append(",0, -777,");
  }
  text.AppendFixed(dayNumber, 8);
  text.Append(", ");
  text.AppendTwoDigitFields(fix.day, fix.month, fix.year, '.');
  text.Append(", ");
  text.AppendTwoDigitFields(fix.hour, fix.minute, wholeSeconds, ':');
  text.Append("\r\n");
  if (!text.cut()) {
    AppendText(line, text.size());
  } else if (hasAltitude) {
    // Absurd values: a line longer than the scratch, left to the C library.
    AppendFormatted("%.8f, %.8f,0, %.2f, %.8f, %02d.%02d.%02d, %02d:%02d:%02d\r\n", fix.latitude,
                    fix.longitude, fix.altitude * kFeetPerMetre, dayNumber, fix.day, fix.month, fix.year,
                    fix.hour, fix.minute, wholeSeconds);
  } else {
    AppendFormatted("%.8f, %.8f,0, -777,%.8f, %02d.%02d.%02d, %02d:%02d:%02d\r\n", fix.latitude,
                    fix.longitude, dayNumber, fix.day, fix.month, fix.year, fix.hour, fix.minute,
                    wholeSeconds);
  }
  result |= FlushIfDue();
  return result;
}

}  // namespace pathmere
