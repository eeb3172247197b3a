// The collector against a real Mosquitto broker: locations of two vehicles,
// duplicates, malformed messages and path tricks, and a stop and a start
// while messages arrive.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/mqtt_connection.h"
#include "support/child_process.h"
#include "support/logger_home.h"
#include "support/mosquitto_broker.h"
#include "support/notify_socket.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::MosquittoBroker;

std::string Location(int64_t tst, double lat) {
  return R"({"_type":"location","lat":)" + std::to_string(lat) + R"(,"lon":4.9094,"tst":)" +
         std::to_string(tst) + R"(,"alt":3,"vel":80,"cog":90,"tid":"v7"})";
}

size_t TrackPoints(const fs::path& plt) {
  std::ifstream in(plt);
  size_t lines = 0;
  for (std::string line; std::getline(in, line);) ++lines;
  return lines > 6 ? lines - 6 : 0;
}

class CollectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (MosquittoBroker::SkipWithoutMosquitto()) GTEST_SKIP() << "mosquitto not installed";
    ASSERT_TRUE(broker.Start()) << broker.log();
    fs::create_directories(home.config() / "Brenix");
    std::ofstream(home.config() / "Brenix" / "publish")
        << "password-file = " << broker.passwordFile() << "\n";
    ASSERT_TRUE(WaitConnected());
  }

  bool WaitConnected() {
    for (int i = 0; i < 100 && !sender.connected(); ++i) std::this_thread::sleep_for(100ms);
    return sender.connected();
  }

  std::unique_ptr<ChildProcess> StartCollector(const std::string& extraEnv = "") {
    std::vector<std::string> env = home.Environment("UTC");
    if (!extraEnv.empty()) env.push_back(extraEnv);
    auto collector = std::make_unique<ChildProcess>(
        std::vector<std::string>{PATHMERE_CLI_PATH, "collect", broker.url("collector"), "--output",
                                 home.out().string()},
        env);
    for (int i = 0; i < 100 && collector->err().find("collecting from") == std::string::npos; ++i) {
      collector->Pump(100);
    }
    EXPECT_NE(collector->err().find("collecting from"), std::string::npos) << collector->err();
    return collector;
  }

  void Send(const std::string& topic, const std::string& payload) {
    ASSERT_NE(sender.Publish(topic, payload, false).session, 0u);
  }

  MosquittoBroker broker;
  testing::LoggerHome home;
  MqttConnection sender{
      {"127.0.0.1", broker.port(), false, "", "car", "secret", "test-sender", true, "", "", "", false}};
};

TEST_F(CollectTest, EachVehicleGetsItsDayFilesAndNothingElseIsWritten) {
  // A folder of the naming before USER/DEVICE: told, left alone.
  fs::create_directories(home.out() / "car-van7");
  std::ofstream(home.out() / "car-van7" / "2026-12-06.plt") << "old\n";
  auto collector = StartCollector();
  // 2026-12-07 15:06:09 UTC and on.
  Send("owntracks/car/van7", Location(1796655969, 52.1));
  Send("owntracks/car/van7", Location(1796655970, 52.2));
  Send("owntracks/car/van7", Location(1796655970, 52.2));  // a duplicate
  Send("owntracks/car/boat1", Location(1796655971, 53.0));
  // Two vehicles whose names once made one folder.
  Send("owntracks/acme-east/van1", Location(1796655971, 53.0));
  Send("owntracks/acme/east-van1", Location(1796655971, 54.0));
  Send("owntracks/car/van7", "not json");
  Send("owntracks/../van7", Location(1796655972, 1.0));
  Send("owntracks/car/..", Location(1796655973, 1.0));
  Send("owntracks/car/van7", R"({"_type":"location","lat":1})");
  Send("owntracks/car/van7", std::string(1 << 20, '{'));
  Send("owntracks/car/van7", R"({"_type":"lwt","tst":1796655969})");
  std::this_thread::sleep_for(2s);
  const auto result = collector->Stop(SIGINT);
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_NE(result.err.find("5 points written, 1 duplicates dropped"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("pathmere-cli: car-van7/ is named as before (USER-DEVICE"), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("skipping messages: not a JSON object"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("skipping messages: not owntracks/USER/DEVICE"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("skipping messages: too large"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("skipping messages: lat, lon or tst missing"), std::string::npos) << result.err;

  std::vector<std::string> folders;
  for (const auto& entry : fs::directory_iterator(home.out()))
    folders.push_back(entry.path().filename().string());
  std::sort(folders.begin(), folders.end());
  // The journal's folder holds nothing once the day files have it all.
  EXPECT_EQ(folders, (std::vector<std::string>{".journal", "acme", "acme-east", "car", "car-van7"}));
  EXPECT_TRUE(fs::is_empty(home.out() / ".journal"));
  EXPECT_EQ(TrackPoints(home.out() / "car" / "van7" / "2026-12-07.plt"), 2u);
  EXPECT_EQ(TrackPoints(home.out() / "car" / "boat1" / "2026-12-07.plt"), 1u);
  EXPECT_EQ(TrackPoints(home.out() / "acme-east" / "van1" / "2026-12-07.plt"), 1u);
  EXPECT_EQ(TrackPoints(home.out() / "acme" / "east-van1" / "2026-12-07.plt"), 1u);
  EXPECT_TRUE(fs::exists(home.out() / "car" / "van7" / "2026-12-07.gpx"));
  EXPECT_FALSE(fs::exists(home.root() / "van7"));
}

TEST_F(CollectTest, WhatArrivesWhileTheCollectorIsDownWaitsAtTheBroker) {
  auto collector = StartCollector();
  Send("owntracks/car/van7", Location(1796655969, 52.1));
  std::this_thread::sleep_for(1s);
  ASSERT_EQ(collector->Stop(SIGINT).exitStatus, 0);
  Send("owntracks/car/van7", Location(1796655970, 52.2));
  Send("owntracks/car/van7", Location(1796655971, 52.3));
  collector = StartCollector();
  std::this_thread::sleep_for(2s);
  const auto result = collector->Stop(SIGINT);
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(TrackPoints(home.out() / "car" / "van7" / "2026-12-07.plt"), 3u);

  // Stopped the moment messages come: what the library has acknowledged
  // the broker keeps no more, so it is written at the stop; the rest waits
  // at the broker for the next start. None is lost.
  collector = StartCollector();
  sender.TakeAcknowledged();
  size_t acknowledged = 0;
  for (int i = 0; i < 10; ++i) Send("owntracks/car/van7", Location(1796655980 + i, 52.4 + i / 100.0));
  for (int i = 0; i < 100 && acknowledged < 10; ++i) {
    std::this_thread::sleep_for(10ms);
    acknowledged += sender.TakeAcknowledged().size();
  }
  ASSERT_EQ(acknowledged, 10u);
  ASSERT_EQ(collector->Stop(SIGINT).exitStatus, 0);
  collector = StartCollector();
  std::this_thread::sleep_for(1s);
  ASSERT_EQ(collector->Stop(SIGINT).exitStatus, 0);
  EXPECT_EQ(TrackPoints(home.out() / "car" / "van7" / "2026-12-07.plt"), 13u);

  // What makes that hold: a connection that is stopped still hands over
  // what it received, so the collector stops it first and then takes those.
  MqttConnection listener{{"127.0.0.1", broker.port(), false, "", "car", "secret", "test-listener", true, "",
                           "", "owntracks/+/+", false}};
  for (int i = 0; i < 100 && !listener.connected(); ++i) std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(listener.connected());
  std::this_thread::sleep_for(200ms);  // subscribed
  for (int i = 0; i < 3; ++i) Send("owntracks/car/van7", Location(1796655990 + i, 52.5));
  std::this_thread::sleep_for(500ms);
  listener.Stop();
  EXPECT_EQ(listener.TakeMessages().size(), 3u);
}

// Killed (SIGKILL) in the middle of a backlog of 200 messages a second and
// started again: each message was in the journal before the broker had its
// acknowledgement, so every point is in the day file, once.
TEST_F(CollectTest, ACollectorKilledInABacklogLosesNoPointAndWritesNoneTwice) {
  auto collector = StartCollector();
  constexpr int kPoints = 1200;
  int unsent = 0;
  std::thread sending([&] {
    for (int i = 0; i < kPoints; ++i) {
      unsent +=
          sender.Publish("owntracks/car/van7", Location(1796655969 + i, 52.0 + i / 1e5), false).session == 0;
      std::this_thread::sleep_for(5ms);
    }
  });
  std::this_thread::sleep_for(3s);
  collector->Kill();
  sending.join();
  ASSERT_EQ(unsent, 0);
  collector = StartCollector();
  // What the broker kept for the session comes at once.
  std::this_thread::sleep_for(3s);
  const auto result = collector->Stop(SIGINT);
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  std::ifstream in(home.out() / "car" / "van7" / "2026-12-07.plt");
  std::set<std::string> times;
  size_t lines = 0;
  for (std::string line; std::getline(in, line); ++lines) {
    if (lines >= 6) times.insert(line.substr(line.rfind(',')));
  }
  EXPECT_EQ(lines - 6, static_cast<size_t>(kPoints));
  EXPECT_EQ(times.size(), static_cast<size_t>(kPoints));
}

// A full disk under the collector: the journal takes no message, so none is
// acknowledged and the broker keeps them all; once there is room they come
// again and every point is written, once.
TEST_F(CollectTest, AFullDiskUnderTheCollectorLosesNoPointTheBrokerGave) {
  fs::create_directories(home.out());
  if (mount("pathmere-test", home.out().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k,mode=0755") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs at " << home.out() << " (" << std::strerror(errno)
                 << "): this test needs root or CAP_SYS_ADMIN";
  }
  struct Unmount {
    fs::path at;
    ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
  } unmount{home.out()};
  auto collector = StartCollector();
  {
    std::ofstream filler(home.out() / "filler", std::ios::binary);
    const std::string block(4096, 'x');
    for (int i = 0; i < 128 && filler.write(block.data(), block.size()); ++i) filler.flush();
  }
  for (int i = 0; i < 50; ++i) Send("owntracks/car/van7", Location(1796655969 + i, 52.1 + i / 1e4));
  for (int i = 0; i < 100 && collector->err().find("the journal cannot be") == std::string::npos; ++i)
    collector->Pump(100);
  EXPECT_NE(collector->err().find("the broker keeps the messages until it can"), std::string::npos)
      << collector->err();
  fs::remove(home.out() / "filler");
  for (int i = 0; i < 150 && collector->err().find("the journal is written again") == std::string::npos; ++i)
    collector->Pump(100);
  std::this_thread::sleep_for(1s);
  const auto result = collector->Stop(SIGINT);
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(TrackPoints(home.out() / "car" / "van7" / "2026-12-07.plt"), 50u) << result.err;
}

// Under systemd: ready, a watchdog ping every second with the state when it
// changes, stopping at the end; `status` shows what it subscribes to, the
// devices and the counts; a second collector of the same user is refused.
TEST_F(CollectTest, TellsSystemdAndStatusWhatItCollects) {
  testing::NotifySocket systemd((home.root() / "notify").string());
  auto collector = StartCollector(systemd.Environment());
  Send("owntracks/car/van7", Location(1796655969, 52.1));
  Send("owntracks/car/van7", Location(1796655970, 52.2));
  Send("owntracks/car/van7", Location(1796655970, 52.2));
  Send("owntracks/car/boat1", Location(1796655971, 53.0));
  Send("owntracks/car/van7", "not json");
  Send("owntracks/car/van7", R"({"_type":"lwt","tst":1796655969})");
  const std::vector<std::string> messages = systemd.Receive(4, 10000);

  testing::CommandResult status;
  for (int i = 0; i < 50 && status.out.find("Devices: 2") == std::string::npos; ++i) {
    std::this_thread::sleep_for(100ms);
    status = testing::RunCommand({PATHMERE_CLI_PATH, "status"}, home.Environment("UTC"));
  }
  EXPECT_EQ(status.exitStatus, 0) << status.err;
  const std::string expected[] = {
      "Pathmere collector (pathmere-cli collect, process " + std::to_string(collector->pid()) + ")\n",
      "Broker: " + broker.url("collector") + ", connected\n",
      "Subscribed to: owntracks/+/+ (QoS 1) as pathmere-collector-collector, a session the broker keeps\n",
      "Output folder: " + home.out().string() + "\n",
      "Messages: 6 taken, the last ",
      "  3 points written, 1 duplicate dropped\n",
      "  1 skipped: 1 not a JSON object; 1 not a location (last wills)\n",
      // How many are still in memory depends on when the last write was.
      "Devices: 2\n  car/boat1: 1 point, the last of 2026-12-07 15:06:11 UTC, ",
      " in memory\n  car/van7: 2 points, the last of 2026-12-07 15:06:10 UTC, ",
      "Written to disk every 10 s and at the end\n",
  };
  for (const std::string& line : expected)
    EXPECT_NE(status.out.find(line), std::string::npos) << line << status.out;

  const auto second = testing::RunCommand(
      {PATHMERE_CLI_PATH, "collect", broker.url("collector"), "--output", home.out().string()},
      home.Environment("UTC"));
  EXPECT_EQ(second.exitStatus, 1);
  EXPECT_EQ(second.err,
            "pathmere-cli: a collector is already running ('pathmere-cli status' tells what it does)\n");

  const auto result = collector->Stop(SIGTERM);
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[0], "READY=1");
  bool countsTold = false;
  for (size_t i = 1; i < messages.size(); ++i) {
    EXPECT_EQ(messages[i].rfind("WATCHDOG=1", 0), 0u) << messages[i];
    countsTold |=
        messages[i].find("\nSTATUS=connected to " + broker.url("collector") + "; ") != std::string::npos;
  }
  EXPECT_TRUE(countsTold) << ::testing::PrintToString(messages);
  const std::vector<std::string> last = systemd.Receive(20, 1000);
  ASSERT_FALSE(last.empty());
  EXPECT_EQ(last.back(), "STOPPING=1");
  const auto after = testing::RunCommand({PATHMERE_CLI_PATH, "status"}, home.Environment("UTC"));
  EXPECT_EQ(after.exitStatus, 1);
  EXPECT_EQ(after.err, "pathmere-cli: no Pathmere is running\n");
}

// MQTT 5 for the replay and the collector from `protocol = 5` (the broker's
// log names the version each client speaks), and the collector's session
// outlives it as a 3.1.1 one does: MQTT 5 ends a session with its
// connection unless the client asks for an expiry.
TEST_F(CollectTest, Mqtt5PublishesAndCollectsWithASessionThatOutlivesTheCollector) {
  const fs::path log = testing::RecordedLogFolder() / "gpsbabel-track-2004.nmea";
  if (!fs::exists(log)) GTEST_SKIP() << "recorded logs not found";
  std::ofstream(home.config() / "Brenix" / "publish", std::ios::app) << "device = van7\nprotocol = 5\n";
  auto collector = StartCollector();
  ASSERT_EQ(collector->Stop(SIGTERM).exitStatus, 0);
  const fs::path replayed = home.root() / "replayed";
  const auto replay = testing::RunCommand(
      {PATHMERE_CLI_PATH, "replay", log.string(), "--output", replayed.string(), "--publish", broker.url()},
      home.Environment("UTC"));
  ASSERT_EQ(replay.exitStatus, 0) << replay.err;
  collector = StartCollector();
  const auto status = testing::RunCommand({PATHMERE_CLI_PATH, "status"}, home.Environment("UTC"));
  EXPECT_NE(status.out.find("Broker: " + broker.url("collector") + " (MQTT 5), connected\n"),
            std::string::npos)
      << status.out;
  std::this_thread::sleep_for(2s);
  ASSERT_EQ(collector->Stop(SIGTERM).exitStatus, 0);
  const size_t points = TrackPoints(replayed / "2004-08-07.plt");
  EXPECT_GT(points, 12u);
  EXPECT_EQ(TrackPoints(home.out() / "car" / "van7" / "2004-08-07.plt"), points);
  broker.Stop();
  EXPECT_NE(broker.log().find(" as pathmere-collector-collector (p5, c0,"), std::string::npos)
      << broker.log();
  EXPECT_NE(broker.log().find(" as pathmere/car/van7 (p5, c1,"), std::string::npos) << broker.log();
}

// --protocol 5 on the command line, and a refused login told once in
// MQTT 5's words; the collector keeps running and stops as ever.
TEST_F(CollectTest, AnMqtt5LoginTheBrokerRefusesIsOneLine) {
  const fs::path wrong = home.root() / "wrong-password";
  std::ofstream(wrong) << "not the password\n";
  fs::permissions(wrong, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
  std::ofstream(home.config() / "Brenix" / "publish", std::ios::app)
      << "password-file = " << wrong.string() << "\n";
  ChildProcess collector({PATHMERE_CLI_PATH, "collect", broker.url("collector"), "--protocol", "5",
                          "--output", home.out().string()},
                         home.Environment("UTC"));
  std::this_thread::sleep_for(4s);
  const auto result = collector.Stop(SIGTERM);
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const std::string line = "pathmere-cli: broker at 127.0.0.1:" + std::to_string(broker.port()) +
                           " refused the connection: Not authorized, retrying\n";
  EXPECT_EQ(result.err, line + "pathmere-cli: 0 points written, 0 duplicates dropped\n");
}

}  // namespace
}  // namespace pathmere
