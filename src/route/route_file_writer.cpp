#include "route/route_file_writer.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string_view>

#include "text/c_conversions.h"
#include "text/safe_convert.h"

namespace pathmere {
namespace {

constexpr char kRouteContinued[] = "(%u) Route continued... \r\n";
constexpr char kRoutePointNotFound[] = "(%u) Route point not found \r\n";
constexpr char kSetFilePointerError[] = "(%u) Set File Pointer Error: %u \r\n";
constexpr char kReadFileError[] = "(%u) Read File Error: %u \r\n";

// Shorter files cannot hold a header and a point line.
constexpr int64_t kShortestRouteFile = 93;

bool IsCapital(char c) { return c >= 'A' && c <= 'Z'; }

char NextLetter(char letter) { return letter >= 'Z' ? 'A' : static_cast<char>(letter + 1); }

}  // namespace

RouteFileWriter::RouteFileWriter(FileSystem& files, TickClock& clock, MessageLog& log)
    : BufferedDayFileWriter(files, clock, log, "rte", HeaderRule::kIntoEmptyFile,
                            block_ + kDataAreaSize, kFlushIntervalMs) {
  AttachDataArea(block_, kDataAreaSize);
}

// Route header, 107 bytes, written into an empty file only:
//   OziExplorer Route File Version 1.0
//   WGS 84                                    datum
//   Reserved 1
//   Reserved 2
//   R,1,R261206,Track 06.12.2026,16711680     route 1, name and description
//                                             from the local date, colour FF0000
size_t RouteFileWriter::ComposeHeader(char* scratch, size_t capacity) const {
  const int length = std::snprintf(
      scratch, capacity,
      "OziExplorer Route File Version 1.0\r\nWGS 84\r\nReserved 1\r\nReserved 2\r\n"
      "R,1,R%02d%02d%02d,Track %02d.%02d.%04d,16711680\r\n",
      fileYear(), fileMonth(), fileDay(), fileDay(), fileMonth(), 2000 + fileYear());
  if (length < 0) return 0;
  return static_cast<size_t>(length) < capacity ? static_cast<size_t>(length) : capacity - 1;
}

int RouteFileWriter::AddPoint(const GpsFix& fix) {
  int result = kWriteOk;
  if (fill() >= kFlushThreshold) result = FlushToMakeRoom();
  result |= CheckDay(fix);

  // Point line of route 1:
  //   W,1              route waypoint of route 1
  //   "  1,  1"        point number twice, %3d: wider from 1000 on
  //   REE001           name: prefix and three-digit name number
  //   48.13781000      latitude, north positive
  //   11.57549000      longitude, east positive
  //   46362.50035012   UTC day number since 1899-12-30 with fraction
  //   0,1,3,0,65535,,0,0,   symbol, status, display, colours, no description
  //   " \r\n"          a blank before the line end
  // A line that absurd values make too long for the rest of the area is left
  // out whole, and its number is not used up.
  const double dayNumber = minuteDayNumber() + fix.seconds / 86400.0;
  const bool added = AppendFormatted("W,1,%3d,%3d,%s%03d,%.8f,%.8f,%.8f,0,1,3,0,65535,,0,0, \r\n",
                                     pointNumber_, pointNumber_, namePrefix_, nameNumber_,
                                     fix.latitude, fix.longitude, dayNumber);
  if (added) {
    // Saturates rather than wrapping into negative numbers.
    if (pointNumber_ < std::numeric_limits<int32_t>::max()) ++pointNumber_;
    AdvanceName(nameNumber_);
  }
  result |= FlushIfDue();
  return result;
}

void RouteFileWriter::AdvanceName(int32_t lastNameNumber) {
  nameNumber_ = lastNameNumber + 1;
  if (nameNumber_ > 999) {
    nameNumber_ = 0;
    namePrefix_[2] = NextLetter(namePrefix_[2]);
  }
}

void RouteFileWriter::OnNewDay(const GpsFix& fix) { ContinueRoute(fix); }

void RouteFileWriter::ContinueRoute(const GpsFix& fix) {
  // A new route: letters from the local day of month and the first position,
  // so that routes of different days and places rarely share names.
  const double x = 1000.0 * (fix.longitude + fix.latitude);
  const double fraction = x - std::floor(x);  // NaN for absurd x: counts as 0
  int32_t n = TruncateToInt32(16.0 * fraction);
  if (n > 15) n = 15;  // a fraction just below 1 can round up to 1.0
  if (n < 0) n = 0;
  const int32_t v = 16 * fileDay() + n;
  pointNumber_ = 1;
  nameNumber_ = 1;
  namePrefix_[0] = 'R';
  namePrefix_[1] = static_cast<char>('A' + (v / 24) % 26);
  namePrefix_[2] = static_cast<char>('A' + v % 24);
  namePrefix_[3] = '\0';

  FormatFileName();
  const FileHandle file = files_.OpenExistingForRead(fileName());
  if (file == kInvalidFile) return;  // no route of this day yet
  const int64_t size = files_.FileSize(file);
  if (size == FileSystem::kSizeUnknown || size < kShortestRouteFile) {
    files_.Close(file);
    return;
  }
  // The tail: the last 256 bytes, or all but the first two of a shorter file.
  const bool moved = size >= int64_t{kTailSize} + 2 ? files_.SeekBeforeEnd(file, kTailSize)
                                                    : files_.SeekTo(file, 2);
  if (!moved) {
    lastError_ = files_.LastError();
    files_.Close(file);
    Post(kSetFilePointerError);
    return;
  }
  char tailBytes[kTailSize];
  uint32_t count = 0;
  const bool read = files_.Read(file, tailBytes, kTailSize, &count);
  if (!read || count == 0) {
    // A read that succeeds with nothing has no error code of its own.
    lastError_ = read ? 0 : files_.LastError();
    files_.Close(file);
    Post(kReadFileError);
    return;
  }
  files_.Close(file);

  // Every byte read counts, a NUL included: it ends only a number or a name
  // that runs into it.
  const std::string_view tail(tailBytes, count);
  const size_t line = tail.rfind("\nW,1,");
  if (line == std::string_view::npos) {
    Post(kRoutePointNotFound);
    return;
  }
  const size_t numberStart = line + 5;
  const int32_t lastPoint = ScanInt(tail.substr(numberStart));
  // A number at the top of the range cannot be followed by another.
  if (lastPoint <= 0 || lastPoint == std::numeric_limits<int32_t>::max()) return;

  const size_t firstComma = tail.find(',', numberStart);
  if (firstComma == std::string_view::npos) return;
  const size_t secondComma = tail.find(',', firstComma + 1);
  if (secondComma == std::string_view::npos) return;
  const std::string_view name = tail.substr(secondComma + 1);
  const size_t nameLength = name.find('\0') == std::string_view::npos ? name.size() : name.find('\0');
  if (nameLength < 6 || name[0] != 'R' || !IsCapital(name[1]) || !IsCapital(name[2])) return;
  const int32_t lastName = ScanInt(name.substr(3));
  if (lastName < 0 || lastName > 999) return;

  namePrefix_[1] = name[1];
  namePrefix_[2] = name[2];
  pointNumber_ = lastPoint + 1;
  AdvanceName(lastName);
  Post(kRouteContinued);
}

}  // namespace pathmere
