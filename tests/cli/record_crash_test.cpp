// The headless logger killed with SIGKILL at random moments while a
// pseudo-terminal feeds it a real flight log as fast as it reads. After every
// kill each day file must hold whole lines only, a file with points must start
// with its one header, and the next start must go on with the route numbering
// and the track where the files left off.
//
// Six lanes run side by side, each with its own home, output folder and
// terminal, so that two hundred kills fit into about a minute and a half
// although the logger ticks only once a second. The seed is printed with every
// failure; PATHMERE_CRASH_SEED=<seed> repeats its plan (the timing of the
// machine can still differ).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/day_file_headers.h"
#include "support/fake_receiver.h"
#include "support/gpsbabel_readback.h"
#include "support/gpx_checks.h"
#include "support/logger_home.h"
#include "support/nmea_builder.h"
#include "support/test_environment.h"

extern char** environ;

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

constexpr int kLanes = 6;
constexpr int kRunsPerLane = 34;  // 204 kills in all
// A run whose port never opens is killed after this long anyway.
constexpr int kLongestRunMs = 7000;

// ---------------------------------------------------------------------------
// What the fake receiver sends: the valid fixes of a recorded flight (about
// 100 knots, so every fix is a track point and turns make route points), RMC
// then GGA, over and over with times one second apart that keep moving
// forward, dates included. Each lane starts in the evening, so its stream
// passes midnight and the day changes while the logger runs.

struct FixSentences {
  std::vector<std::string> rmc;  // fields without "$" and checksum
  std::vector<std::string> gga;
};

std::vector<std::string> SplitFields(std::string_view sentence) {
  const size_t star = sentence.find('*');
  std::string_view body =
      sentence.substr(1, star == std::string_view::npos ? std::string_view::npos : star - 1);
  std::vector<std::string> fields;
  for (size_t start = 0;;) {
    const size_t comma = body.find(',', start);
    fields.emplace_back(body.substr(start, comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

std::string JoinFields(const std::vector<std::string>& fields) {
  std::string body;
  for (size_t i = 0; i < fields.size(); ++i) body += (i == 0 ? "" : ",") + fields[i];
  return body;
}

std::vector<FixSentences> LoadValidFixes(const fs::path& log) {
  std::vector<FixSentences> fixes;
  std::istringstream in(testing::ReadWholeFile(log));
  std::vector<std::string> rmc;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("$GPRMC,", 0) == 0) {
      rmc = SplitFields(line);
      if (rmc.size() < 10 || rmc[2] != "A") rmc.clear();
    } else if (line.rfind("$GPGGA,", 0) == 0 && !rmc.empty()) {
      std::vector<std::string> gga = SplitFields(line);
      if (gga.size() > 2 && gga[1] == rmc[1]) fixes.push_back({rmc, gga});
      rmc.clear();
    }
  }
  return fixes;
}

class ForwardStream {
 public:
  ForwardStream(const std::vector<FixSentences>& fixes, time_t start) : fixes_(fixes), next_(start) {}

  // The next fix: its RMC and GGA lines, each ended by CR LF.
  std::string NextFix() {
    FixSentences fix = fixes_[index_];
    index_ = (index_ + 1) % fixes_.size();
    tm utc{};
    gmtime_r(&next_, &utc);
    ++next_;
    char time[32];
    char date[32];
    std::snprintf(time, sizeof time, "%02d%02d%02d", utc.tm_hour, utc.tm_min, utc.tm_sec);
    std::snprintf(date, sizeof date, "%02d%02d%02d", utc.tm_mday, utc.tm_mon + 1, utc.tm_year % 100);
    fix.rmc[1] = time;
    fix.rmc[9] = date;
    fix.gga[1] = time;
    return testing::WithChecksum(JoinFields(fix.rmc)) + "\r\n" + testing::WithChecksum(JoinFields(fix.gga)) +
           "\r\n";
  }

 private:
  const std::vector<FixSentences>& fixes_;
  size_t index_ = 0;
  time_t next_;
};

std::string Tail(const std::string& text, size_t bytes = 600) {
  return text.size() <= bytes ? text : "..." + text.substr(text.size() - bytes);
}

// ---------------------------------------------------------------------------
// The day files as a user's tools would read them. Each check is given what
// earlier checks of the same file saw, so the files are read whole but only
// new lines are parsed, and numbering is followed from one run to the next.

struct DayFileState {
  std::string seen;      // content that passed earlier checks
  bool endsCut = false;  // `seen` ends in a line a kill cut at a page boundary
  int lines = 0;         // point lines in it
  double lastDayNumber = -1.0;
  int lastPoint = 0;  // route
  std::string lastName;
  int64_t lastRmcSecond = -1;  // NMEA log
};

// Each point line is parsed and printed again with the writer's format; a
// line that does not come back byte for byte is damaged.
std::string CheckTrackLine(const std::string& line, DayFileState* state) {
  double lat = 0, lon = 0, alt = 0, dayNumber = 0;
  int d = 0, mo = 0, y = 0, h = 0, mi = 0, s = 0;
  char again[256];
  if (line.find(",0, -777,") != std::string::npos) {
    if (std::sscanf(line.c_str(), "%lf, %lf,0, -777,%lf, %d.%d.%d, %d:%d:%d", &lat, &lon, &dayNumber, &d, &mo,
                    &y, &h, &mi, &s) != 9) {
      return "not a track point";
    }
    std::snprintf(again, sizeof again, "%.8f, %.8f,0, -777,%.8f, %02d.%02d.%02d, %02d:%02d:%02d\r\n", lat,
                  lon, dayNumber, d, mo, y, h, mi, s);
  } else {
    if (std::sscanf(line.c_str(), "%lf, %lf,0, %lf, %lf, %d.%d.%d, %d:%d:%d", &lat, &lon, &alt, &dayNumber,
                    &d, &mo, &y, &h, &mi, &s) != 10) {
      return "not a track point";
    }
    std::snprintf(again, sizeof again, "%.8f, %.8f,0, %.2f, %.8f, %02d.%02d.%02d, %02d:%02d:%02d\r\n", lat,
                  lon, alt, dayNumber, d, mo, y, h, mi, s);
  }
  if (line != again) return "damaged track point";
  // Every fix of the stream is later than the one before, across runs too.
  if (dayNumber <= state->lastDayNumber) return "track goes back in time";
  state->lastDayNumber = dayNumber;
  return "";
}

std::string CheckRouteLine(const std::string& line, DayFileState* state) {
  int point = 0, again2 = 0, nameNumber = 0;
  char first = 0, second = 0;
  double lat = 0, lon = 0, dayNumber = 0;
  if (std::sscanf(line.c_str(), "W,1,%d,%d,R%c%c%3d,%lf,%lf,%lf,", &point, &again2, &first, &second,
                  &nameNumber, &lat, &lon, &dayNumber) != 8) {
    return "not a route point";
  }
  char again[256];
  std::snprintf(again, sizeof again, "W,1,%3d,%3d,R%c%c%03d,%.8f,%.8f,%.8f,0,1,3,0,65535,,0,0, \r\n", point,
                point, first, second, nameNumber, lat, lon, dayNumber);
  if (line != again) return "damaged route point";
  const std::string name = line.substr(line.find(",R") + 1, 6);
  if (state->lastPoint == 0) {
    if (point != 1 || nameNumber != 1) return "route does not start at point 1 / name 001";
  } else {
    if (point != state->lastPoint + 1) {
      return "route point " + std::to_string(point) + " after " + std::to_string(state->lastPoint);
    }
    const int lastNumber = std::atoi(state->lastName.c_str() + 3);
    const char lastSecond = state->lastName[2];
    const bool wraps = lastNumber == 999;
    const char expectSecond =
        wraps ? (lastSecond >= 'Z' ? 'A' : static_cast<char>(lastSecond + 1)) : lastSecond;
    if (first != state->lastName[1] || second != expectSecond || nameNumber != (wraps ? 0 : lastNumber + 1)) {
      return "route point name " + name + " after " + state->lastName;
    }
  }
  if (dayNumber <= state->lastDayNumber) return "route goes back in time";
  state->lastPoint = point;
  state->lastName = name;
  state->lastDayNumber = dayNumber;
  return "";
}

std::string CheckWaypointLine(const std::string& line, int year, int month, int day) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  double lat = 0, lon = 0, dayNumber = 0, alt = 0;
  if (std::sscanf(line.c_str(),
                  "-1,W%2d%2d%2d-%2d%2d%2d,%lf,%lf,%lf,0,1,3,0,65535,Created_by_Pathmere,0,0,0.00000,", &y,
                  &mo, &d, &h, &mi, &s, &lat, &lon, &dayNumber) != 9) {
    return "not a waypoint";
  }
  char again[256];
  const bool unknownAltitude = line.find(",-777 \r\n") != std::string::npos;
  if (!unknownAltitude) std::sscanf(line.c_str() + line.rfind(',') + 1, "%lf", &alt);
  const int length =
      std::snprintf(again, sizeof again,
                    "-1,W%02d%02d%02d-%02d%02d%02d,%.8f,%.8f,%.8f,0,1,3,0,65535,Created_by_Pathmere,"
                    "0,0,0.00000,",
                    y, mo, d, h, mi, s, lat, lon, dayNumber);
  if (unknownAltitude) {
    std::snprintf(again + length, sizeof again - static_cast<size_t>(length), "-777 \r\n");
  } else {
    std::snprintf(again + length, sizeof again - static_cast<size_t>(length), "%.2f \r\n", alt);
  }
  if (line != again) return "damaged waypoint";
  if (y != year % 100 || mo != month || d != day) return "waypoint of another day";
  return "";
}

std::string CheckNmeaLine(const std::string& line, DayFileState* state) {
  const bool rmc = line.rfind("$GPRMC,", 0) == 0;
  if (!rmc && line.rfind("$GPGGA,", 0) != 0) return "not an RMC or GGA sentence";
  if (line.size() < 12 || line[line.size() - 5] != '*') return "sentence without checksum";
  const size_t star = line.size() - 5;  // "*hh\r\n"
  if (testing::WithChecksum(line.substr(1, star - 1)) + "\r\n" != line)
    return "sentence with a wrong checksum";
  if (rmc) {
    const std::vector<std::string> fields = SplitFields(line.substr(0, star));
    if (fields.size() < 10 || fields[1].size() < 6 || fields[9].size() != 6)
      return "RMC without time and date";
    tm utc{};
    if (std::sscanf(fields[1].c_str(), "%2d%2d%2d", &utc.tm_hour, &utc.tm_min, &utc.tm_sec) != 3 ||
        std::sscanf(fields[9].c_str(), "%2d%2d%2d", &utc.tm_mday, &utc.tm_mon, &utc.tm_year) != 3) {
      return "RMC without time and date";
    }
    utc.tm_mon -= 1;
    utc.tm_year += 100;
    const int64_t second = timegm(&utc);
    if (second <= state->lastRmcSecond) return "NMEA log goes back in time";
    state->lastRmcSecond = second;
  }
  return "";
}

// Returns what is wrong with the file, or an empty text.
std::string CheckDayFile(const std::string& name, const std::string& content, DayFileState* state) {
  int year = 0, month = 0, day = 0;
  char extension[8] = {};
  if (std::sscanf(name.c_str(), "%4d-%2d-%2d.%7s", &year, &month, &day, extension) != 4)
    return "unexpected file";
  const std::string kind = extension;
  std::string header;
  if (kind == "plt") {
    header = testing::TrackHeader(year, month, day);
  } else if (kind == "rte") {
    header = testing::RouteHeader(year, month, day);
  } else if (kind == "wpt") {
    header = testing::kWaypointHeader;
  } else if (kind != "nmea") {
    return "unexpected file";
  }

  if (content.compare(0, state->seen.size(), state->seen) != 0) return "earlier content was changed";
  if (content.empty()) return "";
  size_t position = state->seen.size();
  if (state->endsCut && content.size() > position) {
    // The next start ends the cut line before it appends.
    if (content.compare(position, 2, "\r\n") != 0) return "a cut line was not ended before new lines";
    position += 2;
    state->endsCut = false;
  }
  // Linux may end one write() early where SIGKILL arrives between the pages
  // it copies, so a kill can cut a line there, as a power cut can; anywhere
  // else a cut means the program wrote a line in pieces.
  size_t checkedEnd = content.size();
  if (content.size() < 2 || content.compare(content.size() - 2, 2, "\r\n") != 0) {
    const size_t lastLineEnd = content.rfind("\r\n");
    if (content.size() % 4096 != 0 || lastLineEnd == std::string::npos || lastLineEnd + 2 < position) {
      return "ends in a partial line: ..." + Tail(content, 120);
    }
    checkedEnd = lastLineEnd + 2;
  }
  if (position == 0 && !header.empty()) {
    if (content.compare(0, header.size(), header) != 0) return "does not start with its header";
    position = header.size();
  }
  for (int lineNumber = 1; position < checkedEnd; ++lineNumber) {
    const size_t end = content.find("\r\n", position) + 2;
    const std::string line = content.substr(position, end - position);
    std::string problem;
    if (line.find("OziExplorer") != std::string::npos) {
      problem = "a second header";
    } else if (kind == "plt") {
      problem = CheckTrackLine(line, state);
    } else if (kind == "rte") {
      problem = CheckRouteLine(line, state);
    } else if (kind == "wpt") {
      problem = CheckWaypointLine(line, year, month, day);
    } else {
      problem = CheckNmeaLine(line, state);
    }
    if (!problem.empty()) {
      return problem + " in new line " + std::to_string(lineNumber) + " at byte " + std::to_string(position) +
             ": " + line;
    }
    ++state->lines;
    position = end;
  }
  state->seen = content;
  state->endsCut = checkedEnd != content.size();
  return "";
}

// ---------------------------------------------------------------------------
// One lane: one home and output folder, restarted again and again.

enum class KillMoment {
  kStartUp,      // before or around the first ticks: settings, socket, folder
  kCaptureTick,  // just after a capture tick began: reads, flushes, headers
  kAnyTime,      // anywhere in the first seconds of capture
};

struct RunPlan {
  KillMoment moment = KillMoment::kAnyTime;
  int afterSpawnMs = 0;          // kStartUp, kAnyTime
  int tick = 0;                  // kCaptureTick: 0 = the first capture tick
  int afterTickMs = 0;           // kCaptureTick
  int waypointAfterOpenMs = -1;  // a second start asks for a waypoint (and a flush)
};

struct LaneReport {
  std::vector<std::string> failures;
  int kills = 0;
  int killsByMoment[3] = {};
  int portOpened = 0;
  int routeContinued = 0;
  int waypointsSaved = 0;
  int trackPoints = 0;
  int routePoints = 0;
  int nmeaLines = 0;
  int dayFiles = 0;
};

class Lane {
 public:
  Lane(int index, uint64_t seed, const std::vector<FixSentences>& fixes)
      : index_(index), seed_(seed), random_(seed), stream_(fixes, StartOf(index)) {}

  std::filesystem::path out() const { return home_.out(); }

  LaneReport Run(int runs) {
    // An exception must not leave a lane's thread.
    try {
      for (int run = 0; run < runs && report_.failures.empty(); ++run) RunOnce(run);
    } catch (const std::exception& e) {
      report_.failures.push_back("lane " + std::to_string(index_) + ": " + e.what());
    }
    for (const auto& [name, state] : files_) {
      ++report_.dayFiles;
      if (name.ends_with(".plt")) report_.trackPoints += state.lines;
      if (name.ends_with(".rte")) report_.routePoints += state.lines;
      if (name.ends_with(".nmea")) report_.nmeaLines += state.lines;
    }
    return std::move(report_);
  }

 private:
  // 31 March 2017 (the log's own date), from 21:00 UTC on, a little later
  // for each lane.
  static time_t StartOf(int lane) {
    tm utc{};
    utc.tm_year = 117;
    utc.tm_mon = 2;
    utc.tm_mday = 31;
    utc.tm_hour = 21;
    utc.tm_min = 17 * lane;
    return timegm(&utc);
  }

  int Uniform(int from, int to) { return std::uniform_int_distribution<int>(from, to - 1)(random_); }

  RunPlan Plan() {
    RunPlan plan;
    const int pick = Uniform(0, 100);
    if (pick < 20) {
      plan.moment = KillMoment::kStartUp;
      plan.afterSpawnMs = Uniform(0, 1500);
    } else if (pick < 75) {
      plan.moment = KillMoment::kCaptureTick;
      plan.tick = Uniform(0, 2);
      // The flushes of a tick come within its first milliseconds; the wider
      // window also takes in slow (sanitizer) builds.
      plan.afterTickMs = Uniform(0, 2) == 0 ? Uniform(0, 8) : Uniform(0, 60);
    } else {
      plan.moment = KillMoment::kAnyTime;
      plan.afterSpawnMs = Uniform(1500, 4500);
    }
    // A waypoint from a second start, within the first capture second: the
    // next tick flushes every writer and the waypoint goes to its file, and
    // the kill comes just after that tick began or a second later.
    if (Uniform(0, 4) == 0) {
      plan.waypointAfterOpenMs = Uniform(50, 950);
      plan.moment = KillMoment::kCaptureTick;
      plan.tick = Uniform(1, 3);
      plan.afterTickMs = Uniform(0, 60);
    }
    return plan;
  }

  void Fail(int run, const RunPlan& plan, const std::string& what) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "lane %d run %d (seed %" PRIu64 ", moment %d, spawn+%d ms, tick %d+%d ms): ", index_, run,
                  seed_, static_cast<int>(plan.moment), plan.afterSpawnMs, plan.tick, plan.afterTickMs);
    report_.failures.push_back(text + what);
  }

  // Keeps the terminal's queue full: the logger reads up to 10 KiB a tick.
  void TopUp(testing::FakeReceiver* receiver) {
    for (;;) {
      if (unsent_.empty()) unsent_ = stream_.NextFix();
      const size_t taken = receiver->Offer(unsent_);
      unsent_.erase(0, taken);
      if (!unsent_.empty()) return;
    }
  }

  void RunOnce(int run) {
    const RunPlan plan = Plan();
    testing::FakeReceiver receiver;
    if (!receiver.HoldRawSlave()) return Fail(run, plan, "no pseudo-terminal");
    home_.LinkPort(0, receiver.slaveName());
    const std::vector<std::string> env = home_.Environment("UTC");
    // A third of the lanes writes every ten seconds, a third every second,
    // so that kills also meet the short intervals and their syncs.
    const char* flushEvery[] = {"0", "10", "1"};
    testing::ChildProcess logger(
        {PATHMERE_CLI_PATH, "record", "--port", "0", "--output", home_.out().string(), "--nmea-log",
         "--status", "--flush-every", flushEvery[index_ % 3]},
        env);
    if (!logger.started()) return Fail(run, plan, "pathmere-cli did not start");
    const auto spawned = Clock::now();
    auto killAt = spawned + Ms(plan.moment == KillMoment::kCaptureTick ? kLongestRunMs : plan.afterSpawnMs);
    std::unique_ptr<testing::ChildProcess> marker;
    bool opened = false;
    auto openedAt = spawned;
    for (;;) {
      TopUp(&receiver);
      const auto now = Clock::now();
      if (now >= killAt || !logger.running()) break;
      const auto left = std::chrono::duration_cast<Ms>(killAt - now).count();
      logger.Pump(static_cast<int>(std::clamp<int64_t>(left, 0, 2)));
      // The status area says so at the start of the first capture tick;
      // ticks follow a second apart.
      if (!opened && logger.out().find("COM0 opening...") != std::string::npos) {
        opened = true;
        openedAt = Clock::now();
        if (plan.moment == KillMoment::kCaptureTick) {
          killAt = openedAt + Ms(1000 * plan.tick + plan.afterTickMs);
        }
      }
      if (opened && !marker && plan.waypointAfterOpenMs >= 0 &&
          Clock::now() >= openedAt + Ms(plan.waypointAfterOpenMs)) {
        marker = std::make_unique<testing::ChildProcess>(std::vector<std::string>{PATHMERE_CLI_PATH, "/wpth"},
                                                         env);
      }
    }
    const bool endedByItself = !logger.running();
    logger.Kill();
    if (marker) marker->Reap(3000);

    ++report_.kills;
    ++report_.killsByMoment[static_cast<int>(plan.moment)];
    if (opened) ++report_.portOpened;
    for (size_t at = 0; (at = logger.out().find("Route continued...", at)) != std::string::npos; ++at) {
      ++report_.routeContinued;
    }
    for (size_t at = 0; (at = logger.out().find("Waypoint saved.", at)) != std::string::npos; ++at) {
      ++report_.waypointsSaved;
    }
    if (endedByItself || !WIFSIGNALED(logger.status()) || WTERMSIG(logger.status()) != SIGKILL) {
      return Fail(run, plan,
                  "the logger ended by itself (status " + std::to_string(logger.status()) +
                      "): " + Tail(logger.err()) + " | " + Tail(logger.out()));
    }
    for (const char* report : {"AddressSanitizer", "LeakSanitizer", "runtime error"}) {
      if (logger.err().find(report) != std::string::npos) return Fail(run, plan, Tail(logger.err(), 4000));
    }
    CheckFolder(run, plan);
  }

  void CheckFolder(int run, const RunPlan& plan) {
    std::error_code error;
    if (!fs::exists(home_.out(), error)) return;
    for (const auto& entry : fs::directory_iterator(home_.out(), error)) {
      const std::string name = entry.path().filename().string();
      // A kill in a waypoint's rewrite leaves its temporary file; the next start removes it.
      if (name.ends_with(".gpx.tmp")) continue;
      const std::string content = testing::ReadWholeFile(entry.path());
      const std::string problem =
          name.ends_with(".gpx")
              ? testing::CheckKilledGpx(
                    content, testing::ReadWholeFile(fs::path(entry.path()).replace_extension(".plt")))
              : CheckDayFile(name, content, &files_[name]);
      if (!problem.empty()) return Fail(run, plan, name + ": " + problem);
    }
  }

  int index_;
  uint64_t seed_;
  std::mt19937_64 random_;
  ForwardStream stream_;
  std::string unsent_;
  testing::LoggerHome home_;
  std::map<std::string, DayFileState> files_;
  LaneReport report_;
};

uint64_t ChooseSeed() {
  if (const char* text = std::getenv("PATHMERE_CRASH_SEED")) return std::strtoull(text, nullptr, 10);
  return std::random_device{}();
}

TEST(RecordCrashTest, KilledAtRandomMomentsLeavesWholeLinesAndTheNextRunContinues) {
  const fs::path log = testing::RecordedLogFolder() / "aerorust-aircraft-glonass.nmea";
  if (!fs::exists(log)) GTEST_SKIP() << "recorded logs not found";
  const std::vector<FixSentences> fixes = LoadValidFixes(log);
  ASSERT_GT(fixes.size(), 900u);

  const uint64_t seed = ChooseSeed();
  ::testing::Test::RecordProperty("seed", std::to_string(seed));
  const auto started = Clock::now();
  std::vector<LaneReport> reports(kLanes);
  std::vector<std::unique_ptr<Lane>> lanes(kLanes);
  std::vector<std::thread> threads;
  for (int i = 0; i < kLanes; ++i) {
    threads.emplace_back([&, i] {
      try {
        lanes[i] = std::make_unique<Lane>(i, seed + static_cast<uint64_t>(i), fixes);
        reports[i] = lanes[i]->Run(kRunsPerLane);
      } catch (const std::exception& e) {
        reports[i].failures.push_back(std::string("lane set-up: ") + e.what());
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  const auto seconds = std::chrono::duration_cast<Ms>(Clock::now() - started).count() / 1000.0;

  LaneReport total;
  for (const LaneReport& r : reports) {
    for (const std::string& failure : r.failures) ADD_FAILURE() << failure;
    total.kills += r.kills;
    for (int m = 0; m < 3; ++m) total.killsByMoment[m] += r.killsByMoment[m];
    total.portOpened += r.portOpened;
    total.routeContinued += r.routeContinued;
    total.waypointsSaved += r.waypointsSaved;
    total.trackPoints += r.trackPoints;
    total.routePoints += r.routePoints;
    total.nmeaLines += r.nmeaLines;
    total.dayFiles += r.dayFiles;
  }
  std::printf(
      "seed %" PRIu64
      ": %d kills (start-up %d, capture tick %d, any time %d) in %.1f s; port opened in %d "
      "runs, route continued %d times, %d waypoints; files hold %d track points, %d route points, %d NMEA "
      "lines in %d day files\n",
      seed, total.kills, total.killsByMoment[0], total.killsByMoment[1], total.killsByMoment[2], seconds,
      total.portOpened, total.routeContinued, total.waypointsSaved, total.trackPoints, total.routePoints,
      total.nmeaLines, total.dayFiles);
  if (::testing::Test::HasFailure()) return;
  // What survived the kills is what map programs read.
  for (const auto& lane : lanes) {
    const int checked = testing::ExpectGpsBabelReadsBack(lane->out());
    if (testing::GpsBabelFound()) {
      EXPECT_GE(checked, 3) << lane->out();
    }
    // The GPX files, mended as a start would, are valid documents.
    EXPECT_EQ(testing::RunCommand({PATHMERE_CLI_PATH, "gpx", "--mend", lane->out().string()}).exitStatus, 0);
    int gpxFiles = 0;
    for (const auto& entry : fs::directory_iterator(lane->out())) {
      std::string problem;
      if (entry.path().extension() == ".gpx") {
        EXPECT_TRUE(testing::GpxIsValid(entry.path(), &problem)) << problem;
        ++gpxFiles;
      }
    }
    EXPECT_GE(gpxFiles, 1) << lane->out();
  }
  EXPECT_EQ(total.kills, kLanes * kRunsPerLane);
  // The kills must have met a logger at work, not only starting up.
  EXPECT_GT(total.portOpened, total.kills / 2);
  EXPECT_GT(total.routeContinued, total.kills / 4);
  EXPECT_GT(total.trackPoints, 2 * total.kills);
}

}  // namespace
}  // namespace pathmere
