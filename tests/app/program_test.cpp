#include "app/program.h"

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <fstream>

#include "capture/capture_fakes.h"
#include "fix/nmea_checksum.h"
#include "platform/file_system_posix.h"
#include "platform/instance_channel.h"
#include "support/counting_file_system.h"
#include "support/fake_tick_clock.h"
#include "support/nmea_builder.h"
#include "support/recording_panel.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

// A fresh program writing into a temporary folder, its port scripted.
struct FreshProgram {
  testing::TempFolder folder;
  PosixFileSystem files{folder.path().string()};
  testing::FakeTickClock clock{1000};
  testing::Events events;
  testing::ScriptedSerialPort port{events};
  TickHost host;
  Program program{files, clock, port, host};
};

class ProgramTest : public ::testing::Test, public FreshProgram {};

TEST_F(ProgramTest, ChoosingPortOrSpeedAlwaysClosesThePort) {
  program.SelectPort(4);
  EXPECT_EQ(program.settings().portNumber, 4);
  program.SelectSpeed(9600);
  EXPECT_EQ(program.settings().portSpeed, 9600);
  program.SelectSpeed(9600);
  program.SelectPort(-1);
  EXPECT_EQ(program.settings().portNumber, -1);
  EXPECT_EQ(events, (testing::Events{"close", "close", "close", "close"}));
}

TEST_F(ProgramTest, ForwardedCodesRequestWaypointAndFlushOrAskForTheWindow) {
  struct Row {
    const char* legend;
    int32_t code;
    bool waypointAndFlush;
    ForwardedAction action;
  };
  const Row rows[] = {
      {"/wpth", kForwardWaypoint, true, ForwardedAction::kNothing},
      {"/wpts", kForwardWaypointAndShow, true, ForwardedAction::kShowWindow},
      {"no switch", kForwardShow, false, ForwardedAction::kShowWindow},
      {"a code no start sends", 103, false, ForwardedAction::kNothing},
  };
  for (const Row& row : rows) {
    TickHost freshHost;
    Program fresh(files, clock, port, freshHost);
    EXPECT_EQ(fresh.ApplyForwardedCode(row.code), row.action) << row.legend;
    EXPECT_EQ(fresh.flags().waypointRequested, row.waypointAndFlush ? 1 : 0) << row.legend;
    EXPECT_EQ(fresh.flags().flushRequested, row.waypointAndFlush ? 1 : 0) << row.legend;
  }
}

TEST_F(ProgramTest, SwitchingTheNmeaLogOffWritesWhatItHolds) {
  program.SetOutputFolder(L"");
  program.SetNmeaLog(true);
  std::string bytes;
  for (int i = 0; i < 3; ++i) bytes += testing::Rmc({.timeOfDay = 36000.0 + i}) + "\r\n";
  program.FeedReceiverBytes(reinterpret_cast<const uint8_t*>(bytes.data()),
                            static_cast<int32_t>(bytes.size()));
  const auto log = folder.path() / "2026-12-06.nmea";
  ASSERT_FALSE(std::filesystem::exists(log)) << "still pending";
  program.SetNmeaLog(false);
  EXPECT_EQ(program.settings().enableNmeaLog, 0);
  EXPECT_EQ(testing::ReadWholeFile(log), bytes);
}

// --- Other satellite systems

using testing::WithTalker;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// Lines that begin with one of `talkers` ("$GN", ...), rewritten to `to`
// with their checksums fixed; the others as they are.
std::string Rewritten(const std::string& text, const std::vector<std::string>& talkers,
                      const std::string& to) {
  std::vector<std::string> lines = Lines(text);
  for (std::string& line : lines) {
    for (const std::string& talker : talkers) {
      if (line.rfind(talker, 0) != 0 || line.find('*') == std::string::npos) continue;
      const bool cr = line.ends_with('\r');
      line = WithTalker(cr ? line.substr(0, line.size() - 1) : line, to) + (cr ? "\r" : "");
    }
  }
  return Joined(lines);
}

const std::vector<std::string> kOthers = {"$GN", "$GL", "$GA", "$GB", "$GQ", "$BD"};

// Fixes one second apart walking north from 12:00:00 + `from` seconds, GGA
// and RMC of `talker`.
std::string WalkOf(const std::string& talker, int from, int count) {
  std::string text;
  for (int i = from; i < from + count; ++i) {
    text += WithTalker(testing::Gga(43200.0 + i, 1.0), talker) + "\r\n";
    text += WithTalker(testing::Rmc({.timeOfDay = 43200.0 + i, .northMetres = 30.0 * i, .speedKmh = 108}),
                       talker) +
            "\r\n";
  }
  return text;
}

// What a fresh program writes for `bytes` from the receiver, file by file,
// with the NMEA log on; the message log under "messages".
std::map<std::string, std::string> FilesFor(const std::string& bytes, bool gpsOnly = false) {
  testing::RecordingPanel panel;
  FreshProgram fresh;
  Program& program = fresh.program;
  program.AttachPanel(&panel);
  program.SetOutputFolder(L"");
  program.SetNmeaLog(true);
  program.SetGpsOnly(gpsOnly);
  // In pieces, so that sentences are cut between reads.
  for (size_t at = 0; at < bytes.size(); at += 333) {
    const std::string piece = bytes.substr(at, 333);
    program.FeedReceiverBytes(reinterpret_cast<const uint8_t*>(piece.data()),
                              static_cast<int32_t>(piece.size()));
  }
  program.ShutDown();
  std::map<std::string, std::string> written{{"messages", panel.Log()}};
  for (const auto& entry : std::filesystem::directory_iterator(fresh.folder.path())) {
    written[entry.path().filename().string()] = testing::ReadWholeFile(entry.path());
  }
  return written;
}

// The track points of a run: the lines after each day's header.
std::vector<std::string> TrackPoints(const std::map<std::string, std::string>& files) {
  std::vector<std::string> points;
  for (const auto& [name, content] : files) {
    if (!name.ends_with(".plt")) continue;
    const std::vector<std::string> lines = Lines(content);
    points.insert(points.end(), lines.begin() + 6, lines.end());
  }
  return points;
}

TEST(OtherSystemsTest, StreamsGiveTheFilesOfTheirGpsEquivalent) {
  const std::string gp = WalkOf("GP", 0, 40);
  std::string badGpsRmc = testing::Rmc({.timeOfDay = 43200.0});
  badGpsRmc.back() = badGpsRmc.back() == '0' ? '1' : '0';
  std::string withNoise;
  for (const std::string& line : Lines(gp)) {
    withNoise += line + "\n$GLGSV,2,1,07,65,40,100,30,66,50,200,35*" + "7A\r\n" +
                 testing::WithChecksum("GNGSA,A,3,01,02,03,65,66,,,,,,,,1.9,1.0,1.6") + "\r\n";
  }
  std::string interleaved;  // GN first; a GL walk elsewhere follows each of its sentences
  const std::vector<std::string> gn = Lines(WalkOf("GN", 0, 40)), gl = Lines(WalkOf("GL", 100, 40));
  for (size_t i = 0; i < gn.size(); ++i) interleaved += gn[i] + "\n" + gl[i] + "\n";
  const std::string mixedTalkers = Rewritten(WalkOf("GN", 0, 40), {"$GNGGA"}, "GP");
  std::string withFarGpsGga;  // each GN GGA followed by a GP GGA 100 s later
  const std::vector<std::string> far = Lines(WalkOf("GP", 100, 40));
  for (size_t i = 0; i < gn.size(); ++i) withFarGpsGga += gn[i] + "\n" + (i % 2 == 0 ? far[i] + "\n" : "");
  struct Row {
    const char* legend;
    std::string stream;
    std::string gpsEquivalent;  // gives the same files, its NMEA log rewritten to GP
    bool gpsOnly = false;
    bool sameNmeaLog = true;
  };
  const Row rows[] = {
      {"GN only is read as GP", WalkOf("GN", 0, 40), gp},
      {"GL only", WalkOf("GL", 0, 40), gp},
      {"GA only", WalkOf("GA", 0, 40), gp},
      {"GB only", WalkOf("GB", 0, 40), gp},
      {"GQ only", WalkOf("GQ", 0, 40), gp},
      {"BD only", WalkOf("BD", 0, 40), gp},
      {"GSV and GSA of other talkers change nothing", withNoise, gp},
      {"a GPS RMC that fails its checksum does not end the second path",
       badGpsRmc + "\r\n" + WalkOf("GN", 0, 40), gp},
      {"the first good RMC's talker is kept", interleaved, gp},
      {"GN RMC with GP GGA: merged as GP RMC with GP GGA (each GGA logged once)", mixedTalkers, gp},
      {"GL RMC with GN GGA", Rewritten(WalkOf("GL", 0, 40), {"$GLGGA"}, "GN"), gp},
      {"GN RMC with GN GGA and GP GGA of another time: the RMC's own talker's GGA count", withFarGpsGga, gp,
       false, false},
      {"GPS sentences only: GN gives nothing", WalkOf("GN", 0, 40), "", true},
      {"GPS sentences only: GP with GN among it is GP alone", interleaved + gp, gp, true},
  };
  for (const Row& row : rows) {
    auto files = FilesFor(row.stream, row.gpsOnly);
    auto expected = FilesFor(row.gpsEquivalent);
    for (auto* run : {&files, &expected}) {
      for (auto& [name, content] : *run) {
        if (!name.ends_with(".nmea")) continue;
        content = row.sameNmeaLog ? Rewritten(Joined(Lines(content)), kOthers, "GP") : "";
      }
    }
    EXPECT_EQ(files, expected) << row.legend;
  }
  EXPECT_FALSE(TrackPoints(FilesFor(gp)).empty());
  // What the mixed talkers' fixes were missing: the GGA's altitude.
  int checked = 0;
  for (const auto& [name, content] : FilesFor(mixedTalkers)) {
    if (name.ends_with(".plt")) {
      EXPECT_EQ(content.find(",-777,"), std::string::npos) << content;
      EXPECT_NE(content.find(" 1640.42,"), std::string::npos) << content;
      ++checked;
    } else if (name.ends_with(".gpx")) {
      EXPECT_NE(content.find("<ele>500</ele>"), std::string::npos) << content;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 2);
}

// Until the first good GPS RMC the other systems' fixes are recorded, after
// it GPS fixes alone: the track is that of the other systems' sentences
// before it, read as GP, followed by that of every GP sentence. The NMEA log
// keeps each sentence with its talker and replays into the same track.
TEST(OtherSystemsTest, AStreamThatTurnsGpsKeepsTheFixesOfBoth) {
  std::string mixed = WalkOf("GN", 0, 30);
  const std::vector<std::string> gp = Lines(WalkOf("GP", 30, 30)), gn = Lines(WalkOf("GN", 30, 30));
  for (size_t i = 0; i < gp.size(); ++i) mixed += gp[i] + "\n" + gn[i] + "\n";
  const std::filesystem::path log = testing::RecordedLogFolder() / "gpsd-trimble-rtk-10hz.log";
  std::vector<std::string> streams = {mixed};
  if (std::filesystem::exists(log)) streams.push_back(testing::ReadWholeFile(log));
  for (const std::string& stream : streams) {
    std::string others, gps;
    bool ended = false;
    for (const std::string& line : Lines(stream)) {
      std::string sentence = line.ends_with('\r') ? line.substr(0, line.size() - 1) : line;
      ended |= sentence.rfind("$GPRMC,", 0) == 0 && VerifyChecksum(sentence.c_str()) == 0;
      if (sentence.rfind("$GP", 0) == 0) gps += line + "\n";
      if (!ended && sentence.rfind("$GN", 0) == 0) others += line + "\n";
    }
    std::vector<std::string> expected = TrackPoints(FilesFor(Rewritten(others, {"$GN"}, "GP")));
    const std::vector<std::string> gpsPoints = TrackPoints(FilesFor(gps));
    ASSERT_FALSE(expected.empty());
    ASSERT_FALSE(gpsPoints.empty());
    expected.insert(expected.end(), gpsPoints.begin(), gpsPoints.end());

    const auto files = FilesFor(stream);
    EXPECT_EQ(TrackPoints(files), expected);
    std::string nmeaLog;
    for (const auto& [name, content] : files) {
      if (name.ends_with(".nmea")) nmeaLog += content;
    }
    EXPECT_NE(nmeaLog.find("$GNRMC,"), std::string::npos);
    EXPECT_EQ(TrackPoints(FilesFor(nmeaLog)), expected) << "replay of the NMEA log";
  }
}

// A receiver that sends only GN sentences is not silent; once a GPS RMC has
// ended the second path, GN sentences alone are.
TEST_F(ProgramTest, OtherSystemsSentencesKeepNoDataAwayUntilTheSecondPathEnds) {
  testing::RecordingPanel panel;
  program.AttachPanel(&panel);
  program.SetOutputFolder(L"");
  program.SelectPort(0);
  program.Start();
  program.Tick();
  auto noDataWithin = [&](int ticks, int from) {
    for (int i = 0; i < ticks; ++i) {
      port.reads.push_back(WithTalker(testing::Rmc({.timeOfDay = 43200.0 + from + i}), "GN") + "\r\n");
      program.Tick();
      if (panel.Status() == "No data \r\n") return true;
    }
    return false;
  };
  EXPECT_FALSE(noDataWithin(20, 0));
  EXPECT_TRUE(program.SecondPathOpen());
  // The journal and `status` tell the GN fix, not the idle GPS path's none.
  EXPECT_TRUE(IsValidFix(program.shownFixState().currentFix));
  EXPECT_LT(program.fixState().ggaSlot, 0);
  port.reads.push_back(testing::Rmc({.timeOfDay = 43300.0, .status = "V"}) + "\r\n");
  program.Tick();
  EXPECT_FALSE(program.SecondPathOpen());
  EXPECT_TRUE(noDataWithin(20, 200));
}

// "FlushSeconds" shortens the timed flush of the track, route and NMEA log
// writers; 0 gives them back their own intervals.
TEST_F(ProgramTest, FlushSecondsShortensTheTimedFlush) {
  program.SetOutputFolder(L"");
  program.SetNmeaLog(true);
  const auto track = folder.path() / "2026-12-06.plt";
  const auto log = folder.path() / "2026-12-06.nmea";
  int second = 0;
  auto feedAt = [&](uint32_t ms) {
    clock.now = ms;
    // Ten seconds apart, so each fix is a track point.
    const double time = 36000.0 + 10 * second;
    const std::string bytes = testing::Gga(time, 1.0) + "\r\n" +
                              testing::Rmc({.timeOfDay = time, .northMetres = 100.0 * second}) + "\r\n";
    ++second;
    program.FeedReceiverBytes(reinterpret_cast<const uint8_t*>(bytes.data()),
                              static_cast<int32_t>(bytes.size()));
  };
  program.SetFlushSeconds(10);
  feedAt(2000);
  feedAt(10000);
  EXPECT_FALSE(std::filesystem::exists(track));
  feedAt(12000);  // more than 10 s after the clock's start
  ASSERT_TRUE(std::filesystem::exists(track));
  const std::string first = testing::ReadWholeFile(track);
  EXPECT_NE(testing::ReadWholeFile(log).find("$GPRMC,100010"), std::string::npos);
  feedAt(22000);
  EXPECT_EQ(testing::ReadWholeFile(track), first);
  feedAt(22001);
  EXPECT_GT(testing::ReadWholeFile(track).size(), first.size());
  EXPECT_EQ(program.settings().flushSeconds, 10);

  program.SetFlushSeconds(0);
  const std::string second10 = testing::ReadWholeFile(track);
  feedAt(33000);
  feedAt(300000);
  EXPECT_EQ(testing::ReadWholeFile(track), second10);
  EXPECT_EQ(program.route().output().flushIntervalMs(), 438000u);
}

// Live data is made durable with each flush: the file's data, and the folder
// when the flush made the file or the folder. A replay's flushes are not
// synced: its data is already on disk in the file it reads.
TEST(ProgramDurabilityTest, LiveFlushesAreSyncedReplaysAreNot) {
  // The Ozi files alone here; the GPX file's syncs come in the next test.
  testing::TempFolder folder;
  testing::CountingFileSystem files(folder.path().string());
  testing::FakeTickClock clock{1000};
  testing::Events events;
  testing::ScriptedSerialPort port{events};
  TickHost host;
  Program program(files, clock, port, host);
  program.SetOutputFolder(L"\\trips");
  program.SetGpxLog(false);
  program.Start();
  program.Tick();
  auto feed = [&](double start, int seconds, const char* date) {
    std::string bytes;
    for (int i = 0; i < seconds; ++i) {
      bytes += testing::Gga(start + i, 1.0) + "\r\n" +
               testing::Rmc({.timeOfDay = start + i, .northMetres = 100.0 * i, .date = date}) + "\r\n";
    }
    return bytes;
  };
  const std::string live = feed(36000.0, 5, "061226");
  program.FeedReceiverBytes(reinterpret_cast<const uint8_t*>(live.data()), static_cast<int32_t>(live.size()));
  program.RequestFlush();
  program.Tick();
  // The track and the route file, both new, in a new folder.
  EXPECT_EQ(files.counts.dataSyncs, 2);
  EXPECT_EQ(files.syncedFolders, (std::vector<std::wstring>{L"\\trips", L"", L"\\trips"}));

  const auto replayed = folder.path() / "replayed.nmea";
  std::ofstream(replayed, std::ios::binary) << feed(40000.0, 30, "071226");
  ASSERT_TRUE(program.ReplayFile(replayed.c_str()));
  for (int i = 0; i < 10 && program.IsReplaying(); ++i) program.Tick();
  ASSERT_FALSE(program.IsReplaying());
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "trips" / "2026-12-07.plt"));
  EXPECT_EQ(files.counts.dataSyncs, 2);
  EXPECT_EQ(files.counts.folderSyncs, 3);

  const std::string later = feed(36100.0, 5, "061226");
  program.FeedReceiverBytes(reinterpret_cast<const uint8_t*>(later.data()),
                            static_cast<int32_t>(later.size()));
  EXPECT_EQ(program.ShutDown(), 0);
  EXPECT_EQ(files.counts.dataSyncs, 4);
  EXPECT_EQ(files.counts.folderSyncs, 3);
}

// The GPX file as the others: a new one synced and its rename with the
// folder, each later write synced; nothing in a replay.
TEST(ProgramDurabilityTest, LiveGpxWritesAreSyncedReplaysAreNot) {
  testing::TempFolder folder;
  testing::CountingFileSystem files(folder.path().string());
  testing::FakeTickClock clock{1000};
  testing::Events events;
  testing::ScriptedSerialPort port{events};
  TickHost host;
  Program program(files, clock, port, host);
  program.SetOutputFolder(L"\\trips");
  program.Start();
  program.Tick();
  auto feed = [&](double start, int seconds, const char* date) {
    std::string bytes;
    for (int i = 0; i < seconds; ++i) {
      bytes += testing::Gga(start + i, 1.0) + "\r\n" +
               testing::Rmc({.timeOfDay = start + i, .northMetres = 100.0 * i, .date = date}) + "\r\n";
    }
    return bytes;
  };
  const std::string live = feed(36000.0, 5, "061226");
  program.FeedReceiverBytes(reinterpret_cast<const uint8_t*>(live.data()), static_cast<int32_t>(live.size()));
  program.RequestFlush();
  program.Tick();
  // The GPX file (through its temporary file), then the track and the route.
  EXPECT_EQ(files.counts.dataSyncs, 3);
  EXPECT_EQ(files.syncedFolders, (std::vector<std::wstring>{L"\\trips", L"", L"\\trips", L"\\trips"}));

  const auto replayed = folder.path() / "replayed.nmea";
  std::ofstream(replayed, std::ios::binary) << feed(40000.0, 30, "071226");
  ASSERT_TRUE(program.ReplayFile(replayed.c_str()));
  for (int i = 0; i < 10 && program.IsReplaying(); ++i) program.Tick();
  ASSERT_FALSE(program.IsReplaying());
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "trips" / "2026-12-07.plt"));
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "trips" / "2026-12-07.gpx"));
  EXPECT_EQ(files.counts.dataSyncs, 3);
  EXPECT_EQ(files.counts.folderSyncs, 4);

  const std::string later = feed(36100.0, 5, "061226");
  program.FeedReceiverBytes(reinterpret_cast<const uint8_t*>(later.data()),
                            static_cast<int32_t>(later.size()));
  EXPECT_EQ(program.ShutDown(), 0);
  EXPECT_EQ(files.counts.dataSyncs, 6);
  EXPECT_EQ(files.counts.folderSyncs, 4);
}

}  // namespace
}  // namespace pathmere
