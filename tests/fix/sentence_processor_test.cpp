#include "fix/sentence_processor.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/nmea_builder.h"
#include "support/recording_panel.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

using testing::Gga;
using testing::Rmc;
using testing::RmcFields;
using testing::WithChecksum;
using testing::WithTalker;

// Records the calls fix processing makes, in order.
class RecordingOutputs : public FixOutputs {
 public:
  void AddTrackPoint(const GpsFix& fix) override {
    calls.push_back("track");
    trackTimes.push_back(fix.timeOfDay);
  }
  void SelectRoutePoint(const GpsFix&) override { calls.push_back("route"); }
  void SaveWaypoint(const GpsFix&) override { calls.push_back("waypoint"); }
  void AddNmeaSentence(const GpsFix& fix, const char* sentence, int dated) override {
    calls.push_back("nmea" + std::to_string(dated) + " " + sentence);
    loggedTimes.push_back(fix.timeOfDay);
  }
  std::vector<std::string> calls;
  std::vector<double> trackTimes;
  std::vector<double> loggedTimes;
};

// A fresh fix processing with a recording panel and recording outputs.
struct Harness {
  explicit Harness(Talkers talkers = Talkers::kGps)
      : processor{flags, capture, settings, log, outputs, talkers} {
    log.AttachPanel(&panel);
  }

  void Feed(const std::string& sentence) { processor.ProcessSentence(sentence.c_str()); }

  // Feeds RMC sentences one after another and returns, per evaluated fix,
  // "A" when it was accepted and "D" when it was dropped.
  std::string Decisions(const std::vector<RmcFields>& fixes, double hdop = -2.0) {
    std::string decisions;
    for (const RmcFields& fix : fixes) {
      if (hdop > -2.0) Feed(Gga(fix.timeOfDay, hdop));
      const bool evaluates = processor.state.ggaSlot >= 0 && IsValidFix(processor.state.currentFix);
      Feed(Rmc(fix));
      if (evaluates) decisions += panel.Status().ends_with("\r\nDROPPED ") ? "D" : "A";
    }
    return decisions;
  }

  // Fixes one second apart at the given distances north, in metres.
  static std::vector<RmcFields> Walk(const std::vector<double>& north, double startTime = 43200.0) {
    std::vector<RmcFields> fixes;
    for (size_t i = 0; i < north.size(); ++i) {
      RmcFields fields;
      fields.timeOfDay = startTime + static_cast<double>(i);
      fields.northMetres = north[i];
      fixes.push_back(fields);
    }
    return fixes;
  }

  testing::RecordingPanel panel;
  MessageLog log;
  SharedFlags flags;
  ReplayState capture;
  Settings settings;
  RecordingOutputs outputs;
  SentenceProcessor processor;
};

class SentenceProcessorTest : public ::testing::Test, public Harness {};

TEST_F(SentenceProcessorTest, WorkedExampleShowsTheWholeStatusText) {
  testing::ScopedTimeZone zone("CET-1");
  Feed(Gga(12 * 3600 + 35 * 60 + 19, 0.9, 545.4, 8));
  Feed(WithChecksum("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230304,003.1,W"));
  Feed(Gga(12 * 3600 + 35 * 60 + 20, 0.9, 545.4, 8));
  Feed(WithChecksum("GPRMC,123520,A,4807.038,N,01131.000,E,022.4,084.4,230304,003.1,W"));
  EXPECT_EQ(panel.Status(),
            "UTC:  23.03.04 12:35:19 \r\nLocal: 23.03.04 13:35:19 \r\n"
            "Lat:   48.117300 \r\nLong: 11.516667\r\nAlt: 545.4\r\n"
            "Speed:  41.5 km/h. Course: 84.4\r\nSat:  8  Hdop: 0.9 "
            "\r\nDROPPED ");  // the first fix is compared with 0/0
}

TEST_F(SentenceProcessorTest, DropFilterSequencesOnPosition) {
  struct Case {
    const char* legend;
    std::vector<double> north;
    const char* decisions;  // one letter per evaluated fix; the last fix is held
  };
  const Case cases[] = {
      {"first fix far from 0/0 is dropped, the next near it accepted", {0, 5, 10, 15, 20}, "DAAA"},
      {"a lone outlier drops itself and the fix after it", {0, 0, 0, 5000, 0, 0, 0}, "DAADDA"},
      {"jumps alone drop at most three in a row", {0, 1000, 2000, 3000, 4000, 5000}, "DDDAD"},
  };
  for (const Case& c : cases) {
    Harness fresh;
    EXPECT_EQ(fresh.Decisions(Walk(c.north)), c.decisions) << c.legend;
  }
}

TEST_F(SentenceProcessorTest, PoorHdopRunsAreBounded) {
  struct Case {
    double hdop;
    const char* decisions;
  };
  const Case cases[] = {
      {9.5, "DDDDDDDADDDDDDDA"},
      {7.5, "DDDDDADDDDDA"},
      {5.5, "DDDADDDA"},
      {3.5, "DADA"},
      {3.0, "DAAA"},  // not greater than 3.0: only the first fix's jump from 0/0
  };
  for (const Case& c : cases) {
    Harness fresh;
    const std::string expected = c.decisions;
    std::vector<double> still(expected.size() + 1, 0.0);
    EXPECT_EQ(fresh.Decisions(Walk(still), c.hdop), expected) << "HDOP " << c.hdop;
  }
}

TEST_F(SentenceProcessorTest, GgaPairsWithTheRmcOfTheSameSecondInEitherOrder) {
  // GGA after RMC.
  Feed(Rmc({.timeOfDay = 100.0}));
  Feed(Gga(100.0, 1.2, 321.0, 7));
  Feed(Rmc({.timeOfDay = 101.0}));
  EXPECT_NE(panel.Status().find("Alt: 321.0\r\n"), std::string::npos) << panel.Status();
  EXPECT_NE(panel.Status().find("Sat:  7  Hdop: 1.2 "), std::string::npos);
  // GGA before RMC.
  Feed(Gga(102.0, 1.4, 654.0, 9));
  Feed(Rmc({.timeOfDay = 102.0}));
  Feed(Gga(103.0, 1.5, 0.0, 9));
  Feed(Rmc({.timeOfDay = 103.0}));
  EXPECT_NE(panel.Status().find("Alt: 654.0\r\n"), std::string::npos) << panel.Status();
}

TEST_F(SentenceProcessorTest, GgaTooFarAwayLeavesAltitudeHdopAndSatellitesUnknown) {
  Feed(Gga(99.1, 1.2, 321.0, 7));   // 0.9 s before
  Feed(Gga(100.9, 1.2, 321.0, 7));  // 0.9 s after
  Feed(Rmc({.timeOfDay = 100.0}));
  Feed(Rmc({.timeOfDay = 101.5}));
  EXPECT_NE(panel.Status().find("Alt: ???\r\n"), std::string::npos) << panel.Status();
  EXPECT_NE(panel.Status().find("Sat: -1  Hdop: -1.0 "), std::string::npos);
  // Just inside the window it merges.
  Feed(Gga(102.15, 1.2, 77.0, 7));
  Feed(Rmc({.timeOfDay = 103.0}));
  Feed(Rmc({.timeOfDay = 104.0}));
  EXPECT_NE(panel.Status().find("Alt: 77.0\r\n"), std::string::npos) << panel.Status();
}

TEST_F(SentenceProcessorTest, EquallyDistantGgaSlotsGoToSlotOne) {
  Feed(Gga(99.5, 1.0, 100.0));   // first GGA lands in slot 1
  Feed(Gga(100.5, 1.0, 200.0));  // second in slot 0
  Feed(Rmc({.timeOfDay = 100.0}));
  Feed(Rmc({.timeOfDay = 101.0}));
  EXPECT_NE(panel.Status().find("Alt: 100.0\r\n"), std::string::npos) << panel.Status();
}

TEST_F(SentenceProcessorTest, TrackSpacingFollowsSpeed) {
  struct Case {
    double speedKmh;
    double expectedStep;
  };
  for (const Case c : {Case{17.0, 10.0}, Case{36.0, 5.0}, Case{100.0, 1.0}, Case{200.0, 1.0}}) {
    Harness fresh;
    for (int i = 0; i < 40; ++i) {
      RmcFields fields;
      fields.timeOfDay = 36000.0 + i;
      fields.speedKmh = c.speedKmh;
      fields.northMetres = i * c.speedKmh / 3.6;
      fresh.Feed(Rmc(fields));
    }
    const auto& times = fresh.outputs.trackTimes;
    ASSERT_GE(times.size(), 3u) << c.speedKmh;
    for (size_t i = 1; i < times.size(); ++i) {
      EXPECT_EQ(times[i] - times[i - 1], c.expectedStep) << c.speedKmh << " km/h, point " << i;
    }
  }
}

TEST_F(SentenceProcessorTest, TimeGoingBackWritesATrackPointAtOnce) {
  Decisions(Walk({0, 0, 0}, 50000.0));
  const size_t before = outputs.trackTimes.size();
  Decisions(Walk({0, 0}, 40000.0));  // a replayed older file
  ASSERT_EQ(outputs.trackTimes.size(), before + 1);
  EXPECT_EQ(outputs.trackTimes.back(), 40000.0);
}

TEST_F(SentenceProcessorTest, StatusVShowsNoFixWithTheTimeOfThatSentence) {
  Feed(Rmc({.timeOfDay = 3723.0, .status = "V"}));
  Feed(Rmc({.timeOfDay = 3724.0}));
  EXPECT_EQ(panel.Status(), "UTC: 01:02:03 \r\nNo fix\r\n");
  EXPECT_TRUE(outputs.calls.empty());
}

TEST_F(SentenceProcessorTest, WaypointIsSavedAfterTrackAndRouteInThatOrder) {
  Decisions(Walk({0, 0, 0}));
  outputs.calls.clear();
  flags.waypointRequested = 1;
  Feed(Rmc({.timeOfDay = 43203.0}));  // evaluates the fix at 43202, one second after a point
  EXPECT_EQ(outputs.calls, (std::vector<std::string>{"track", "route", "waypoint"}));
  EXPECT_EQ(flags.waypointRequested, 0);
}

TEST_F(SentenceProcessorTest, WaypointWaitsForAnAcceptableFixButOverridesARepeatedDrop) {
  EXPECT_EQ(Decisions(Walk({0, 0, 0, 5000})), "DAA");  // the outlier is held
  flags.waypointRequested = 1;
  outputs.calls.clear();
  // The outlier is dropped with dropCount 0: the request stays pending.
  EXPECT_EQ(Decisions(Walk({0}, 43204.0)), "D");
  EXPECT_EQ(flags.waypointRequested, 1);
  EXPECT_TRUE(outputs.calls.empty());
  // The next fix is suspect too (far from the outlier) but a drop has
  // happened, so the waypoint takes it.
  EXPECT_EQ(Decisions(Walk({0}, 43205.0)), "A");
  EXPECT_EQ(outputs.calls, (std::vector<std::string>{"track", "route", "waypoint"}));
  EXPECT_EQ(flags.waypointRequested, 0);
}

TEST_F(SentenceProcessorTest, WaypointWithoutValidFixIsRefusedWithANumberedMessage) {
  log.messageCounter = 6;
  Feed(Rmc({.timeOfDay = 10.0, .status = "V"}));
  flags.waypointRequested = 1;
  Feed(Rmc({.timeOfDay = 11.0, .status = "V"}));
  EXPECT_EQ(panel.Log(), "(7) Waypoint NOT saved! \r\n");
  EXPECT_EQ(flags.waypointRequested, 0);
}

TEST_F(SentenceProcessorTest, OnlyCheckedAndDecodedSentencesReachTheNmeaLog) {
  settings.enableNmeaLog = 1;
  const std::string gga = Gga(100.0, 1.0);
  const std::string rmc = Rmc({.timeOfDay = 100.0});
  Feed(gga);
  Feed(rmc);
  Feed(Rmc({.timeOfDay = 101.0, .status = "V"}));            // does not decode
  Feed(WithChecksum("GPGGA,101000,,,,,0,00,99.9,,M,,M,,"));  // no fix
  std::string badChecksum = Gga(102.0, 1.0);
  badChecksum.back() = badChecksum.back() == '0' ? '1' : '0';
  Feed(badChecksum);
  Feed(WithChecksum("GPGSV,1,1,00"));
  EXPECT_EQ(outputs.calls, (std::vector<std::string>{"nmea0 " + gga, "nmea1 " + rmc}));
  // The RMC is logged with the fix it just decoded into.
  EXPECT_EQ(outputs.loggedTimes.back(), 100.0);

  outputs.calls.clear();
  capture.replayFile = 7;  // nothing is logged while a file is replayed
  Feed(Gga(103.0, 1.0));
  Feed(Rmc({.timeOfDay = 103.0}));
  EXPECT_TRUE(outputs.calls.empty());
}

TEST_F(SentenceProcessorTest, EverySentenceResetsTheIdleCount) {
  for (const char* sentence : {"$GPGSV,garbage", "$GPRMC,bad*00", "$GPXYZ"}) {
    flags.idleTicks = 4;
    processor.ProcessSentence(sentence);
    EXPECT_EQ(flags.idleTicks, 0) << sentence;
  }
}

// The other systems' processing settles on the talker of the first RMC that
// passes its checksum; GGA of any of them, and GPS's, count until the settled
// talker sends one.
TEST(OtherSystemsProcessorTest, TheFirstGoodRmcSettlesTheTalker) {
  std::string badRmc = WithTalker(Rmc({.timeOfDay = 99.0}), "GL");
  badRmc.back() = badRmc.back() == '0' ? '1' : '0';
  const std::string gga = WithTalker(Gga(100.0, 1.2, 321.0), "GN");
  const std::string rmc = WithTalker(Rmc({.timeOfDay = 100.0}), "GN");
  const std::string next = WithTalker(Rmc({.timeOfDay = 101.0}), "GN");
  struct Row {
    const char* legend;
    std::vector<std::string> sentences;
    const char* talker;
    const char* statusHas;
  };
  const Row rows[] = {
      {"a GGA before the first RMC is merged", {gga, rmc, next}, "GN", "Alt: 321.0\r\n"},
      {"so is one of another talker", {WithTalker(gga, "GL"), rmc, next}, "GN", "Alt: 321.0\r\n"},
      {"afterwards too, while the settled talker has sent no GGA",
       {rmc, WithTalker(gga, "GL"), next},
       "GN",
       "Alt: 321.0\r\n"},
      {"GPS's GGA with another system's RMC", {rmc, WithTalker(gga, "GP"), next}, "GN", "Alt: 321.0\r\n"},
      {"once it has, only its own",
       {rmc, WithTalker(Gga(50.0, 1.2, 100.0), "GN"), WithTalker(gga, "GP"), next},
       "GN",
       "Alt: ???\r\n"},
      {"an RMC that fails its checksum settles nothing", {badRmc, rmc, gga, next}, "GN", "Alt: 321.0\r\n"},
      {"status V settles it too",
       {WithTalker(Rmc({.timeOfDay = 99.0, .status = "V"}), "BD"), rmc, gga, next},
       "BD",
       ""},
      {"GPS sentences are not the other systems'",
       {Rmc({.timeOfDay = 99.0}), rmc, gga, next},
       "GN",
       "Alt: 321.0\r\n"},
  };
  for (const Row& row : rows) {
    Harness fresh(Talkers::kOtherSystems);
    for (const std::string& sentence : row.sentences) fresh.Feed(sentence);
    EXPECT_STREQ(fresh.processor.state.talker, row.talker) << row.legend;
    EXPECT_NE(fresh.panel.Status().find(row.statusHas), std::string::npos)
        << row.legend << fresh.panel.Status();
  }
}

TEST_F(SentenceProcessorTest, AbsurdValuesStayInsideTheStatusText) {
  const std::string hundredDigits(100, '9');
  const std::string sentences[] = {
      WithChecksum("GPRMC,120000,A,4800.000,N,01100.000,E,1e300,1e300,061226,,"),
      WithChecksum("GPRMC,1200" + hundredDigits + ",A,4800.000,N,01100.000,E,1,1,061226,,"),
      WithChecksum("GPRMC,1200inf,A,48" + hundredDigits + ",N,011nan,E,-1e999,nan,061226,,"),
      WithChecksum("GPRMC,1200-1e999,A,4800.000,N,01100.000,E,0x1p1000,0,061226,,"),
  };
  for (const std::string& sentence : sentences) {
    Feed(sentence);
    Feed(sentence);
    EXPECT_LT(panel.TextLength(kStatusArea), 300u) << sentence;
  }
}

}  // namespace
}  // namespace pathmere
