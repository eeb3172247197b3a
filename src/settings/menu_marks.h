#pragma once

#include <cstdint>
#include <optional>

#include "settings/settings.h"

namespace pathmere {

// Commands of the Tools menu that show settings.
inline constexpr int kCommandPortNone = 40010;    // "NONE", port -1
inline constexpr int kCommandPortFirst = 40011;   // "COM0"; COMn is 40011 + n
inline constexpr int kCommandPortLast = 40026;    // "COM15"
inline constexpr int kCommandSpeedFirst = 40027;  // 4800, then one per entry of kOfferedSpeeds
inline constexpr int kCommandSpeedLast = 40032;   // 115200
inline constexpr int kCommandEnableNmeaLog = 40033;
inline constexpr int kCommandHideAtStartup = 40034;
inline constexpr int kCommandGpsOnly = 40035;   // "GPS sentences only"
inline constexpr int kCommandWriteGpx = 40038;  // "Write GPX files"

// The speeds of the speed sub-menu, in the order of its commands.
inline constexpr int32_t kOfferedSpeeds[] = {4800, 9600, 19200, 38400, 57600, 115200};

// "Write to disk every": 5 minutes (the writers' own intervals, so the route
// keeps its 7.3 minutes), 1 minute, 10 seconds, as "FlushSeconds".
inline constexpr int kCommandFlushFirst = 40041;
inline constexpr int kCommandFlushLast = 40043;
inline constexpr int32_t kOfferedFlushSeconds[] = {0, 60, 10};

// The marks of the Tools menu for the current settings. A port or speed
// that the menu does not offer (a stored 20, say) has no command; the marks
// of that group are then left as they were.
struct MenuMarks {
  std::optional<int> portCommand;   // radio mark within 40010..40026
  std::optional<int> speedCommand;  // radio mark within 40027..40032
  bool enableNmeaLogChecked = false;
  bool hideAtStartupChecked = false;
  bool gpsOnlyChecked = false;
  std::optional<int> flushCommand;  // radio mark within 40041..40043
  bool writeGpxChecked = false;     // "GpxLog"
};

MenuMarks MenuMarksFor(const Settings& settings);

// What the port and speed commands select: the port number (-1 for "NONE")
// and the speed in bit/s; nothing for other commands.
std::optional<int32_t> PortForCommand(int command);
std::optional<int32_t> SpeedForCommand(int command);
std::optional<int32_t> FlushSecondsForCommand(int command);

}  // namespace pathmere
