#include "settings/menu_marks.h"

#include <gtest/gtest.h>

#include <utility>

namespace pathmere {
namespace {

TEST(MenuMarksTest, MarksFollowTheSettings) {
  struct Case {
    const char* legend;
    int32_t portNumber;
    int32_t portSpeed;
    int32_t enableNmeaLog;
    int32_t hideAtStartup;
    int32_t gpsOnly;
    int32_t flushSeconds;
    MenuMarks expected;
  };
  const Case cases[] = {
      {"defaults", -1, 4800, 0, 0, 0, 0, {40010, 40027, false, false, false, 40041}},
      {"first port, fastest speed", 0, 115200, 1, 1, 1, 60, {40011, 40032, true, true, true, 40042}},
      {"last port", 15, 57600, 0, 0, 0, 10, {40026, 40031, false, false, false, 40043}},
      {"any non-zero switch counts", 3, 9600, -5, 2, 9, 0, {40014, 40028, true, true, true, 40041}},
      {"port beyond the menu", 16, 19200, 0, 0, 0, 0, {std::nullopt, 40029, false, false, false, 40041}},
      {"stored 20, flushes every 300 s",
       20,
       38400,
       0,
       0,
       0,
       300,
       {std::nullopt, 40030, false, false, false, std::nullopt}},
      {"below NONE", -2, 4800, 0, 0, 0, -1, {std::nullopt, 40027, false, false, false, std::nullopt}},
      {"speed the menu does not offer",
       1,
       12345,
       0,
       0,
       0,
       0,
       {40012, std::nullopt, false, false, false, 40041}},
      {"GPS sentences only alone", -1, 4800, 0, 0, 1, 0, {40010, 40027, false, false, true, 40041}},
  };
  for (const Case& c : cases) {
    Settings settings;
    settings.portNumber = c.portNumber;
    settings.portSpeed = c.portSpeed;
    settings.enableNmeaLog = c.enableNmeaLog;
    settings.hideAtStartup = c.hideAtStartup;
    settings.gpsOnly = c.gpsOnly;
    settings.flushSeconds = c.flushSeconds;
    const MenuMarks marks = MenuMarksFor(settings);
    EXPECT_EQ(marks.portCommand, c.expected.portCommand) << c.legend;
    EXPECT_EQ(marks.speedCommand, c.expected.speedCommand) << c.legend;
    EXPECT_EQ(marks.enableNmeaLogChecked, c.expected.enableNmeaLogChecked) << c.legend;
    EXPECT_EQ(marks.hideAtStartupChecked, c.expected.hideAtStartupChecked) << c.legend;
    EXPECT_EQ(marks.gpsOnlyChecked, c.expected.gpsOnlyChecked) << c.legend;
    EXPECT_EQ(marks.flushCommand, c.expected.flushCommand) << c.legend;
  }
}

// "Write GPX files" is on by default; any non-zero value counts.
TEST(MenuMarksTest, WriteGpxMarkFollowsGpxLog) {
  Settings settings;
  EXPECT_TRUE(MenuMarksFor(settings).writeGpxChecked);
  for (const auto& [value, checked] : {std::pair{0, false}, {1, true}, {-3, true}}) {
    settings.gpxLog = value;
    EXPECT_EQ(MenuMarksFor(settings).writeGpxChecked, checked) << value;
  }
}

TEST(MenuMarksTest, EveryPortAndSpeedCommandMarksItself) {
  for (int command = 40000; command <= 40050; ++command) {
    Settings settings;
    const auto port = PortForCommand(command);
    const auto speed = SpeedForCommand(command);
    const auto flush = FlushSecondsForCommand(command);
    EXPECT_EQ(port.has_value(), command >= 40010 && command <= 40026) << command;
    EXPECT_EQ(speed.has_value(), command >= 40027 && command <= 40032) << command;
    EXPECT_EQ(flush.has_value(), command >= 40041 && command <= 40043) << command;
    if (flush) {
      settings.flushSeconds = *flush;
      EXPECT_EQ(MenuMarksFor(settings).flushCommand, command);
    }
    if (port) {
      settings.portNumber = *port;
      EXPECT_EQ(MenuMarksFor(settings).portCommand, command);
    }
    if (speed) {
      settings.portSpeed = *speed;
      EXPECT_EQ(MenuMarksFor(settings).speedCommand, command);
    }
  }
  EXPECT_EQ(PortForCommand(40010), -1);
  EXPECT_EQ(SpeedForCommand(40032), 115200);
  // "5 minutes" is the writers' own intervals.
  EXPECT_EQ(FlushSecondsForCommand(40041), 0);
  EXPECT_EQ(FlushSecondsForCommand(40043), 10);
}

}  // namespace
}  // namespace pathmere
