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
std::string LineCount(std::string_view text) {
  const auto count = std::count(text.begin(), text.end(), '\n');
  return std::to_string(count) + (count == 1 ? " line" : " lines");
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

std::string DescribeUnwritten(const Program& program) {
  const BufferedDayFile* outputs[] = {&program.track().output(), &program.route().output(),
                                      &program.nmeaLog().output()};
  std::string text;
  for (const BufferedDayFile* output : outputs) {
    const std::string_view pending = output->lines().View();
    if (pending.empty()) continue;
    const DayFile& file = output->file();
    if (!text.empty()) text += "; ";
    text += DayFileName(file) + ": " + LineCount(pending) + " lost (" + DescribeWriteFailure(file, {}) + ")";
  }
  return text;
}

}  // namespace pathmere
