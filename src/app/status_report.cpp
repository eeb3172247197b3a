#include "app/status_report.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "app/logger_report.h"

namespace pathmere {
namespace {

// Header lines of each kind of day file: what is not a point.
struct Kind {
  const char* extension;
  long headerLines;
  const char* unit;  // of the lines after the header
};
constexpr Kind kKinds[] = {
    {"plt", 6, "point"},
    {"rte", 5, "point"},
    {"wpt", 4, "waypoint"},
    {"nmea", 0, "sentence"},
};

// "1 point", "12 points"
std::string Counted(long count, const char* unit) {
  return std::to_string(count) + " " + unit + (count == 1 ? "" : "s");
}

// The area's lines and those a failed write kept behind it.
long PendingLineCount(const BufferedDayFile& output) { return static_cast<long>(output.keptLines()); }

// The date whose files are shown: the writers' current day, else today.
void ChooseDay(const Program& program, int32_t* year, int32_t* month, int32_t* day) {
  const BufferedDayFile* outputs[] = {&program.track().output(), &program.route().output(),
                                      &program.nmeaLog().output()};
  for (const BufferedDayFile* output : outputs) {
    if (output->dayKey() < 0) continue;
    *year = 2000 + output->file().fileYear();
    *month = output->file().fileMonth();
    *day = output->file().fileDay();
    return;
  }
  const time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  *year = local.tm_year + 1900;
  *month = local.tm_mon + 1;
  *day = local.tm_mday;
}

std::wstring DayFilePath(const wchar_t* folder, int32_t year, int32_t month, int32_t day,
                         const char* extension) {
  char name[48];
  std::snprintf(name, sizeof name, "\\%04d-%02d-%02d.%s", year, month, day, extension);
  return std::wstring(folder) + std::wstring(name, name + std::char_traits<char>::length(name));
}

// "14:03:22 (8 s ago)" for a tick of the program's clock.
std::string WhenWritten(const BufferedDayFile& output, TickClock& clock) {
  if (output.writtenFlushes() == 0) return "not yet";
  const uint32_t ago = (clock.NowMs() - output.lastWriteTick()) / 1000;
  const time_t at = time(nullptr) - static_cast<time_t>(ago);
  tm local{};
  localtime_r(&at, &local);
  char text[64];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d (%s ago)", local.tm_hour, local.tm_min, local.tm_sec,
                SpokenDuration(ago).c_str());
  return text;
}

std::string FlushInterval(const BufferedDayFile& output) {
  return SpokenDuration(output.flushIntervalMs() / 1000);
}

std::string SpokenFix(const Program& program) {
  const FixState& state = program.shownFixState();
  if (state.ggaSlot < 0) return "no sentences yet";
  if (!IsValidFix(state.currentFix)) return "no fix";
  char text[64];
  std::snprintf(text, sizeof text, "fix %.5f %c %.5f %c", std::fabs(state.currentFix.latitude),
                state.currentFix.latitude < 0 ? 'S' : 'N', std::fabs(state.currentFix.longitude),
                state.currentFix.longitude < 0 ? 'W' : 'E');
  return text;
}

std::string PortLine(const Program& program, const PortWatch* port) {
  if (program.IsReplaying()) return "replaying a file (the port waits)";
  const std::string name = "COM" + std::to_string(program.settings().portNumber);
  if (program.settings().portNumber == -1) return "none chosen";
  if (port == nullptr) return name;
  if (port->state() == PortWatch::State::kClosed) return name + " opening at the next tick";
  return port->Describe();
}

}  // namespace

DayFileCensus::Count DayFileCensus::Take(FileSystem& files, const std::wstring& path) {
  Count count;
  const FileHandle file = files.OpenExistingForRead(path);
  if (file == kInvalidFile) return count;
  count.exists = true;
  count.bytes = std::max<int64_t>(files.FileSize(file), 0);
  auto known = std::find_if(known_.begin(), known_.end(), [&](const Known& k) { return k.path == path; });
  if (known == known_.end()) known = known_.insert(known_.end(), {path, 0, 0});
  // Grown as the writers grow it: count only the new bytes.
  if (count.bytes < known->bytes || !files.SeekTo(file, known->bytes)) {
    known->bytes = 0;
    known->lines = 0;
    files.SeekToStart(file);
  }
  char buffer[65536];
  uint32_t got = 0;
  int64_t read = known->bytes;
  while (read < count.bytes && files.Read(file, buffer, sizeof buffer, &got) && got > 0) {
    known->lines += static_cast<long>(std::count(buffer, buffer + got, '\n'));
    read += got;
  }
  known->bytes = read;
  files.Close(file);
  count.lines = known->lines;
  return count;
}

std::string ComposeStatusReport(const StatusSources& in, DayFileCensus& census) {
  const Program& program = in.program;
  std::string text =
      "Pathmere (" + std::string(in.frontEnd) + ", process " + std::to_string(getpid()) + ")\n";

  text += "Status area:\n";
  std::string status = WideToUtf8(in.statusText);
  status.erase(std::remove(status.begin(), status.end(), '\r'), status.end());
  while (!status.empty() && (status.back() == '\n' || status.back() == ' ')) status.pop_back();
  size_t start = 0;
  while (start <= status.size() && !status.empty()) {
    const size_t end = std::min(status.find('\n', start), status.size());
    std::string line = status.substr(start, end - start);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += "  " + line + "\n";
    start = end + 1;
  }
  if (status.empty()) text += "  (empty)\n";

  text += "Port: " + PortLine(program, in.port) + "\n";
  const wchar_t* folder = program.track().folder();
  text += "Output folder: " + in.files.DisplayPath(folder) + "\n";

  int32_t year = 0, month = 0, day = 0;
  ChooseDay(program, &year, &month, &day);
  char date[40];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", year, month, day);
  text += std::string("Files of ") + date + ":\n";
  for (const Kind& kind : kKinds) {
    const DayFileCensus::Count count =
        census.Take(in.files, DayFilePath(folder, year, month, day, kind.extension));
    char line[160];
    if (!count.exists) {
      std::snprintf(line, sizeof line, "  %s.%-5s not written yet\n", date, kind.extension);
    } else {
      std::snprintf(line, sizeof line, "  %s.%-5s %lld bytes, %s\n", date, kind.extension,
                    static_cast<long long>(count.bytes),
                    Counted(std::max(0L, count.lines - kind.headerLines), kind.unit).c_str());
    }
    text += line;
  }

  const bool nmeaOn = program.settings().enableNmeaLog != 0;
  text += "Last written: track " + WhenWritten(program.track().output(), in.clock) + ", route " +
          WhenWritten(program.route().output(), in.clock) + ", NMEA log " +
          (nmeaOn ? WhenWritten(program.nmeaLog().output(), in.clock) : std::string("off")) + "\n";
  text += "In memory, not yet on disk: track " +
          Counted(PendingLineCount(program.track().output()), "point") + ", route " +
          Counted(PendingLineCount(program.route().output()), "point") + ", NMEA log " +
          (nmeaOn ? Counted(PendingLineCount(program.nmeaLog().output()), "sentence") : std::string("off")) +
          "\n";
  if (const std::string dropped = DescribeDropped(program); !dropped.empty()) {
    text += "Dropped, beyond what memory keeps: " + dropped + "\n";
  }
  text += "Written to disk every: track and NMEA log " + FlushInterval(program.track().output()) +
          ", route " + FlushInterval(program.route().output()) + " (FlushSeconds " +
          std::to_string(program.settings().flushSeconds) + "), or sooner when a buffer fills\n";
  // Only where publishing is configured: the report stays as it was without.
  if (const PositionPublisher* publisher = program.publisher(); publisher != nullptr) {
    text += "Publishing: " + publisher->target() + " as " + publisher->topic() + ", " +
            (publisher->connected() ? "connected" : "not connected") + ", " +
            Counted(static_cast<long>(publisher->waiting()), "point") + " waiting in " +
            publisher->outbox().folder().string();
    // Only while the outbox fails: what waits in memory, and what is lost.
    const Outbox& outbox = publisher->outbox();
    if (outbox.unwritten() > 0) {
      text += ", " + std::to_string(outbox.unwritten()) + " of them in memory (" + outbox.problem() + ")";
    }
    if (const int64_t notKept = outbox.lost() + outbox.dropped(); notKept > 0)
      text += ", " + Counted(static_cast<long>(notKept), "point") + " not kept for the broker";
    text += "\n";
  }
  return text;
}

std::string ComposeServiceStatus(const Program& program, const PortWatch& port, FileSystem& files,
                                 DayFileCensus& census) {
  std::string portText = PortLine(program, &port);
  // The port's name and state, without the durations that change each tick.
  if (const size_t cut = portText.find(" for "); cut != std::string::npos) portText.resize(cut);
  if (const size_t cut = portText.find(" lost "); cut != std::string::npos) portText.resize(cut + 5);
  const BufferedDayFile& track = program.track().output();
  long points = PendingLineCount(track);
  if (track.dayKey() >= 0) {
    const DayFile& file = track.file();
    const DayFileCensus::Count count = census.Take(
        files, DayFilePath(file.folder(), 2000 + file.fileYear(), file.fileMonth(), file.fileDay(), "plt"));
    points += std::max(0L, count.lines - kKinds[0].headerLines);
  }
  return portText + "; " + SpokenFix(program) + "; " + Counted(points, "track point") + " today";
}

}  // namespace pathmere
