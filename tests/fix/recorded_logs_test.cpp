#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "fix/sentence_processor.h"
#include "support/recording_panel.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

// Counts what fix processing does with a whole recorded log.
struct CountingOutputs : FixOutputs {
  void AddTrackPoint(const GpsFix&) override { ++trackPoints; }
  void SelectRoutePoint(const GpsFix&) override { ++accepted; }
  void SaveWaypoint(const GpsFix&) override {}
  void AddNmeaSentence(const GpsFix&, const char*, int) override { ++logged; }
  int trackPoints = 0;
  int accepted = 0;
  int logged = 0;
};

struct LogCounts {
  int accepted;
  int dropped;
  int trackPoints;
  int logged;  // sentences handed to the NMEA log (RMC and GGA that decoded)
};

// Per log: accepted and dropped fixes, track points, logged sentences.
// Checked against each log's profile: accepted + dropped is the number of
// RMC fixes with status A, less the last one when the log ends on it (it is
// never evaluated). The first fix of every log is dropped for its jump from
// 0/0; the logs with many drops are those with HDOP above 3 (haicom305n,
// garmin-gps15h, navibe) or joined captures that jump. The no-fix and
// other-talker logs accept nothing.
const std::map<std::string, LogCounts> kExpected = {
#include "recorded_logs_expected.inc"
};

TEST(RecordedLogsTest, EverySentenceOfEveryLogGetsADefinedResult) {
  const auto logs = testing::RecordedLogs();
  if (logs.empty()) GTEST_SKIP() << "recorded logs not found";
  std::ostringstream actualTable;
  for (const auto& path : logs) {
    testing::RecordingPanel panel;
    MessageLog log;
    log.AttachPanel(&panel);
    SharedFlags flags;
    ReplayState capture;
    Settings settings;
    settings.enableNmeaLog = 1;
    CountingOutputs outputs;
    SentenceProcessor processor(flags, capture, settings, log, outputs);
    std::istringstream content(testing::ReadWholeFile(path));
    int dropped = 0;
    for (std::string line; std::getline(content, line);) {
      if (line.rfind("$GP", 0) != 0) continue;
      while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
      const int32_t dropsBefore = processor.state.dropCount;
      processor.ProcessSentence(line.c_str());
      if (processor.state.dropCount > dropsBefore) ++dropped;
      ASSERT_LT(panel.TextLength(kStatusArea), 300u);
    }
    const std::string name = path.filename().string();
    actualTable << "    {\"" << name << "\", {" << outputs.accepted << ", " << dropped << ", "
                << outputs.trackPoints << ", " << outputs.logged << "}},\n";
    auto expected = kExpected.find(name);
    if (expected == kExpected.end()) {
      ADD_FAILURE() << "no expectation for " << name;
      continue;
    }
    EXPECT_EQ(outputs.accepted, expected->second.accepted) << name;
    EXPECT_EQ(dropped, expected->second.dropped) << name;
    EXPECT_EQ(outputs.trackPoints, expected->second.trackPoints) << name;
    EXPECT_EQ(outputs.logged, expected->second.logged) << name;
  }
  if (HasFailure()) std::cout << "Counts seen:\n" << actualTable.str();
}

}  // namespace
}  // namespace pathmere
