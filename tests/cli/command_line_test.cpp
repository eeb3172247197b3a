#include "cli/command_line.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

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
      {"record port beyond 32 bits", {"record", "--port", "4294967296"},
       "--port wants a COM number or none, not 4294967296"},
      {"record port with junk", {"record", "--port", "3x"}, "--port wants a COM number or none, not 3x"},
      {"record speed zero", {"record", "--speed", "0"}, "--speed wants bits per second, not 0"},
      {"record speed empty", {"record", "--speed", ""}, "--speed wants bits per second, not "},
      {"record empty folder", {"record", "--output", ""}, "--output needs a folder"},
      {"record help, then damage", {"record", "-h", "--speed"}, "--speed needs a value"},
      {"record flush interval missing", {"record", "--flush-every"}, "--flush-every needs a value"},
      {"record flush interval negative", {"record", "--flush-every", "-10"}, "--flush-every wants seconds, not -10"},
      {"record flush interval in words", {"record", "--flush-every", "10s"}, "--flush-every wants seconds, not 10s"},
      {"status with an argument", {"status", "now"}, "status takes no arguments, not now"},
  };
  for (const Case& c : cases) {
    const CommandLine command = Parse(c.args);
    EXPECT_FALSE(command.usable()) << c.legend;
    EXPECT_EQ(command.error, c.error) << c.legend;
  }
}

TEST(CommandLineTest, ReplayTakesFilesInOrderAndTheLastFolder) {
  const CommandLine command =
      Parse({"replay", "a.nmea", "--output", "first", "-", "--status", "--output=second", "--", "--status", "-x"});
  ASSERT_TRUE(command.usable()) << command.error;
  EXPECT_EQ(command.kind, CommandKind::kReplay);
  EXPECT_EQ(command.replay.files, (std::vector<std::string>{"a.nmea", "-", "--status", "-x"}));
  EXPECT_EQ(command.replay.outputDir, "second");
  EXPECT_TRUE(command.replay.showStatus);
}

TEST(CommandLineTest, RecordKeepsOnlyWhatWasGiven) {
  const CommandLine bare = Parse({"record"});
  ASSERT_TRUE(bare.usable());
  EXPECT_EQ(bare.kind, CommandKind::kRecord);
  EXPECT_FALSE(bare.record.port || bare.record.speed || bare.record.outputDir || bare.record.nmeaLog ||
               bare.record.flushSeconds);
  EXPECT_EQ(bare.record.showStatus, -1);

  const CommandLine full =
      Parse({"record", "--port", "none", "--speed", "2147483647", "--output", "d", "--nmea-log", "--status",
             "--no-status", "--flush-every", "10"});
  ASSERT_TRUE(full.usable()) << full.error;
  EXPECT_EQ(full.record.port, -1);
  EXPECT_EQ(full.record.speed, 2147483647);
  EXPECT_EQ(full.record.outputDir, "d");
  EXPECT_TRUE(full.record.nmeaLog);
  EXPECT_EQ(full.record.showStatus, 0);
  EXPECT_EQ(full.record.flushSeconds, 10);
}

TEST(CommandLineTest, HelpAndSecondStarts) {
  EXPECT_EQ(Parse({"--help"}).kind, CommandKind::kHelp);
  EXPECT_EQ(Parse({"-h", "--bogus"}).kind, CommandKind::kHelp);
  EXPECT_EQ(Parse({"replay", "-h"}).kind, CommandKind::kHelp);
  EXPECT_EQ(Parse({"record", "--port", "3", "--help"}).kind, CommandKind::kHelp);
  EXPECT_EQ(Parse({"status", "--help"}).kind, CommandKind::kHelp);
  EXPECT_EQ(Parse({"status"}).kind, CommandKind::kStatus);

  struct Case {
    std::vector<std::string> args;
    std::optional<int32_t> code;
  };
  const Case cases[] = {
      {{}, 102},
      {{"/wpth"}, 100},
      {{"x/wptsy"}, 101},
      {{"/noup", "/wpts"}, 101},  // looked for in a fixed order, not by position
      {{"/noup"}, std::nullopt},
      {{"/WPTH"}, 102},
      {{"Replay"}, 102},
  };
  for (const Case& c : cases) {
    const CommandLine command = Parse(c.args);
    EXPECT_TRUE(command.usable());
    EXPECT_EQ(command.kind, CommandKind::kForward);
    EXPECT_EQ(command.forwardCode, c.code) << (c.args.empty() ? "(nothing)" : c.args[0]);
  }
  // No program name at all is a plain second start too.
  EXPECT_EQ(ParseCommandLine(0, nullptr).forwardCode, 102);
}

}  // namespace
}  // namespace pathmere
