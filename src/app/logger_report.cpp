#include "app/logger_report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace pathmere {
namespace {

const char* FailedStep(int code) {
  switch (code) {
    case kCreateDirectoryFailed:
      return "cannot create the folder of";
    case kOpenFailed:
      return "cannot open";
    case kHeaderWriteFailed:
      return "cannot write the header of";
    case kSeekFailed:
      return "cannot seek in";
    default:
      return "cannot write";
  }
}

// "1 line", "12 lines"
std::string LineCount(size_t count) { return std::to_string(count) + (count == 1 ? " line" : " lines"); }
std::string LineCount(std::string_view text) { return LineCount(CountLines(text)); }

std::string DatedName(const SpillQueue::Date& date, const char* extension) {
  char name[48];
  std::snprintf(name, sizeof name, "%04d-%02d-%02d.%s", 2000 + date.year, date.month, date.day, extension);
  return name;
}

}  // namespace

std::string DayFileName(const DayFile& file) {
  char name[48];
  std::snprintf(name, sizeof name, "%04d-%02d-%02d.%s", 2000 + file.fileYear(), file.fileMonth(),
                file.fileDay(), file.extension());
  return name;
}

std::string DescribeWriteFailure(const DayFile& file, std::string_view pending) {
  std::string text = std::string(FailedStep(file.lastWriteCode())) + " " + DayFileName(file) + ": " +
                     std::strerror(static_cast<int>(file.lastError()));
  if (!pending.empty()) text += ", " + LineCount(pending) + " kept in memory";
  return text;
}

std::string DescribeWriteFailure(const DayFile& file, size_t keptLines) {
  std::string text = DescribeWriteFailure(file, std::string_view());
  if (keptLines > 0) text += ", " + LineCount(keptLines) + " kept in memory";
  return text;
}

std::string DescribeUnwritten(const Program& program) {
  struct Kept {
    const DayFile& file;
    size_t lines;
  };
  const Kept kept[] = {
      {program.track().output().file(), program.track().keptLines()},
      {program.gpx().file().names(), program.gpx().keptLines()},
      {program.route().output().file(), program.route().keptLines()},
      {program.nmeaLog().output().file(), program.nmeaLog().keptLines()},
      {program.waypoints().file(), program.waypoints().keptLines()},
  };
  std::string text;
  for (const Kept& k : kept) {
    if (k.lines == 0) continue;
    if (!text.empty()) text += "; ";
    text +=
        DayFileName(k.file) + ": " + LineCount(k.lines) + " lost (" + DescribeWriteFailure(k.file, {}) + ")";
  }
  return text;
}

std::string DescribeDropped(const Program& program) {
  struct Queue {
    const SpillQueue& spill;
    const char* extension;
  };
  const Queue queues[] = {
      {program.track().output().spill(), "plt"},
      {program.gpx().spill(), "gpx"},
      {program.route().output().spill(), "rte"},
      {program.nmeaLog().output().spill(), "nmea"},
  };
  std::string text;
  for (const Queue& queue : queues) {
    for (const SpillQueue::Dropped& dropped : queue.spill.dropped()) {
      if (!text.empty()) text += ", ";
      text += DatedName(dropped.date, queue.extension) + " " + LineCount(dropped.lines);
    }
  }
  return text;
}

}  // namespace pathmere
