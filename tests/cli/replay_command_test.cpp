#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/gpsbabel_readback.h"
#include "support/nmea_builder.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::RunCommand;

class ReplayCommandTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& content) {
    const fs::path path = in.path() / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }
  testing::CommandResult Replay(std::vector<std::string> files) {
    std::vector<std::string> argv = {PATHMERE_CLI_PATH, "replay"};
    argv.insert(argv.end(), files.begin(), files.end());
    argv.push_back("--output");
    argv.push_back((out.path() / "tracks").string());
    return RunCommand(argv, {"TZ=UTC"});
  }

  testing::TempFolder in;
  testing::TempFolder out;
};

// Fixes one second apart at one place, 12:00:00 onwards on 6 December 2026.
std::string StandingFixes(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += testing::Gga(43200.0 + i, 1.0) + "\r\n";
    text += testing::Rmc({.timeOfDay = 43200.0 + i}) + "\r\n";
  }
  return text;
}

TEST_F(ReplayCommandTest, MessageLogGoesToStandardOutputByteForByte) {
  const std::string good = Write("g\xC3\xBCt.nmea", StandingFixes(25));  // "güt": UTF-8 passes unchanged
  const std::string missing = (in.path() / "missing.nmea").string();
  const auto result = Replay({good, missing, good});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.out, good + "\r\nFile processed\r\n" + missing + "\r\n(1) File Open Error: 2 \r\n" + good +
                            "\r\nFile processed\r\n");
  // The output folder was made; the second replay of the same file
  // appended without a second header.
  const std::string track = testing::ReadWholeFile(out.path() / "tracks" / "2026-12-06.plt");
  EXPECT_EQ(track.find("OziExplorer"), 0u);
  EXPECT_EQ(track.find("OziExplorer", 1), std::string::npos);
  testing::ExpectGpsBabelReadsBack(out.path() / "tracks");
}

// As `record`: fixes that reach no file are a failure, told on standard
// error. Folders in the day files' places stand for a disk that takes no
// writes, which even root cannot write through.
TEST_F(ReplayCommandTest, AFolderThatTakesNoWritesGivesStatusOne) {
  const std::string fixes = Write("fixes.nmea", StandingFixes(25));
  for (const char* extension : {"plt", "rte", "gpx"}) {
    fs::create_directories(out.path() / "tracks" / (std::string("2026-12-06.") + extension));
  }
  const auto result = Replay({fixes});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.out.find("File Open Error: 21"), std::string::npos) << result.out;
  EXPECT_NE(result.err.find("2026-12-06.plt: 3 lines lost (cannot open 2026-12-06.plt: Is a directory)"),
            std::string::npos)
      << result.err;
}

TEST_F(ReplayCommandTest, HostileFilesAreReplayedWithoutHarm) {
  std::string noise;
  uint32_t seed = 7;
  for (int i = 0; i < 300000; ++i) {
    seed = seed * 1664525u + 1013904223u;
    noise.push_back(static_cast<char>(seed >> 24));
  }
  const std::string files[] = {
      Write("noise.bin", noise),
      Write("empty.nmea", ""),
      Write("no-final-line-end.nmea", StandingFixes(3) + testing::Rmc({.timeOfDay = 43300.0})),
      Write("long-lines.nmea",
            std::string(10000, '$') + "\r\n" + "$GP" + std::string(10000, 'A') + "\r\n" + StandingFixes(3)),
  };
  for (const std::string& file : files) {
    const auto result = Replay({file});
    EXPECT_EQ(result.exitStatus, 0) << file << result.err;
    EXPECT_TRUE(result.out.ends_with("File processed\r\n")) << file;
  }
  testing::ExpectGpsBabelReadsBack(out.path() / "tracks");
}

TEST_F(ReplayCommandTest, UnusableArgumentsGetOneLineAndStatusTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {PATHMERE_CLI_PATH, "replay"},
      {PATHMERE_CLI_PATH, "replay", "x.nmea"},
      {PATHMERE_CLI_PATH, "replay", "x.nmea", "--output"},
      {PATHMERE_CLI_PATH, "replay", "x.nmea", "--output", "d", "--bogus"},
  };
  for (const auto& argv : cases) {
    const auto result = RunCommand(argv);
    EXPECT_EQ(result.exitStatus, 2) << argv.back();
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  }
  // An output folder that cannot be made is unusable too; nothing is read.
  const std::string aFile = Write("a-file", "x");
  const auto blocked = RunCommand({PATHMERE_CLI_PATH, "replay", aFile, "--output", aFile + "/sub"});
  EXPECT_EQ(blocked.exitStatus, 2);
  EXPECT_EQ(blocked.out, "");
  EXPECT_NE(blocked.err.find("cannot use"), std::string::npos) << blocked.err;

  const auto help = RunCommand({PATHMERE_CLI_PATH, "replay", "--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_NE(help.out.find("pathmere-cli replay FILE... --output DIR"), std::string::npos);
}

}  // namespace
}  // namespace pathmere
