// pathmere-disk-writes: what each "Write to disk every" choice costs a flash
// card. Feeds a recorded or generated 1 Hz log through the whole program as
// live capture, one second of sentences per tick on a clock that moves a
// second per tick, and counts the opens, writes and syncs that reach the
// real file system (in a temporary folder), per hour of driving.
//
//   pathmere-disk-writes FILE [--hours N]
//
// FILE is 1 Hz receiver output, e.g. from pathmere-nmea-gen; N hours of it
// are used (default 4, or as many as it holds).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/program.h"
#include "support/counting_file_system.h"

namespace {

namespace fs = std::filesystem;
using pathmere::testing::CountingFileSystem;

class StillClock final : public pathmere::TickClock {
 public:
  uint32_t NowMs() override { return now; }
  uint32_t now = 1000;
};

class NoPort final : public pathmere::SerialPort {
 public:
  int32_t OpenPort(int32_t, int32_t) override { return 1; }
  int32_t ReadPort(uint8_t*, int32_t) override { return -1; }
  void ClosePort() override {}
};

// The log cut into seconds: each ends with its RMC sentence's line.
std::vector<std::string> Seconds(const std::string& log) {
  std::vector<std::string> seconds;
  std::string current;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    current += line + "\n";
    if (line.rfind("$GPRMC,", 0) == 0) {
      seconds.push_back(std::move(current));
      current.clear();
    }
  }
  return seconds;
}

struct Run {
  CountingFileSystem::Counts counts;
  long seconds = 0;
};

Run Measure(const std::vector<std::string>& seconds, int32_t flushSeconds, bool nmeaLog) {
  char pattern[] = "/tmp/pathmere-disk-writes-XXXXXX";
  const fs::path root = mkdtemp(pattern);
  Run run;
  {
    CountingFileSystem files(root.string());
    StillClock clock;
    NoPort port;
    pathmere::TickHost host;
    pathmere::Program program(files, clock, port, host);
    program.SetOutputFolder(L"\\Pathmere");
    program.SetNmeaLog(nmeaLog);
    program.SetFlushSeconds(flushSeconds);
    program.Start();
    program.Tick();
    for (const std::string& second : seconds) {
      clock.now += 1000;
      program.FeedReceiverBytes(reinterpret_cast<const uint8_t*>(second.data()),
                                static_cast<int32_t>(second.size()));
      program.Tick();
    }
    // Not the shut-down: an hour of a longer drive ends with nothing special.
    run.counts = files.counts;
    run.seconds = static_cast<long>(seconds.size());
  }
  fs::remove_all(root);
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: pathmere-disk-writes FILE [--hours N]\n");
    return 2;
  }
  long hours = 4;
  if (argc >= 4 && std::strcmp(argv[2], "--hours") == 0) hours = std::strtol(argv[3], nullptr, 10);
  std::ifstream in(argv[1], std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  std::vector<std::string> seconds = Seconds(content.str());
  if (seconds.size() > static_cast<size_t>(hours) * 3600) seconds.resize(static_cast<size_t>(hours) * 3600);
  if (seconds.empty()) {
    std::fprintf(stderr, "pathmere-disk-writes: no RMC sentences in %s\n", argv[1]);
    return 1;
  }
  const double perHour = 3600.0 / static_cast<double>(seconds.size());
  std::printf("%ld s of 1 Hz data; per hour of it:\n", static_cast<long>(seconds.size()));
  std::printf(
      "| Write to disk every | NMEA log | opens | writes | data syncs | folder syncs | KiB written |\n");
  std::printf("|---|---|---|---|---|---|---|\n");
  const struct {
    const char* caption;
    int32_t seconds;
  } choices[] = {{"5 minutes (default)", 0}, {"1 minute", 60}, {"10 seconds", 10}};
  for (const auto& choice : choices) {
    for (const bool nmeaLog : {false, true}) {
      const Run run = Measure(seconds, choice.seconds, nmeaLog);
      std::printf("| %s | %s | %.0f | %.0f | %.0f | %.0f | %.0f |\n", choice.caption, nmeaLog ? "on" : "off",
                  run.counts.opens * perHour, run.counts.writes * perHour, run.counts.dataSyncs * perHour,
                  run.counts.folderSyncs * perHour, run.counts.bytes * perHour / 1024.0);
    }
  }
  return 0;
}
