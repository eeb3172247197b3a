// A day's route file with arbitrary content, continued by the route writer
// as after a restart; then continued once more from the file it wrote. The
// tail parser also reads the input on its own.
//
// Checked besides the sanitizers: the numbers and names a continuation
// arrives at are ones the writer can go on from, the parser's point is one
// too and is the one the writer took up, and a route written after a line
// end is picked up again by the next run where it stopped.
#include <cstdint>
#include <limits>
#include <string_view>

#include "fix/gps_fix.h"
#include "fuzz_support.h"
#include "messages/message_log.h"
#include "platform/file_system_posix.h"
#include "platform/tick_clock.h"
#include "route/route_file_writer.h"
#include "route/route_tail.h"

namespace {

using namespace pathmere;

class StillClock final : public TickClock {
 public:
  uint32_t NowMs() override { return 1000; }
};

// 6 December 2026, 12:00:30 UTC: the same local day in any zone near Europe.
GpsFix NoonFix() {
  GpsFix fix;
  fix.day = 6;
  fix.month = 12;
  fix.year = 26;
  fix.hour = 12;
  fix.minute = 0;
  fix.seconds = 30.0;
  fix.timeOfDay = 43230.0;
  fix.latitude = 48.13781;
  fix.longitude = 11.57549;
  fix.altitude = kUnknownAltitude;
  return fix;
}

bool IsCapital(char c) { return c >= 'A' && c <= 'Z'; }

void CheckCanGoOn(const RouteFileWriter& route) {
  if (route.pointNumber() < 1) fuzzing::Fail("point number below 1");
  if (route.nameNumber() < 0 || route.nameNumber() > 999) fuzzing::Fail("name number outside 000-999");
  const char* prefix = route.namePrefix();
  if (prefix[0] != 'R' || !IsCapital(prefix[1]) || !IsCapital(prefix[2]) || prefix[3] != '\0') {
    fuzzing::Fail("name prefix is not R and two capitals");
  }
}

void CheckCanGoOn(const RouteTail& last) {
  if (last.outcome != RouteTail::Outcome::kLastPoint) return;
  if (last.pointNumber < 1 || last.pointNumber == std::numeric_limits<int32_t>::max()) {
    fuzzing::Fail("parsed point number cannot be followed");
  }
  if (last.nameNumber < 0 || last.nameNumber > 999) fuzzing::Fail("parsed name number outside 000-999");
  if (!IsCapital(last.letters[0]) || !IsCapital(last.letters[1]))
    fuzzing::Fail("parsed letters are not capitals");
}

// The first run's point after a continuation from `last`, which the parser
// read out of the bytes that the writer reads of a file of 93 bytes or more.
void CheckWriterTookUp(const RouteTail& last, const RouteFileWriter& first) {
  if (last.outcome != RouteTail::Outcome::kLastPoint) {
    if (first.pointNumber() != 2) fuzzing::Fail("writer continued what the parser refused");
    return;
  }
  const int32_t continued = last.pointNumber + 1;
  const int32_t afterOne = continued == std::numeric_limits<int32_t>::max() ? continued : continued + 1;
  if (first.pointNumber() != afterOne || first.namePrefix()[1] != last.letters[0]) {
    fuzzing::Fail("writer did not continue from the parser's point");
  }
}

void ContinueTwice(const uint8_t* data, size_t size) {
  const std::string fileName = "2026-12-06.rte";
  fuzzing::WriteScratchFile(fileName, data, size);
  PosixFileSystem files(fuzzing::ScratchFolder().string());
  StillClock clock;
  MessageLog log;
  const GpsFix fix = NoonFix();

  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckCanGoOn(ParseLastRoutePoint(bytes));

  RouteFileWriter first(files, clock, log);
  first.SetFolder(L"");
  first.AddPoint(fix);  // the day check continues the route
  CheckCanGoOn(first);
  const DayFile& day = first.output().file();
  if (size >= 93 && day.fileDay() == 6 && day.fileMonth() == 12) {
    const std::string_view tail = size >= 258 ? bytes.substr(size - 256) : bytes.substr(2);
    const RouteTail last = ParseLastRoutePoint(tail);
    CheckCanGoOn(last);
    CheckWriterTookUp(last, first);
  }
  if (first.Flush() != kWriteOk) fuzzing::Fail("the first run could not write its point");

  RouteFileWriter second(files, clock, log);
  second.SetFolder(L"");
  second.AddPoint(fix);
  CheckCanGoOn(second);

  // The first run's line starts a line of its own only after a line end; a
  // very short file is not read at all. Numbers at the top of the range end
  // the route.
  const bool ownLine = size >= 16 && data[size - 1] == '\n';
  if (!ownLine || first.pointNumber() == std::numeric_limits<int32_t>::max()) return;
  if (second.pointNumber() != first.pointNumber() + 1) fuzzing::Fail("next run lost the point number");
  const bool rollsOver = first.nameNumber() == 999;
  const int32_t expectedName = rollsOver ? 0 : first.nameNumber() + 1;
  const char lastLetter = first.namePrefix()[2];
  const char expectedLetter = !rollsOver          ? lastLetter
                              : lastLetter == 'Z' ? 'A'
                                                  : static_cast<char>(lastLetter + 1);
  if (second.nameNumber() != expectedName || second.namePrefix()[1] != first.namePrefix()[1] ||
      second.namePrefix()[2] != expectedLetter) {
    fuzzing::Fail("next run lost the point name");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  pathmere::fuzzing::UseFuzzTimeZone();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ContinueTwice(data, size);
  pathmere::fuzzing::EmptyScratchFolder();
  return 0;
}
