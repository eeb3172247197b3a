#include "route/route_file_writer.h"

#include <cmath>
#include <limits>

#include "output/ozi_lines.h"
#include "route/route_tail.h"
#include "text/safe_convert.h"

namespace pathmere {
namespace {

constexpr DayFileKind kRouteFile{"rte", HeaderRule::kIntoEmptyFile, ComposeRouteHeader};
constexpr char kRouteContinued[] = "(%u) Route continued... \r\n";
constexpr char kRoutePointNotFound[] = "(%u) Route point not found \r\n";
constexpr char kSetFilePointerError[] = "(%u) Set File Pointer Error: %u \r\n";
constexpr char kReadFileError[] = "(%u) Read File Error: %u \r\n";

// Shorter files cannot hold a header and a point line.
constexpr int64_t kShortestRouteFile = 93;

char NextLetter(char letter) { return letter >= 'Z' ? 'A' : static_cast<char>(letter + 1); }

}  // namespace

RouteFileWriter::RouteFileWriter(FileSystem& files, TickClock& clock, MessageLog& log)
    : BufferedWriter(files, clock, log, kRouteFile, kFlushIntervalMs), files_(files) {
  output_.lines().Attach(area_, kDataAreaSize);
}

int RouteFileWriter::AddPoint(const GpsFix& fix) {
  int result = kWriteOk;
  if (fill() >= kFlushThreshold) result = output_.FlushToMakeRoom();
  const DayCheck day = output_.CheckDay(fix);
  result |= day.code;
  if (day.newDay) ContinueRoute(fix);

  // A line that absurd values make too long for the rest of the area is left
  // out whole, and its number is not used up.
  const double dayNumber = output_.minuteDayNumber() + fix.seconds / 86400.0;
  const bool added = output_.lines().Add([&](char* buffer, size_t capacity) {
    return ComposeRoutePointLine(pointNumber_, namePrefix_, nameNumber_, fix, dayNumber, buffer, capacity);
  });
  if (added) {
    // Saturates rather than wrapping into negative numbers.
    if (pointNumber_ < std::numeric_limits<int32_t>::max()) ++pointNumber_;
    AdvanceName(nameNumber_);
  }
  result |= output_.FlushIfDue();
  return result;
}

void RouteFileWriter::AdvanceName(int32_t lastNameNumber) {
  nameNumber_ = lastNameNumber + 1;
  if (nameNumber_ > 999) {
    nameNumber_ = 0;
    namePrefix_[2] = NextLetter(namePrefix_[2]);
  }
}

void RouteFileWriter::StartNewRoute(const GpsFix& fix) {
  // Letters from the local day of month and the first position, so that
  // routes of different days and places rarely share names.
  const double x = 1000.0 * (fix.longitude + fix.latitude);
  const double fraction = x - std::floor(x);  // NaN for absurd x: counts as 0
  int32_t n = TruncateToInt32(16.0 * fraction);
  if (n > 15) n = 15;  // a fraction just below 1 can round up to 1.0
  if (n < 0) n = 0;
  const int32_t v = 16 * output_.file().fileDay() + n;
  pointNumber_ = 1;
  nameNumber_ = 1;
  namePrefix_[0] = 'R';
  namePrefix_[1] = static_cast<char>('A' + (v / 24) % 26);
  namePrefix_[2] = static_cast<char>('A' + v % 24);
  namePrefix_[3] = '\0';
}

std::optional<std::string_view> RouteFileWriter::ReadTail(char* buffer) {
  DayFile& file = output_.file();
  file.FormatFileName();
  const FileHandle handle = files_.OpenExistingForRead(file.fileName());
  if (handle == kInvalidFile) return std::nullopt;  // no route of this day yet
  const int64_t size = files_.FileSize(handle);
  if (size == FileSystem::kSizeUnknown || size < kShortestRouteFile) {
    files_.Close(handle);
    return std::nullopt;
  }
  // The last 256 bytes, or all but the first two of a shorter file.
  const bool moved =
      size >= int64_t{kTailSize} + 2 ? files_.SeekBeforeEnd(handle, kTailSize) : files_.SeekTo(handle, 2);
  if (!moved) {
    const uint32_t error = files_.LastError();
    files_.Close(handle);
    file.PostError(kSetFilePointerError, error);
    return std::nullopt;
  }
  uint32_t count = 0;
  const bool read = files_.Read(handle, buffer, kTailSize, &count);
  if (!read || count == 0) {
    // A read that succeeds with nothing has no error code of its own.
    const uint32_t error = read ? 0 : files_.LastError();
    files_.Close(handle);
    file.PostError(kReadFileError, error);
    return std::nullopt;
  }
  files_.Close(handle);
  return std::string_view(buffer, count);
}

void RouteFileWriter::ContinueRoute(const GpsFix& fix) {
  StartNewRoute(fix);
  char buffer[kTailSize];
  const std::optional<std::string_view> tail = ReadTail(buffer);
  if (!tail) return;
  const RouteTail last = ParseLastRoutePoint(*tail);
  switch (last.outcome) {
    case RouteTail::Outcome::kNoPointLine:
      output_.file().Post(kRoutePointNotFound);
      return;
    case RouteTail::Outcome::kUnusablePoint:
      return;  // a damaged line: the new route starts without a word
    case RouteTail::Outcome::kLastPoint:
      namePrefix_[1] = last.letters[0];
      namePrefix_[2] = last.letters[1];
      pointNumber_ = last.pointNumber + 1;
      AdvanceName(last.nameNumber);
      output_.file().Post(kRouteContinued);
      return;
  }
}

}  // namespace pathmere
