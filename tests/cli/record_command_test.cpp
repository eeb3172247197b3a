// The headless logger on a pseudo-terminal posing as the receiver: a real
// log fed in, a waypoint marked from a second process, then Ctrl+C.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/day_file_headers.h"
#include "support/fake_receiver.h"
#include "support/gpsbabel_readback.h"
#include "support/logger_home.h"
#include "support/loopback_peers.h"
#include "support/nmea_builder.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::FakeReceiver;
using testing::RunCommand;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool WaitFor(testing::ChildProcess& process, const std::string& text, int tenths = 100) {
  for (int i = 0; i < tenths; ++i) {
    if (process.Output().find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(100ms);
  }
  return false;
}

TEST(RecordCommandTest, LiveCaptureWaypointFromAnotherShellAndCleanShutDown) {
  const fs::path log = testing::RecordedLogFolder() / "gpsbabel-track-2004.nmea";
  if (!fs::exists(log)) GTEST_SKIP() << "recorded logs not found";
  testing::LoggerHome home;
  const fs::path out = home.out();
  FakeReceiver receiver;
  home.LinkPort(0, receiver.slaveName());
  const std::vector<std::string> env = home.Environment("Europe/Berlin");

  testing::ChildProcess logger({PATHMERE_CLI_PATH, "record", "--port", "0", "--speed", "4800", "--output",
                                out.string(), "--nmea-log", "--status"},
                               env);
  ASSERT_TRUE(WaitFor(logger, "COM0 opening...")) << logger.Output();

  const std::string content = testing::ReadWholeFile(log);
  const size_t half = content.find('\n', content.size() / 2) + 1;
  receiver.Send(content.substr(0, half));
  std::this_thread::sleep_for(2500ms);  // a few ticks: the queue drains
  const auto marked = RunCommand({PATHMERE_CLI_PATH, "/wpth"}, env);
  EXPECT_EQ(marked.exitStatus, 0) << marked.err;
  // A word that is no command is a usage error, logger or not (see below).
  EXPECT_EQ(RunCommand({PATHMERE_CLI_PATH, "frobnicate"}, env).exitStatus, 2);
  receiver.Send(content.substr(half));
  std::this_thread::sleep_for(3500ms);

  // Asked from another shell what it is doing, it tells from its files and
  // its memory.
  const std::string day = "2004-08-07";
  const auto status = RunCommand({PATHMERE_CLI_PATH, "status"}, env);
  EXPECT_EQ(status.exitStatus, 0) << status.err;
  const auto told = [&](const std::string& text) { return status.out.find(text) != std::string::npos; };
  EXPECT_TRUE(told("Pathmere (pathmere-cli record, process ")) << status.out;
  EXPECT_TRUE(told("Status area:\n  UTC:  07.08.04 ")) << status.out;
  EXPECT_TRUE(told("Port: COM0 (" + receiver.slaveName() + ") open at 4800 bit/s for ")) << status.out;
  EXPECT_TRUE(told("Output folder: " + out.string() + "\n")) << status.out;
  EXPECT_TRUE(told("Files of " + day + ":\n")) << status.out;
  const long trackOnDisk = static_cast<long>(Lines(testing::ReadWholeFile(out / (day + ".plt"))).size()) - 6;
  EXPECT_TRUE(told(day + ".plt   " + std::to_string(fs::file_size(out / (day + ".plt"))) + " bytes, " +
                   std::to_string(trackOnDisk) + " points\n"))
      << status.out;
  EXPECT_TRUE(
      told(day + ".wpt   " + std::to_string(fs::file_size(out / (day + ".wpt"))) + " bytes, 1 waypoint\n"))
      << status.out;
  EXPECT_TRUE(told("Last written: track ")) << status.out;
  EXPECT_TRUE(told("In memory, not yet on disk: track ")) << status.out;
  EXPECT_FALSE(told("In memory, not yet on disk: track 0 points")) << status.out;
  EXPECT_TRUE(told("Written to disk every: track and NMEA log 5 min 0 s, route 7 min 18 s")) << status.out;

  // The day in numbers takes the points still in memory too: the same as
  // once they are written.
  const std::vector<std::string> summary = {PATHMERE_CLI_PATH, "summary", "--json", "--output", out.string()};
  const auto live = RunCommand(summary, env);
  ASSERT_EQ(live.exitStatus, 0) << live.err;

  const auto result = logger.Stop(SIGINT);
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_NE(result.out.find("(1) Waypoint saved. \r\n"), std::string::npos) << result.out;
  const auto nobody = RunCommand({PATHMERE_CLI_PATH, "status"}, env);
  EXPECT_EQ(nobody.exitStatus, 1);
  EXPECT_EQ(nobody.err, "pathmere-cli: no Pathmere is running\n");
  EXPECT_EQ(RunCommand({PATHMERE_CLI_PATH, "frobnicate"}, env).exitStatus, 2);
  const auto written = RunCommand(summary, env);
  ASSERT_EQ(written.exitStatus, 0) << written.err;
  EXPECT_EQ(live.out, written.out);
  EXPECT_NE(live.out.find("\"day\": \"" + day + "\""), std::string::npos) << live.out;

  // Everything pending reached the files at shut-down.
  const auto track = Lines(testing::ReadWholeFile(out / (day + ".plt")));
  const auto route = Lines(testing::ReadWholeFile(out / (day + ".rte")));
  const auto waypoints = Lines(testing::ReadWholeFile(out / (day + ".wpt")));
  const auto nmea = Lines(testing::ReadWholeFile(out / (day + ".nmea")));
  ASSERT_GT(track.size(), 6u + 10u);
  ASSERT_GT(route.size(), 5u);
  ASSERT_EQ(waypoints.size(), 5u);
  EXPECT_EQ(waypoints[4].rfind("-1,W040807-05", 0), 0u) << waypoints[4];
  EXPECT_EQ(testing::ExpectGpsBabelReadsBack(out), testing::GpsBabelFound() ? 3 : 0);
  // The raw log holds every RMC and GGA that decoded: the log has 154 of
  // each, and its first GGA comes before any dated RMC, so it is refused.
  ASSERT_EQ(nmea.size(), 307u);
  for (const std::string& line : nmea) {
    EXPECT_TRUE(line.rfind("$GPRMC,", 0) == 0 || line.rfind("$GPGGA,", 0) == 0) << line;
  }

  // The raw log replays into the same track points, with one exception:
  // the waypoint wrote a point out of the ten-second spacing, and the live
  // track's spacing runs on from that point. The replay knows nothing of the
  // waypoint, so from there on its points lie on the old grid. Both are right
  // for their input; before the waypoint they are identical.
  const fs::path replayed = home.root() / "replayed";
  const auto replay = RunCommand(
      {PATHMERE_CLI_PATH, "replay", (out / (day + ".nmea")).string(), "--output", replayed.string()}, env);
  ASSERT_EQ(replay.exitStatus, 0) << replay.err;
  const auto replayTrack = Lines(testing::ReadWholeFile(replayed / (day + ".plt")));
  // The waypoint's name holds its local time (UTC+2 in August); the fixes
  // of this log are at .379 s, so the rounded second is the fix's second.
  ASSERT_EQ(waypoints[4].substr(11, 2), "05");
  const std::string waypointTime = "03:" + waypoints[4].substr(13, 2) + ":" + waypoints[4].substr(15, 2);
  auto timeOf = [](const std::string& line) { return line.substr(line.rfind(", ") + 2, 8); };
  auto before = [&](const std::vector<std::string>& lines) {
    std::vector<std::string> part;
    for (const auto& line : lines) {
      if (line.find(", 07.08.04, ") != std::string::npos && timeOf(line) < waypointTime) part.push_back(line);
    }
    return part;
  };
  EXPECT_EQ(before(track), before(replayTrack));
  bool livePointAtWaypoint = false;
  for (const auto& line : track) livePointAtWaypoint |= timeOf(line) == waypointTime;
  EXPECT_TRUE(livePointAtWaypoint) << waypointTime;
  EXPECT_NEAR(static_cast<double>(track.size()), static_cast<double>(replayTrack.size()), 1.0);
}

// Ctrl+C, a service stop and a closed terminal all end through the normal
// shut-down: pending points reach their files and the exit status is 0 (a
// signal's default action would leave them in memory and kill the logger).
// A reader of standard output that goes away (`record --status | head`) and
// SIGPIPE itself stop nothing: the logger goes on until it is stopped. When
// the last flush fails, the exit status says so.
// A folder given relative to where the logger was started is the same
// folder for `status` and `summary` asked from anywhere else.
TEST(RecordCommandTest, ARelativeOutputFolderIsKeptAndToldAsAnAbsolutePath) {
  testing::LoggerHome home;
  testing::ChildProcess logger(
      {"/bin/sh", "-c", "cd \"$0\" && exec \"$1\" record --port none --output ./out/", home.root().string(),
       PATHMERE_CLI_PATH},
      home.Environment("UTC"));
  testing::CommandResult status;
  for (int i = 0; i < 100 && status.exitStatus != 0; ++i) {
    std::this_thread::sleep_for(100ms);
    status = testing::RunCommand({PATHMERE_CLI_PATH, "status"}, home.Environment("UTC"));
  }
  EXPECT_NE(status.out.find("Output folder: " + home.out().string() + "\n"), std::string::npos) << status.out;
  EXPECT_EQ(logger.Stop(SIGTERM).exitStatus, 0);
}

TEST(RecordCommandTest, EveryStopSignalWritesWhatIsPending) {
  struct Row {
    const char* legend;
    int signal;
    bool readerGoesAway;
    bool folderGoesAway;
  };
  const Row rows[] = {
      {"Ctrl+C", SIGINT, false, false},
      {"service stop", SIGTERM, false, false},
      {"closed terminal", SIGHUP, false, false},
      {"reader gone, SIGPIPE, then a service stop", SIGTERM, true, false},
      {"output folder gone before the stop", SIGTERM, false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    testing::LoggerHome home;
    FakeReceiver receiver;
    home.LinkPort(0, receiver.slaveName());
    testing::ChildProcess logger(
        {PATHMERE_CLI_PATH, "record", "--port", "0", "--output", home.out().string(), "--status"},
        home.Environment("UTC"));
    ASSERT_TRUE(WaitFor(logger, "COM0 opening...")) << logger.Output();
    if (row.readerGoesAway) logger.CloseOutput();
    std::string fixes;
    for (int i = 0; i < 30; ++i) {
      fixes += testing::Gga(43200.0 + i, 1.0) + "\r\n" + testing::Rmc({.timeOfDay = 43200.0 + i}) + "\r\n";
    }
    receiver.Send(fixes);
    const fs::path track = home.out() / "2026-12-06.plt";
    if (row.folderGoesAway) {
      ASSERT_TRUE(WaitFor(logger, "Sat:  8")) << logger.Output();
      fs::rename(home.out(), home.root() / "moved");
      std::ofstream(home.out()) << "a file where the folder was";
      const auto result = logger.Stop(row.signal);
      EXPECT_EQ(result.exitStatus, 1) << result.err;
      EXPECT_NE(result.err.find("not everything could be written at shut-down: 2026-12-06.plt: "),
                std::string::npos)
          << result.err;
      EXPECT_NE(result.err.find("lines lost (cannot create the folder of 2026-12-06.plt: File exists)"),
                std::string::npos)
          << result.err;
      continue;
    }
    if (row.readerGoesAway) {
      // The first point is written at once; status texts keep failing to
      // reach the reader meanwhile.
      for (int i = 0; i < 50 && !fs::exists(track); ++i) std::this_thread::sleep_for(100ms);
      std::this_thread::sleep_for(1500ms);
      logger.Signal(SIGPIPE);
      std::this_thread::sleep_for(500ms);
      logger.Pump(0);
      ASSERT_TRUE(logger.running()) << logger.err();
    } else {
      ASSERT_TRUE(WaitFor(logger, "Sat:  8")) << logger.Output();
    }
    const auto result = logger.Stop(row.signal);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_GE(Lines(testing::ReadWholeFile(track)).size(), 6u + 2u);
  }
}

// Where no status area is shown (a journal, a pipe) the logger prints a line
// per change of state; on a terminal its output stays as it was.
TEST(RecordCommandTest, StateLinesOnlyWhereTheStatusAreaIsNotShown) {
  testing::LoggerHome home;
  FakeReceiver receiver;
  ASSERT_TRUE(receiver.HoldRawSlave());
  home.LinkPort(0, receiver.slaveName());
  const std::vector<std::string> args = {PATHMERE_CLI_PATH, "record",           "--port", "0",
                                         "--output",        home.out().string()};
  std::string fixes;
  for (int i = 0; i < 3; ++i) {
    fixes += testing::Gga(43200.0 + i, 1.0) + "\r\n" + testing::Rmc({.timeOfDay = 43200.0 + i}) + "\r\n";
  }
  const std::string opened = "pathmere-cli: COM0 (" + receiver.slaveName() + ") open at 4800 bit/s\n";
  {
    testing::ChildProcess logger(args, home.Environment("UTC"));
    ASSERT_TRUE(WaitFor(logger, opened)) << logger.Output();
    receiver.Send(fixes);
    ASSERT_TRUE(WaitFor(logger, "pathmere-cli: first fix 48.00000 N 11.00000 E\n")) << logger.Output();
    const auto result = logger.Stop(SIGTERM);
    EXPECT_EQ(result.out, opened + "pathmere-cli: first fix 48.00000 N 11.00000 E\n");
  }
  testing::ChildProcess logger(args, home.Environment("UTC"), -1, true);
  ASSERT_TRUE(WaitFor(logger, "COM0 opening...")) << logger.Output();
  receiver.Send(fixes);
  ASSERT_TRUE(WaitFor(logger, "Sat:  8")) << logger.Output();
  const auto result = logger.Stop(SIGTERM);
  EXPECT_EQ(result.out.find("pathmere-cli:"), std::string::npos) << result.out;
}

// With --flush-every 10 a power cut costs at most about ten seconds of
// track: the files read while the logger runs hold points that recent.
TEST(RecordCommandTest, FlushEveryTenSecondsKeepsTheDiskThatRecent) {
  testing::LoggerHome home;
  FakeReceiver receiver;
  home.LinkPort(0, receiver.slaveName());
  testing::ChildProcess logger({PATHMERE_CLI_PATH, "record", "--port", "0", "--output", home.out().string(),
                                "--flush-every", "10", "--no-status"},
                               home.Environment("UTC"));
  ASSERT_TRUE(WaitFor(logger, " open at 4800 bit/s")) << logger.Output();
  // Fast enough that every fix is a track point.
  auto fix = [](int i) {
    return testing::Gga(43200.0 + i, 1.0) + "\r\n" +
           testing::Rmc({.timeOfDay = 43200.0 + i, .northMetres = 60.0 * i, .speedKmh = 216.0}) + "\r\n";
  };
  const fs::path track = home.out() / "2026-12-06.plt";
  for (int i = 0; i <= 16; ++i) {
    receiver.Send(fix(i));
    std::this_thread::sleep_for(1s);
    if (i < 13) continue;
    const auto lines = Lines(testing::ReadWholeFile(track));
    ASSERT_GT(lines.size(), 6u);
    const std::string& last = lines.back();
    const int second = std::atoi(last.substr(last.rfind(':') + 1).c_str());
    EXPECT_LE(i - second, 13) << "second " << i << ": " << last;
  }
  EXPECT_EQ(logger.Stop(SIGTERM).exitStatus, 0);
}

// A datagram socket of the test in place of systemd's: READY=1 after the
// start, WATCHDOG=1 from every tick, STATUS= when the state changes and
// STOPPING=1 at the end. A NOTIFY_SOCKET that names nothing costs the logger
// nothing: it ticks and answers as ever.
TEST(RecordCommandTest, TellsSystemdItIsReadyAliveAndWhatItDoes) {
  struct Row {
    const char* legend;
    bool abstract;
    bool listening;
  };
  const Row rows[] = {
      {"a socket file", false, true},
      {"an abstract socket", true, true},
      {"a socket file nobody made", false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    testing::LoggerHome home;
    FakeReceiver receiver;
    home.LinkPort(0, receiver.slaveName());
    const std::string name = row.abstract ? "@pathmere-notify-test-" + std::to_string(getpid())
                                          : (home.root() / "notify").string();
    const int systemd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), name.size());
    if (row.abstract) address.sun_path[0] = '\0';
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
    if (row.listening) {
      ASSERT_EQ(bind(systemd, reinterpret_cast<const sockaddr*>(&address), length), 0);
    }
    std::vector<std::string> env = home.Environment("UTC");
    env.push_back("NOTIFY_SOCKET=" + name);
    testing::ChildProcess logger(
        {PATHMERE_CLI_PATH, "record", "--port", "0", "--output", home.out().string()}, env);
    receiver.Send(testing::Gga(43200.0, 1.0) + "\r\n" + testing::Rmc({.timeOfDay = 43200.0}) + "\r\n" +
                  testing::Gga(43201.0, 1.0) + "\r\n" + testing::Rmc({.timeOfDay = 43201.0}) + "\r\n");
    if (!row.listening) {
      ASSERT_TRUE(WaitFor(logger, "first fix")) << logger.Output();
      const auto status = RunCommand({PATHMERE_CLI_PATH, "status"}, env);
      EXPECT_EQ(status.exitStatus, 0) << status.err;
      EXPECT_EQ(logger.Stop(SIGTERM).exitStatus, 0);
      close(systemd);
      continue;
    }
    std::vector<std::string> messages;
    const auto until = std::chrono::steady_clock::now() + 15s;
    while (messages.size() < 5 && std::chrono::steady_clock::now() < until) {
      pollfd watch{systemd, POLLIN, 0};
      if (poll(&watch, 1, 100) <= 0) continue;
      char buffer[512];
      const ssize_t got = recv(systemd, buffer, sizeof buffer, 0);
      if (got > 0) messages.emplace_back(buffer, static_cast<size_t>(got));
    }
    const auto result = logger.Stop(SIGTERM);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    char last[64] = {};
    EXPECT_GT(recv(systemd, last, sizeof last - 1, MSG_DONTWAIT), 0);
    close(systemd);
    ASSERT_GE(messages.size(), 5u);
    EXPECT_EQ(messages[0],
              "READY=1\nWATCHDOG=1\nSTATUS=COM0 opening at the next tick; no sentences yet; "
              "0 track points today");
    bool fixTold = false;
    for (size_t i = 1; i < messages.size(); ++i) {
      EXPECT_EQ(messages[i].rfind("WATCHDOG=1", 0), 0u) << messages[i];
      fixTold |= messages[i].find("\nSTATUS=COM0 (" + receiver.slaveName() +
                                  ") open at 4800 bit/s; fix 48.00000 N 11.00000 E; ") != std::string::npos;
    }
    EXPECT_TRUE(fixTold) << ::testing::PrintToString(messages);
    EXPECT_STREQ(last, "STOPPING=1");
  }
}

// A small file system of the test's own that is full under the logger: it
// keeps running and keeps its pending points, tells the journal once, and
// writes them all, as whole lines, when there is room again. The day's track
// file from an earlier run ends just short of a page, so the first write
// fills that page and then fails half way.
TEST(RecordCommandTest, FullDiskIsToldOnceAndThePendingPointsFollowWhenThereIsRoom) {
  testing::LoggerHome home;
  fs::create_directories(home.out());
  if (mount("pathmere-test", home.out().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=128k,mode=0755") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs at " << home.out() << " (" << std::strerror(errno)
                 << "): this test needs root or CAP_SYS_ADMIN";
  }
  struct Unmount {
    fs::path at;
    ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
  } unmount{home.out()};

  const fs::path track = home.out() / "2026-12-06.plt";
  std::string earlier = testing::TrackHeader(2026, 12, 6);
  // Point lines are 73 bytes: the next one does not fit the page.
  for (int i = 0; 4096 - earlier.size() >= 73; ++i) {
    char line[96];
    std::snprintf(line, sizeof line,
                  "48.00000000, 11.00000000,0, 1640.42, 46362.45833333, 06.12.26, 11:%02d:%02d\r\n", i / 60,
                  i % 60);
    earlier += line;
  }
  std::ofstream(track, std::ios::binary) << earlier;
  {
    std::ofstream filler(home.out() / "filler", std::ios::binary);
    const std::string block(4096, 'x');
    for (int i = 0; i < 64 && filler.write(block.data(), block.size()); ++i) filler.flush();
  }

  FakeReceiver receiver;
  home.LinkPort(0, receiver.slaveName());
  testing::ChildProcess logger({PATHMERE_CLI_PATH, "record", "--port", "0", "--output", home.out().string(),
                                "--flush-every", "1", "--no-status"},
                               home.Environment("UTC"));
  ASSERT_TRUE(WaitFor(logger, " open at 4800 bit/s")) << logger.Output();
  int sent = 0;
  // Four fixes a second, each far enough from the last to be a track point.
  auto sendFor = [&](std::chrono::milliseconds span) {
    for (const auto until = std::chrono::steady_clock::now() + span;
         std::chrono::steady_clock::now() < until;) {
      receiver.Send(
          testing::Gga(43200.0 + sent, 1.0) + "\r\n" +
          testing::Rmc({.timeOfDay = 43200.0 + sent, .northMetres = 60.0 * sent, .speedKmh = 216.0}) +
          "\r\n");
      ++sent;
      std::this_thread::sleep_for(250ms);
    }
  };
  sendFor(3000ms);
  const std::string full = "pathmere-cli: cannot write 2026-12-06.plt: No space left on device, ";
  ASSERT_TRUE(WaitFor(logger, full)) << logger.Output();
  ASSERT_TRUE(logger.running());
  // Half a write, cut off again: the file is as it was.
  EXPECT_EQ(testing::ReadWholeFile(track), earlier);

  fs::remove(home.out() / "filler");
  sendFor(2500ms);
  ASSERT_TRUE(WaitFor(logger, "pathmere-cli: 2026-12-06.plt written again\n")) << logger.Output();
  const auto result = logger.Stop(SIGTERM);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  const size_t told = result.out.find(full);
  EXPECT_EQ(result.out.find(full, told + 1), std::string::npos) << "told once: " << result.out;
  EXPECT_NE(result.out.find("File Write Error: 28 \r\n"), std::string::npos) << result.out;

  // The points in order, each a whole line, after what was there: from the
  // second fix (the first is dropped, too far from the unknown last
  // position) to the last ones read before the stop (the very last is held
  // for its GGA, and up to a second's worth may still wait in the terminal).
  const std::string content = testing::ReadWholeFile(track);
  ASSERT_EQ(content.compare(0, earlier.size(), earlier), 0);
  const auto lines = Lines(content.substr(earlier.size()));
  ASSERT_GE(lines.size() + 7, static_cast<size_t>(sent)) << content.substr(earlier.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    char time[48];
    std::snprintf(time, sizeof time, ", 12:%02zu:%02zu\r", (i + 1) / 60 % 60, (i + 1) % 60);
    EXPECT_EQ(lines[i].substr(lines[i].size() - 11), time) << i << ": " << lines[i];
    EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), ','), 6) << i << ": " << lines[i];
  }
}

// Without --output the stored folder is used; where it cannot be, the
// logger says which problem it has (once) and writes to the default.
// A number no port can have is refused at once, given or stored; a COM99
// entry of the user's own is a port.
TEST(RecordCommandTest, APortNumberThatCannotBeAPortIsRefused) {
  testing::LoggerHome home;
  const std::vector<std::string> record = {PATHMERE_CLI_PATH, "record", "--output", home.out().string()};
  std::vector<std::string> given = record;
  given.insert(given.end(), {"--port", "99"});
  const auto refused = testing::RunCommand(given, home.Environment("UTC"));
  EXPECT_EQ(refused.exitStatus, 2);
  EXPECT_TRUE(
      refused.err.starts_with("pathmere-cli: --port 99 cannot be a port: COM0 to COM15 are, and any "))
      << refused.err;
  std::ofstream(home.config() / "Brenix" / "Pathmere.reg") << "\"PortNumber\"=dword:00000063\n";
  const auto stored = testing::RunCommand(record, home.Environment("UTC"));
  EXPECT_EQ(stored.exitStatus, 2);
  EXPECT_NE(stored.err.find("the stored PortNumber 99 cannot be a port"), std::string::npos) << stored.err;

  home.LinkPort(99, "/dev/null");
  testing::ChildProcess logger(given, home.Environment("UTC"));
  ASSERT_TRUE(WaitFor(logger, "COM99")) << logger.Output() << logger.err();
  EXPECT_EQ(logger.Stop(SIGTERM).exitStatus, 0);
}

TEST(RecordCommandTest, UnusableStoredFolderIsNamedForWhatIsWrongWithIt) {
  struct Row {
    const char* legend;
    std::string storeContent;  // "fifo": a FIFO in the settings file's place
    const char* expected;
  };
  const Row rows[] = {
      {"nothing stored", "", "no output folder chosen yet, writing to \\Pathmere"},
      {"a number", "\"OutputDir\"=dword:00000001\n", "is not a text"},
      {"too long", "\"OutputDir\"=\"\\\\" + std::string(300, 'a') + "\"\n", "is longer than 259 characters"},
      {"no backslash", "\"OutputDir\"=\"Tracks\"\n", "\"Tracks\" (OutputDir in "},
      {"the root", "\"OutputDir\"=\"\"\n", ") is empty"},
      {"a FIFO for a settings file", "fifo", "Pathmere.reg cannot be read"},
  };
  std::vector<std::unique_ptr<testing::LoggerHome>> homes;
  std::vector<std::unique_ptr<testing::ChildProcess>> loggers;
  for (const Row& row : rows) {
    homes.push_back(std::make_unique<testing::LoggerHome>());
    const fs::path store = homes.back()->config() / "Brenix" / "Pathmere.reg";
    if (row.storeContent == "fifo") {
      ASSERT_EQ(mkfifo(store.c_str(), 0600), 0);
    } else if (!row.storeContent.empty()) {
      std::ofstream(store) << row.storeContent;
    }
    loggers.push_back(std::make_unique<testing::ChildProcess>(
        std::vector<std::string>{PATHMERE_CLI_PATH, "record", "--port", "none"},
        homes.back()->Environment("UTC")));
  }
  for (size_t i = 0; i < loggers.size(); ++i) {
    SCOPED_TRACE(rows[i].legend);
    for (int wait = 0; wait < 50 && loggers[i]->err().find("writing to") == std::string::npos; ++wait) {
      loggers[i]->Pump(100);
    }
    const auto result = loggers[i]->Stop(SIGTERM);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.err.find(rows[i].expected), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("writing to", result.err.find("writing to") + 1), std::string::npos)
        << result.err;
  }
}

// --device opens a path directly, such as the receiver's stable name under
// /dev/serial/by-id/, and the status area names it instead of a COM number.
TEST(RecordCommandTest, DeviceTakesAStableNameWithoutACOMNumber) {
  testing::LoggerHome home;
  FakeReceiver receiver;
  const fs::path byId =
      home.root() / "serial" / "by-id" / "usb-u-blox_AG_-_www.u-blox.com_u-blox_GNSS_receiver-if00";
  fs::create_directories(byId.parent_path());
  fs::create_symlink(receiver.slaveName(), byId);
  testing::ChildProcess logger(
      {PATHMERE_CLI_PATH, "record", "--device", byId.string(), "--output", home.out().string(), "--status"},
      home.Environment("UTC"));
  ASSERT_TRUE(WaitFor(logger, byId.string() + " opening...\r\n")) << logger.Output();
  std::string fixes;
  for (int i = 0; i < 30; ++i) {
    fixes += testing::WithTalker(testing::Gga(43200.0 + i, 1.0), "GN") + "\r\n" +
             testing::WithTalker(testing::Rmc({.timeOfDay = 43200.0 + i}), "GN") + "\r\n";
  }
  receiver.Send(fixes);
  ASSERT_TRUE(WaitFor(logger, "Sat:  8")) << logger.Output();
  const auto result = logger.Stop(SIGTERM);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.out.find("COM"), std::string::npos) << result.out;
  EXPECT_GE(Lines(testing::ReadWholeFile(home.out() / "2026-12-06.plt")).size(), 6u + 2u);
}

// A program that already reads the receiver gets part of its sentences: the
// logger names it once, however many ticks it runs.
TEST(RecordCommandTest, AnotherProgramReadingTheReceiverIsNamedOnce) {
  testing::LoggerHome home;
  FakeReceiver receiver;
  home.LinkPort(0, receiver.slaveName());
  testing::ChildProcess holder({"/bin/sh", "-c", "exec sleep 30 <\"$0\"", receiver.slaveName()});
  ASSERT_TRUE(holder.started());
  std::this_thread::sleep_for(300ms);
  testing::ChildProcess logger(
      {PATHMERE_CLI_PATH, "record", "--port", "0", "--output", home.out().string(), "--status"},
      home.Environment("UTC"));
  ASSERT_TRUE(WaitFor(logger, "COM0 opening...")) << logger.Output();
  std::this_thread::sleep_for(2500ms);
  const auto result = logger.Stop(SIGTERM);
  EXPECT_EQ(result.exitStatus, 0);
  const std::string expected = receiver.slaveName() + " (linked as " + (home.ports() / "COM0").string() +
                               ") is also open in sleep (pid " + std::to_string(holder.pid()) + ")";
  const size_t at = result.err.find(expected);
  EXPECT_NE(at, std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("is also open", at + expected.size()), std::string::npos) << result.err;
  holder.Kill();
}

// Run as an ordinary user (nobody) against a terminal that only its owner
// and group may open: the status area keeps the program's own code, the
// terminal is told once what to do about it.
TEST(RecordCommandTest, PermissionProblemIsExplainedOnceWithDeviceAndGroup) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
  const uid_t nobody = 65534;
  testing::TempFolder home;
  fs::permissions(home.path(), fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec,
                  fs::perm_options::replace);
  const fs::path ports = home.path() / "config" / "Brenix" / "ports";
  const fs::path runtime = home.path() / "run";
  fs::create_directories(ports);
  fs::create_directories(runtime);
  fs::create_directories(home.path() / "out");
  for (const fs::path& p :
       {home.path() / "config", home.path() / "config" / "Brenix", ports, runtime, home.path() / "out"}) {
    ASSERT_EQ(chown(p.c_str(), nobody, nobody), 0);
  }
  fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
  FakeReceiver receiver;  // its terminal is root's, mode 0620
  fs::create_symlink(receiver.slaveName(), ports / "COM0");

  testing::ChildProcess logger(
      {PATHMERE_CLI_PATH, "record", "--port", "0", "--output", (home.path() / "out").string(), "--status"},
      {"XDG_CONFIG_HOME=" + (home.path() / "config").string(), "XDG_RUNTIME_DIR=" + runtime.string(),
       "HOME=" + home.path().string()},
      static_cast<int>(nobody));
  ASSERT_TRUE(WaitFor(logger, "COM-port open error (1)!\r\nCOM0 opening...\r\nCOM-port open error (1)!"))
      << logger.Output();
  const auto result = logger.Stop(SIGTERM);
  EXPECT_EQ(result.exitStatus, 0);
  struct stat device {};
  ASSERT_EQ(stat(receiver.slaveName().c_str(), &device), 0);
  const group* owner = getgrgid(device.st_gid);
  ASSERT_NE(owner, nullptr);
  const std::string expected = "cannot open " + receiver.slaveName() + " (linked as " +
                               (ports / "COM0").string() +
                               "): Permission denied; add your user to the group " + owner->gr_name;
  EXPECT_NE(result.err.find(expected), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("cannot open", result.err.find(expected) + 1), std::string::npos) << result.err;
}

// Receivers on the network give the files that the same bytes give from a
// pseudo-terminal. The log: gpsbabel-track-2004.nmea, 47 KB of GPRMC and
// GPGGA without junk between sentences, so gpsd passes on every byte of it
// and nothing is allowed for; it spans five ticks of reads and makes both a
// track and a route.
class NetworkRecordTest : public ::testing::Test {
 protected:
  struct DayFiles {
    std::string track, route;
  };
  using Feed =
      std::function<void(testing::ChildProcess& logger, const std::string& first, const std::string& rest)>;

  void SetUp() override {
    const fs::path log = testing::RecordedLogFolder() / "gpsbabel-track-2004.nmea";
    if (!fs::exists(log)) GTEST_SKIP() << "recorded logs not found";
    content_ = testing::ReadWholeFile(log);
    half_ = content_.find('\n', content_.size() / 2) + 1;
  }

  // Records with `receiverArgs` while `feed` delivers the log in two parts,
  // and stops once the status area shows the log's last fix.
  DayFiles Record(const std::vector<std::string>& receiverArgs, const Feed& feed) {
    std::vector<std::string> argv = {PATHMERE_CLI_PATH, "record"};
    argv.insert(argv.end(), receiverArgs.begin(), receiverArgs.end());
    for (const char* arg : {"--output", "OUT", "--status"}) argv.emplace_back(arg);
    argv[argv.size() - 2] = home_.out().string();
    testing::ChildProcess logger(argv, home_.Environment("UTC"));
    EXPECT_TRUE(WaitFor(logger, " opening...")) << logger.Output();
    feed(logger, content_.substr(0, half_), content_.substr(half_));
    EXPECT_TRUE(WaitShown(logger, content_)) << logger.Output();
    const auto result = logger.Stop(SIGINT);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    err_ = result.err;
    out_ = result.out;
    DayFiles files{testing::ReadWholeFile(home_.out() / "2004-08-07.plt"),
                   testing::ReadWholeFile(home_.out() / "2004-08-07.rte")};
    fs::remove_all(home_.out());
    return files;
  }

  // What the log gives from a pseudo-terminal, made once.
  const DayFiles& FromTerminal() {
    static std::optional<DayFiles> files;
    if (!files) {
      FakeReceiver receiver;
      home_.LinkPort(0, receiver.slaveName());
      files = Record({"--port", "0"}, [&](testing::ChildProcess&, const std::string& first,
                                          const std::string& rest) { receiver.Send(first + rest); });
      EXPECT_GT(files->track.size(), 1000u);
      EXPECT_GT(files->route.size(), 100u);
    }
    return *files;
  }

  // Until the status area shows the time of the last fix but one of `part`
  // (the last one is held until the next sentence).
  static bool WaitShown(testing::ChildProcess& logger, const std::string& part, int tenths = 100) {
    std::vector<std::string> times;
    for (size_t at = part.find("$GPRMC,"); at != std::string::npos; at = part.find("$GPRMC,", at + 1)) {
      times.push_back(part.substr(at + 7, 2) + ":" + part.substr(at + 9, 2) + ":" + part.substr(at + 11, 2));
    }
    return times.size() >= 2 && WaitFor(logger, "07.08.04 " + times[times.size() - 2], tenths);
  }

  // Until standard error holds `text` `count` times.
  static bool WaitForError(testing::ChildProcess& logger, const std::string& text, int count = 1) {
    for (int i = 0; i < 100; ++i) {
      logger.Pump(100);
      int found = 0;
      for (size_t at = logger.err().find(text); at != std::string::npos;
           at = logger.err().find(text, at + 1)) {
        ++found;
      }
      if (found >= count) return true;
    }
    return false;
  }

  testing::LoggerHome home_;
  std::string content_;
  size_t half_ = 0;
  std::string out_, err_;
};

// A COMn file holding the address of a server, which closes after half the
// log and comes back: the loss is reported, the next ticks reconnect.
TEST_F(NetworkRecordTest, TcpServerNamedByACOMFileThatClosesHalfWayAndComesBack) {
  const DayFiles reference = FromTerminal();
  testing::LoopbackServer server;
  const std::string address = "tcp://127.0.0.1:" + std::to_string(server.port());
  fs::create_directories(home_.ports());
  std::ofstream(home_.ports() / "COM5") << address << "\n";
  const DayFiles files = Record(
      {"--port", "5"}, [&](testing::ChildProcess& logger, const std::string& first, const std::string& rest) {
        ASSERT_TRUE(server.Accept(5000));
        ASSERT_TRUE(server.Send(first));
        ASSERT_TRUE(WaitShown(logger, first)) << logger.Output();
        server.Stop();
        ASSERT_TRUE(WaitFor(logger, "COM-port read error!\r\nCOM5 opening...\r\nCOM-port open error (6)!"))
            << logger.Output();
        ASSERT_TRUE(server.Listen());
        ASSERT_TRUE(server.Accept(5000));
        ASSERT_TRUE(server.Send(rest));
      });
  EXPECT_EQ(files.track, reference.track);
  EXPECT_EQ(files.route, reference.route);
  for (const std::string& told :
       {"reading " + address + "\n",
        "the NMEA server at 127.0.0.1:" + std::to_string(server.port()) + ": the connection was closed\n",
        std::string(": Connection refused\n"), "reading " + address + "\n"}) {
    EXPECT_NE(err_.find(told), std::string::npos) << told << " in\n" << err_;
  }
}

// A peer that accepts each connection and closes it at once is told once,
// and retried quietly: not a read error and a "back" line every second.
TEST_F(NetworkRecordTest, APeerThatClosesEachConnectionAtOnceIsToldOnce) {
  testing::LoopbackServer server;
  const std::string address = "tcp://127.0.0.1:" + std::to_string(server.port());
  testing::ChildProcess logger(
      {PATHMERE_CLI_PATH, "record", "--source", address, "--output", home_.out().string(), "--no-status"},
      home_.Environment("UTC"));
  int closed = 0;
  for (int i = 0; i < 80; ++i) {
    if (server.Accept(100)) {
      server.CloseClient();
      ++closed;
    }
    logger.Pump(0);
  }
  logger.Stop(SIGTERM);
  EXPECT_GE(closed, 4);
  const std::string& err = logger.Output();
  const auto count = [&](const std::string& text) {
    int found = 0;
    for (size_t at = err.find(text); at != std::string::npos; at = err.find(text, at + 1)) ++found;
    return found;
  };
  EXPECT_EQ(count(address + " closes each connection at once, retrying every second"), 1) << err;
  EXPECT_EQ(count("read error"), 0) << err;
  EXPECT_EQ(count("back after"), 0) << err;
  // Named as given, once, and without a line speed.
  EXPECT_EQ(count(address + " (" + address + ")"), 0) << err;
  EXPECT_EQ(count("bit/s"), 0) << err;
}

// Two senders, datagrams larger than a read, cut anywhere in a sentence.
TEST_F(NetworkRecordTest, UdpDatagramsFromTwoSenders) {
  const DayFiles reference = FromTerminal();
  const int port = testing::FreeLoopbackPort(SOCK_DGRAM);
  const std::string address = "udp://127.0.0.1:" + std::to_string(port);
  const DayFiles files = Record(
      {"--source", address},
      [&](testing::ChildProcess& logger, const std::string& first, const std::string& rest) {
        ASSERT_TRUE(WaitForError(logger, "reading " + address)) << logger.err();
        testing::LoopbackSender senders[2] = {testing::LoopbackSender(port), testing::LoopbackSender(port)};
        const std::string all = first + rest;
        for (size_t at = 0, n = 0; at < all.size(); at += 1500, ++n) {
          ASSERT_TRUE(senders[n % 2].Send(std::string_view(all).substr(at, 1500)));
          // Sent at about a receiver's pace, not faster than a tick reads.
          if (n % 4 == 3) std::this_thread::sleep_for(300ms);
        }
      });
  EXPECT_NE(out_.find(address + " opening...\r\n"), std::string::npos) << out_;
  EXPECT_EQ(files.track, reference.track);
  EXPECT_EQ(files.route, reference.route);
}

// A boat's network: every sentence a datagram (or a busy TCP stream), with
// a wind instrument's sentences between the receiver's, sent in real time at
// `linesPerSecond`. The logger must keep up: the last fix shows within 3 s of
// the last byte, and the files are those of the log from a pseudo-terminal
// (the wind sentences are not GPS sentences and give nothing).
class BusyNetworkTest : public NetworkRecordTest {
 protected:
  static constexpr int kWindPerGpsLine = 4;

  // The log's lines with the wind between them.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (size_t at = 0; at < content_.size();) {
      const size_t end = content_.find('\n', at);
      const size_t next = end == std::string::npos ? content_.size() : end + 1;
      lines.push_back(content_.substr(at, next - at));
      for (int i = 0; i < kWindPerGpsLine; ++i) {
        lines.push_back("$WIMWV," + std::to_string(lines.size() % 360) + ".0,R,12.4,N,A*00\r\n");
      }
      at = next;
    }
    return lines;
  }

  // Sends the lines in 10 ms steps, each by `send` (a datagram, or a piece of
  // a stream), then waits for the last fix.
  void SendInRealTime(testing::ChildProcess& logger, int linesPerSecond,
                      const std::function<bool(const std::string&)>& send) {
    const std::vector<std::string> lines = Lines();
    const size_t perStep = static_cast<size_t>(linesPerSecond / 100);
    auto due = std::chrono::steady_clock::now();
    for (size_t at = 0; at < lines.size(); at += perStep) {
      for (size_t i = at; i < at + perStep && i < lines.size(); ++i) ASSERT_TRUE(send(lines[i]));
      due += 10ms;
      std::this_thread::sleep_until(due);
      logger.Pump(0);
    }
    EXPECT_TRUE(WaitShown(logger, content_, 30)) << "not kept up with\n" << logger.Output();
  }
};

TEST_F(BusyNetworkTest, UdpASentenceADatagramAt500ASecond) {
  const DayFiles reference = FromTerminal();
  const int port = testing::FreeLoopbackPort(SOCK_DGRAM);
  const std::string address = "udp://127.0.0.1:" + std::to_string(port);
  const DayFiles files = Record({"--source", address},
                                [&](testing::ChildProcess& logger, const std::string&, const std::string&) {
                                  ASSERT_TRUE(WaitForError(logger, "reading " + address)) << logger.err();
                                  testing::LoopbackSender gps(port), wind(port);
                                  SendInRealTime(logger, 500, [&](const std::string& line) {
                                    return (line.rfind("$GP", 0) == 0 ? gps : wind).Send(line);
                                  });
                                });
  EXPECT_EQ(files.track, reference.track);
  EXPECT_EQ(files.route, reference.route);
  for (const char* told : {"falling behind", "dropped"})
    EXPECT_EQ(err_.find(told), std::string::npos) << err_;
}

TEST_F(BusyNetworkTest, TcpStreamAt20KBASecond) {
  const DayFiles reference = FromTerminal();
  testing::LoopbackServer server;
  const std::string address = "tcp://127.0.0.1:" + std::to_string(server.port());
  const DayFiles files = Record(
      {"--source", address}, [&](testing::ChildProcess& logger, const std::string&, const std::string&) {
        ASSERT_TRUE(server.Accept(5000));
        // The lines average 32 bytes: 640 a second is 20 KB.
        SendInRealTime(logger, 640, [&](const std::string& line) { return server.Send(line); });
      });
  EXPECT_EQ(files.track, reference.track);
  EXPECT_EQ(files.route, reference.route);
  EXPECT_EQ(err_.find("falling behind"), std::string::npos) << err_;
}

// gpsd passing on a receiver's 20 KB a second from a pseudo-terminal.
TEST_F(BusyNetworkTest, GpsdAt20KBASecond) {
  if (testing::GpsdOnTerminal::SkipWithoutGpsd()) GTEST_SKIP() << "gpsd is not installed (apt install gpsd)";
  const DayFiles reference = FromTerminal();
  testing::GpsdOnTerminal gpsd;
  ASSERT_TRUE(gpsd.Start()) << gpsd.log();
  const std::string address = "gpsd://127.0.0.1:" + std::to_string(gpsd.port());
  const DayFiles files = Record({"--source", address},
                                [&](testing::ChildProcess& logger, const std::string&, const std::string&) {
                                  ASSERT_TRUE(WaitForError(logger, "reading " + address)) << logger.err();
                                  std::this_thread::sleep_for(500ms);  // gpsd takes the watch request
                                  SendInRealTime(logger, 640, [&](const std::string& line) {
                                    gpsd.receiver().Send(line);
                                    return true;
                                  });
                                });
  EXPECT_EQ(files.track, reference.track);
  EXPECT_EQ(files.route, reference.route);
  EXPECT_EQ(err_.find("falling behind"), std::string::npos) << err_;
  gpsd.Stop();
}

// A real gpsd reading the log from a pseudo-terminal; it is stopped after
// half the log and started again, and the logger records on by itself.
TEST_F(NetworkRecordTest, GpsdThatIsRestartedHalfWay) {
  if (testing::GpsdOnTerminal::SkipWithoutGpsd()) GTEST_SKIP() << "gpsd is not installed (apt install gpsd)";
  const DayFiles reference = FromTerminal();
  testing::GpsdOnTerminal gpsd;
  ASSERT_TRUE(gpsd.Start()) << gpsd.log();
  const std::string address = "gpsd://127.0.0.1:" + std::to_string(gpsd.port());
  const DayFiles files =
      Record({"--source", address},
             [&](testing::ChildProcess& logger, const std::string& first, const std::string& rest) {
               ASSERT_TRUE(WaitForError(logger, "reading " + address)) << logger.err();
               std::this_thread::sleep_for(500ms);  // gpsd takes the watch request
               gpsd.receiver().Send(first);
               ASSERT_TRUE(WaitShown(logger, first)) << logger.Output();
               gpsd.Stop();
               ASSERT_TRUE(WaitFor(logger, "COM-port open error (6)!")) << logger.Output();
               ASSERT_TRUE(gpsd.Start()) << gpsd.log();
               ASSERT_TRUE(WaitForError(logger, "reading " + address, 2)) << logger.err();
               std::this_thread::sleep_for(500ms);
               gpsd.receiver().Send(rest);
             });
  EXPECT_EQ(files.track, reference.track);
  EXPECT_EQ(files.route, reference.route);
  EXPECT_NE(err_.find("gpsd at 127.0.0.1:" + std::to_string(gpsd.port()) + ": the connection was closed"),
            std::string::npos)
      << err_;
  gpsd.Stop();
}

}  // namespace
}  // namespace pathmere
