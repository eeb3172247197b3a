#include "cli/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/usage.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

CommandLine Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "pathmere-cli");
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

// Every unusable command line gets its own line; the first problem wins, even
// over a request for help.
TEST(CommandLineTest, UnusableArgumentsNameTheFirstProblem) {
  struct Case {
    const char* legend;
    std::vector<std::string> args;
    std::string error;
  };
  const Case cases[] = {
      {"replay without files", {"replay"}, "replay needs at least one FILE"},
      {"replay without folder", {"replay", "a.nmea"}, "replay needs --output DIR"},
      {"replay with an empty folder", {"replay", "a.nmea", "--output="}, "replay needs --output DIR"},
      {"replay folder missing", {"replay", "a.nmea", "--output"}, "--output needs a folder"},
      {"replay unknown option", {"replay", "a", "--output", "d", "--bogus"}, "unknown option --bogus"},
      {"replay help, then damage", {"replay", "--help", "--bogus"}, "unknown option --bogus"},
      {"record unknown", {"record", "x"}, "unknown argument x"},
      {"record port missing", {"record", "--port"}, "--port needs a value"},
      {"record port negative", {"record", "--port", "-1"}, "--port wants a COM number or none, not -1"},
      {"record port beyond 32 bits",
       {"record", "--port", "4294967296"},
       "--port wants a COM number or none, not 4294967296"},
      {"record port with junk", {"record", "--port", "3x"}, "--port wants a COM number or none, not 3x"},
      {"record speed zero", {"record", "--speed", "0"}, "--speed wants bits per second, not 0"},
      {"record speed empty", {"record", "--speed", ""}, "--speed wants bits per second, not "},
      {"record empty folder", {"record", "--output", ""}, "--output needs a folder"},
      {"record help, then damage", {"record", "-h", "--speed"}, "--speed needs a value"},
      {"gpx without paths", {"gpx", "--mend"}, "gpx needs at least one PATH"},
      {"gpx folder missing", {"gpx", "a.plt", "--output"}, "--output needs a folder"},
      {"gpx unknown option", {"gpx", "--gpx", "a.plt"}, "unknown option --gpx"},
      {"version only as the subcommand",
       {"replay", "a", "--output", "d", "--version"},
       "unknown option --version"},
      {"record device missing", {"record", "--device"}, "--device needs a value"},
      {"ports unknown option", {"ports", "--prob"}, "unknown option --prob"},
      {"record empty device", {"record", "--device", ""}, "--device needs a device path"},
      {"record device and port",
       {"record", "--device", "/dev/ttyACM0", "--port", "3"},
       "--port, --device and --source each name the receiver; give one of them"},
      {"record source and device",
       {"record", "--source", "tcp://gw:10110", "--device", "/dev/ttyACM0"},
       "--port, --device and --source each name the receiver; give one of them"},
      {"record source missing", {"record", "--source"}, "--source needs a value"},
      {"record source not an address",
       {"record", "--source", "/dev/ttyACM0"},
       "--source /dev/ttyACM0: not gpsd://HOST[:PORT][/DEVICE], tcp://HOST:PORT or udp://[ADDRESS]:PORT"},
      {"record flush interval missing", {"record", "--flush-every"}, "--flush-every needs a value"},
      {"record flush interval negative",
       {"record", "--flush-every", "-10"},
       "--flush-every wants seconds, not -10"},
      {"record flush interval in words",
       {"record", "--flush-every", "10s"},
       "--flush-every wants seconds, not 10s"},
      {"status with an argument", {"status", "now"}, "status takes no arguments, not now"},
      {"record publish address missing", {"record", "--publish"}, "--publish needs a value"},
      {"collect without an address", {"collect", "--output", "d"}, "collect needs the broker's URL"},
      {"collect with two addresses", {"collect", "mqtt://a", "mqtt://b"}, "unknown argument mqtt://b"},
      {"collect protocol 3", {"collect", "mqtt://a", "--protocol", "3"}, "--protocol needs 3.1.1 or 5"},
      {"collect protocol missing", {"collect", "mqtt://a", "--protocol"}, "--protocol needs 3.1.1 or 5"},
      {"archive latitude 91",
       {"archive", "here", "91,0"},
       "the place's latitude 91 is not a latitude (-90 to 90)"},
      {"archive box upside down",
       {"archive", "here", "--box", "52,0,51,1"},
       "--box: south 52 is north of north 51"},
      {"archive box of three",
       {"archive", "here", "--box", "1,2,3"},
       "--box 1,2,3 is not SOUTH,WEST,NORTH,EAST in degrees"},
      {"archive radius zero",
       {"archive", "here", "1,2", "--radius", "0"},
       "--radius 0 is not a distance in metres (more than 0, up to 20000000)"},
      {"archive here nowhere",
       {"archive", "here", "--json"},
       "archive here needs LAT,LON or --box SOUTH,WEST,NORTH,EAST"},
      {"archive totals by week", {"archive", "totals", "--by", "week"}, "--by week: year or month"},
      {"archive unknown action", {"archive", "show"}, "archive does index, here or totals, not show"},
  };
  for (const Case& c : cases) {
    const CommandLine command = Parse(c.args);
    EXPECT_FALSE(command.usable()) << c.legend;
    EXPECT_EQ(command.error, c.error) << c.legend;
  }
}

TEST(CommandLineTest, ReplayTakesFilesInOrderAndTheLastFolder) {
  const CommandLine command = Parse({"replay", "a.nmea", "--output", "first", "-", "--status",
                                     "--output=second", "--gps-only", "--", "--status", "-x"});
  ASSERT_TRUE(command.usable()) << command.error;
  EXPECT_EQ(command.kind, CommandKind::kReplay);
  EXPECT_EQ(command.replay.files, (std::vector<std::string>{"a.nmea", "-", "--status", "-x"}));
  EXPECT_EQ(command.replay.outputDir, "second");
  EXPECT_TRUE(command.replay.showStatus);
  EXPECT_TRUE(command.replay.gpsOnly);
  EXPECT_FALSE(Parse({"replay", "a", "--output", "d"}).replay.gpsOnly);
}

// --gpx and --no-gpx: the last one given counts; neither leaves the setting.
TEST(CommandLineTest, GpxSwitchesAndTheGpxCommand) {
  EXPECT_FALSE(Parse({"replay", "a", "--output", "d"}).replay.gpx);
  EXPECT_EQ(Parse({"replay", "a", "--output", "d", "--no-gpx"}).replay.gpx, false);
  EXPECT_EQ(Parse({"replay", "a", "--no-gpx", "--output", "d", "--gpx"}).replay.gpx, true);
  EXPECT_FALSE(Parse({"record"}).record.gpx);
  EXPECT_EQ(Parse({"record", "--no-gpx"}).record.gpx, false);
  EXPECT_EQ(Parse({"record", "--gpx"}).record.gpx, true);
  const CommandLine gpx = Parse({"gpx", "a.plt", "--output", "out", "--mend", "--", "--b"});
  ASSERT_TRUE(gpx.usable()) << gpx.error;
  EXPECT_EQ(gpx.kind, CommandKind::kGpx);
  EXPECT_EQ(gpx.gpx.paths, (std::vector<std::string>{"a.plt", "--b"}));
  EXPECT_EQ(gpx.gpx.outputDir, "out");
  EXPECT_TRUE(gpx.gpx.mend);
  EXPECT_EQ(Parse({"gpx", "--help"}).kind, CommandKind::kHelp);
}

TEST(CommandLineTest, SummaryTakesOneDayOrARange) {
  const CommandLine bare = Parse({"summary"});
  ASSERT_TRUE(bare.usable()) << bare.error;
  EXPECT_EQ(bare.kind, CommandKind::kSummary);
  EXPECT_FALSE(bare.summary.from.IsSet() || bare.summary.json || bare.summary.outputDir);
  const CommandLine range = Parse({"summary", "--json", "2026-12-01..2026-12-31", "--output", "d"});
  ASSERT_TRUE(range.usable()) << range.error;
  EXPECT_EQ(range.summary.from, (LocalDate{2026, 12, 1}));
  EXPECT_EQ(range.summary.to, (LocalDate{2026, 12, 31}));
  EXPECT_EQ(range.summary.outputDir, "d");
  EXPECT_TRUE(range.summary.json);
  EXPECT_EQ(Parse({"summary", "2026-12-06"}).summary.to, (LocalDate{2026, 12, 6}));
  EXPECT_EQ(Parse({"summary", "--help"}).kind, CommandKind::kHelp);
  for (const char* bad : {"2026-12-6", "2026-00-01", "2026-12-01..", "..2026-12-01", "2026-12-02..2026-12-01",
                          "x026-12-01", "--jsn", "2026-12-01...2026-12-02"}) {
    EXPECT_FALSE(Parse({"summary", bad}).usable()) << bad;
  }
  EXPECT_FALSE(Parse({"summary", "--output"}).usable());
  EXPECT_FALSE(Parse({"summary", "2026-12-01", "2026-12-02"}).usable());
}

TEST(CommandLineTest, RecordKeepsOnlyWhatWasGiven) {
  const CommandLine bare = Parse({"record"});
  ASSERT_TRUE(bare.usable());
  EXPECT_EQ(bare.kind, CommandKind::kRecord);
  EXPECT_FALSE(bare.record.port || bare.record.speed || bare.record.outputDir || bare.record.nmeaLog ||
               bare.record.gpsOnly || bare.record.flushSeconds);
  EXPECT_EQ(bare.record.showStatus, -1);

  const CommandLine full =
      Parse({"record", "--port", "none", "--speed", "2147483647", "--output", "d", "--nmea-log", "--status",
             "--no-status", "--gps-only", "--flush-every", "10"});
  ASSERT_TRUE(full.usable()) << full.error;
  EXPECT_EQ(full.record.port, -1);
  EXPECT_EQ(full.record.speed, 2147483647);
  EXPECT_EQ(full.record.outputDir, "d");
  EXPECT_TRUE(full.record.nmeaLog);
  EXPECT_TRUE(full.record.gpsOnly);
  EXPECT_EQ(full.record.showStatus, 0);
  EXPECT_FALSE(full.record.device);
  EXPECT_EQ(Parse({"record", "--device", "/dev/serial/by-id/gps"}).record.device, "/dev/serial/by-id/gps");
  const CommandLine source = Parse({"record", "--source", "gpsd://"});
  ASSERT_TRUE(source.usable()) << source.error;
  EXPECT_EQ(source.record.source->HostAndPort(), "127.0.0.1:2947");

  const CommandLine ports = Parse({"ports", "COM3", "--probe", "/dev/ttyACM0"});
  ASSERT_TRUE(ports.usable()) << ports.error;
  EXPECT_EQ(ports.kind, CommandKind::kPorts);
  EXPECT_TRUE(ports.ports.probe);
  EXPECT_EQ(ports.ports.names, (std::vector<std::string>{"COM3", "/dev/ttyACM0"}));
  EXPECT_EQ(full.record.flushSeconds, 10);
}

TEST(CommandLineTest, HelpVersionAndSecondStarts) {
  EXPECT_EQ(Parse({"--help"}).kind, CommandKind::kHelp);
  EXPECT_EQ(Parse({"-h", "--bogus"}).kind, CommandKind::kHelp);
  EXPECT_EQ(Parse({"replay", "-h"}).kind, CommandKind::kHelp);
  EXPECT_EQ(Parse({"record", "--port", "3", "--help"}).kind, CommandKind::kHelp);
  EXPECT_EQ(Parse({"--version"}).kind, CommandKind::kVersion);
  EXPECT_EQ(Parse({"--version", "/wpth"}).kind, CommandKind::kVersion);
  EXPECT_EQ(Parse({"status", "--help"}).kind, CommandKind::kHelp);
  EXPECT_EQ(Parse({"status"}).kind, CommandKind::kStatus);

  // Arguments and the code they forward; `unknown`: those that hold no switch.
  struct Case {
    std::vector<std::string> args;
    std::optional<int32_t> code;
    std::vector<std::string> unknown;
  };
  const Case cases[] = {
      {{}, 102, {}},
      {{"/wpth"}, 100, {}},
      {{"x/wptsy"}, 101, {}},
      {{"/noup", "/wpts"}, 101, {}},  // looked for in a fixed order, not by position
      {{"/noup"}, std::nullopt, {}},
      {{"/WPTH"}, 102, {"/WPTH"}},
      {{"Replay"}, 102, {"Replay"}},
      {{"/wtph"}, 102, {"/wtph"}},
      {{"wpth", "/wpth"}, 100, {"wpth"}},
      {{"--bogus", "/noup"}, std::nullopt, {"--bogus"}},
      {{""}, 102, {""}},
  };
  for (const Case& c : cases) {
    const CommandLine command = Parse(c.args);
    EXPECT_TRUE(command.usable());
    EXPECT_EQ(command.kind, CommandKind::kForward);
    EXPECT_EQ(command.forwardCode, c.code) << (c.args.empty() ? "(nothing)" : c.args[0]);
    EXPECT_EQ(command.unknownSwitches, c.unknown) << (c.args.empty() ? "(nothing)" : c.args[0]);
  }
  // No program name at all is a plain second start too.
  EXPECT_EQ(ParseCommandLine(0, nullptr).forwardCode, 102);
}

// The manual page is written by hand; every option and switch that --help
// shows must be explained there too.
TEST(CommandLineTest, ManualPageNamesEveryOptionOfTheUsageText) {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* stream = open_memstream(&buffer, &size);
  ASSERT_NE(stream, nullptr);
  PrintUsage(stream);
  std::fclose(stream);
  const std::string usage(buffer, size);
  std::free(buffer);

  // roff writes a minus as "\-" and changes fonts with "\fB", "\fI", "\fR".
  std::string page = testing::ReadWholeFile(PATHMERE_SOURCE_DIR "/packaging/man/pathmere-cli.1.in");
  page = std::regex_replace(page, std::regex(R"(\\f[BIRP])"), "");
  page = std::regex_replace(page, std::regex(R"(\\-)"), "-");
  ASSERT_FALSE(page.empty());

  // "--output", "/wpth"; not the "/dev" of "/dev/ttyUSB0".
  const std::regex option(R"((?:^|[\s\[|(])(--[a-z][a-z-]*|/[a-z]+)(?=[\s\]|)=,.]|$))");
  std::set<std::string> options;
  for (auto it = std::sregex_iterator(usage.begin(), usage.end(), option); it != std::sregex_iterator();
       ++it) {
    options.insert((*it)[1]);
  }
  EXPECT_TRUE(options.contains("--version") && options.contains("/wpth")) << usage;
  for (const std::string& name : options) {
    const std::regex word(name + "(?![a-z-])");  // "-" and "/" are plain characters here
    EXPECT_TRUE(std::regex_search(page, word)) << name << " is in --help but not in pathmere-cli(1)";
  }
}

}  // namespace
}  // namespace pathmere
