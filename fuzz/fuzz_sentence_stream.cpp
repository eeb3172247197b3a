// Bytes from a receiver through the whole program: serial capture, the
// sentence assembler, fix processing and all four writers (track, route,
// waypoints and the NMEA log) writing real files into a scratch folder.
//
// The first two bytes are what the user does meanwhile; the rest is what the
// receiver sends. First byte:
//   bits 0-2  how many bytes a port read delivers (1 to 1024)
//   bit 3     NMEA log on
//   bit 4     waypoint requested before the first byte
//   bit 5     waypoint requested again every eighth tick
//   bit 6     the port fails once halfway through and is reopened
//   bit 7     a flush requested at every tick
// Second byte:
//   bit 0     "GPS sentences only" on from the start
//   bit 1     "GPS sentences only" switched over every fifth tick
// Unless "GPS sentences only" is on, the other systems' sentences ("$GN",
// "$GL", ...) take their own path until the first good "$GPRMC".
// Each input runs on a fresh program, which shuts down normally at the end.
//
// Checked besides the sanitizers: every file written is a day's file that
// starts with its format's header and holds whole lines only; a GPX file is
// our own complete document, with no empty segment.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "app/program.h"
#include "fuzz_support.h"
#include "output/gpx_mend.h"
#include "platform/file_system_posix.h"
#include "platform/instance_channel.h"
#include "platform/serial_port.h"
#include "platform/tick_clock.h"
#include "support/counting_panel.h"
#include "support/day_file_headers.h"

namespace {

using namespace pathmere;

constexpr int32_t kReadSizes[8] = {1, 7, 64, 100, 256, 511, 1000, 1024};
// Ticks after the last byte: enough for the "No data" notice to show.
constexpr int kIdleTicksAtEnd = TimerTick::kIdleTicksBeforeNoData + 2;

// Almost a second per reading, so the writers' timed flushes come due.
class SteppingClock final : public TickClock {
 public:
  uint32_t NowMs() override { return now_ += 997; }

 private:
  uint32_t now_ = 0;
};

// The receiver: hands out the input a read at a time, then stays silent.
class InputPort final : public SerialPort {
 public:
  InputPort(const uint8_t* data, size_t size, int32_t readSize, bool failHalfway)
      : data_(data), size_(size), readSize_(readSize), failAt_(failHalfway ? size / 2 : size + 1) {}

  bool Drained() const { return position_ >= size_; }

  int32_t OpenPort(int32_t, int32_t) override {
    open_ = true;
    return 0;
  }
  int32_t ReadPort(uint8_t* buffer, int32_t size) override {
    if (!open_) return -1;
    if (position_ >= failAt_) {
      failAt_ = size_ + 1;
      return -2;
    }
    const size_t left = size_ - position_;
    const size_t count = std::min({left, static_cast<size_t>(readSize_), static_cast<size_t>(size)});
    std::copy_n(data_ + position_, count, buffer);
    position_ += count;
    return static_cast<int32_t>(count);
  }
  void ClosePort() override { open_ = false; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
  int32_t readSize_;
  size_t failAt_;
  bool open_ = false;
};

void RunProgram(const uint8_t* data, size_t size) {
  const size_t controls = size < 2 ? size : 2;
  const uint8_t actions = size > 0 ? data[0] : 0;
  const uint8_t gpsOnly = size > 1 ? data[1] : 0;
  const uint8_t* bytes = data + controls;
  const size_t count = size - controls;

  PosixFileSystem files(fuzzing::ScratchFolder().string());
  SteppingClock clock;
  TickHost host;
  testing::CountingPanel panel;
  InputPort port(bytes, count, kReadSizes[actions & 7], (actions & 0x40) != 0);
  Program program(files, clock, port, host);
  program.AttachPanel(&panel);
  program.SelectPort(0);
  program.SetNmeaLog((actions & 0x08) != 0);
  program.SetOutputFolder(L"");
  program.SetGpsOnly((gpsOnly & 0x01) != 0);
  program.Start();
  program.Tick();
  // A waypoint request comes with a flush, as from a second start.
  auto requestWaypoint = [&program] { program.ApplyForwardedCode(kForwardWaypoint); };
  if ((actions & 0x10) != 0) requestWaypoint();

  for (int tick = 0, idle = 0; idle < kIdleTicksAtEnd; ++tick) {
    if ((actions & 0x20) != 0 && tick % 8 == 7) requestWaypoint();
    if ((actions & 0x80) != 0) program.RequestFlush();
    if ((gpsOnly & 0x02) != 0 && tick % 5 == 4) program.SetGpsOnly(program.settings().gpsOnly == 0);
    program.Tick();
    if (port.Drained()) ++idle;
  }
  program.ShutDown();
}

// The name of a day's file: "%04d-%02d-%02d" of the 8-bit date parts. A
// sentence's date that the time conversion refuses (day 40) names the file
// as it is, so the parts are not checked against the calendar.
bool IsDayFileName(std::string_view stem) {
  auto digits = [&stem](size_t count) {
    size_t n = 0;
    while (n < stem.size() && stem[n] >= '0' && stem[n] <= '9') ++n;
    const bool ok = n == count || (count == 2 && n == 3);
    stem.remove_prefix(n);
    return ok;
  };
  auto dash = [&stem] {
    if (stem.empty() || stem.front() != '-') return false;
    stem.remove_prefix(1);
    return true;
  };
  return digits(4) && dash() && digits(2) && dash() && digits(2) && stem.empty();
}

// The NMEA log holds RMC and GGA sentences as received: "$GP" or one of the
// other systems' talkers.
bool IsLoggedSentence(std::string_view line) {
  static constexpr std::string_view kTalkers[] = {"$GP", "$GN", "$GL", "$GA", "$GB", "$GQ", "$BD"};
  if (line.size() < 7) return false;
  const std::string_view type = line.substr(3, 4);
  if (type != "RMC," && type != "GGA,") return false;
  for (const std::string_view talker : kTalkers) {
    if (line.starts_with(talker)) return true;
  }
  return false;
}

// A GPX file is rewritten whole or closed again at every write, so after a
// normal shut-down it is always complete: nothing for a mend to cut.
void CheckGpxFile(const std::string& content) {
  const GpxShape shape = InspectGpx(content);
  if (!shape.own || !shape.intact) fuzzing::Fail("a GPX file that is not a complete document of ours");
  if (content.find("<trkseg>\n</trkseg>") != std::string::npos) fuzzing::Fail("an empty GPX segment");
  if (content.find('\r') != std::string::npos) fuzzing::Fail("a CR in a GPX file");
}

void CheckWrittenFiles() {
  for (const auto& entry : std::filesystem::directory_iterator(fuzzing::ScratchFolder())) {
    const std::string stem = entry.path().stem().string();
    const std::string extension = entry.path().extension().string();
    if (!entry.is_regular_file() || !IsDayFileName(stem)) fuzzing::Fail("a file that is not a day's file");
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    if (extension == ".gpx") {
      CheckGpxFile(content);
      continue;
    }
    std::string_view start;
    if (extension == ".plt") {
      start = testing::kTrackFirstLine;
    } else if (extension == ".rte") {
      start = testing::kRouteFirstLine;
    } else if (extension == ".wpt") {
      start = testing::kWaypointHeader.substr(0, testing::kWaypointHeader.find('\n') + 1);
    } else if (extension == ".nmea") {
      start = "$";
    } else {
      fuzzing::Fail("a day's file of an unknown kind");
    }
    if (!content.starts_with(start)) fuzzing::Fail("a day's file without its header");
    if (!content.ends_with("\r\n")) fuzzing::Fail("a day's file ends in a cut line");
    for (size_t line = 0; line < content.size();) {
      const size_t end = content.find('\n', line);
      if (end == 0 || content[end - 1] != '\r') fuzzing::Fail("a line end without CR");
      if (extension == ".nmea" && !IsLoggedSentence(std::string_view(content).substr(line, end - line))) {
        fuzzing::Fail("a logged line not a sentence");
      }
      line = end + 1;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  pathmere::fuzzing::UseFuzzTimeZone();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RunProgram(data, size);
  CheckWrittenFiles();
  pathmere::fuzzing::EmptyScratchFolder();
  return 0;
}
