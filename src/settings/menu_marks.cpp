#include "settings/menu_marks.h"

#include <iterator>

namespace pathmere {

static_assert(kCommandSpeedLast - kCommandSpeedFirst + 1 == std::size(kOfferedSpeeds));
static_assert(kCommandFlushLast - kCommandFlushFirst + 1 == std::size(kOfferedFlushSeconds));

MenuMarks MenuMarksFor(const Settings& settings) {
  MenuMarks marks;
  if (settings.portNumber >= -1 && settings.portNumber <= kCommandPortLast - kCommandPortFirst) {
    marks.portCommand = kCommandPortFirst + settings.portNumber;
  }
  for (size_t i = 0; i < std::size(kOfferedSpeeds); ++i) {
    if (settings.portSpeed == kOfferedSpeeds[i])
      marks.speedCommand = kCommandSpeedFirst + static_cast<int>(i);
  }
  for (size_t i = 0; i < std::size(kOfferedFlushSeconds); ++i) {
    if (settings.flushSeconds == kOfferedFlushSeconds[i])
      marks.flushCommand = kCommandFlushFirst + static_cast<int>(i);
  }
  marks.enableNmeaLogChecked = settings.enableNmeaLog != 0;
  marks.hideAtStartupChecked = settings.hideAtStartup != 0;
  marks.gpsOnlyChecked = settings.gpsOnly != 0;
  marks.writeGpxChecked = settings.gpxLog != 0;
  return marks;
}

std::optional<int32_t> PortForCommand(int command) {
  if (command < kCommandPortNone || command > kCommandPortLast) return std::nullopt;
  return command - kCommandPortFirst;
}

std::optional<int32_t> SpeedForCommand(int command) {
  if (command < kCommandSpeedFirst || command > kCommandSpeedLast) return std::nullopt;
  return kOfferedSpeeds[command - kCommandSpeedFirst];
}

std::optional<int32_t> FlushSecondsForCommand(int command) {
  if (command < kCommandFlushFirst || command > kCommandFlushLast) return std::nullopt;
  return kOfferedFlushSeconds[command - kCommandFlushFirst];
}

}  // namespace pathmere
