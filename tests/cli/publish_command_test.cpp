// The headless logger publishing to a real Mosquitto broker: a real log fed
// through a pseudo-terminal, a subscriber of the test's own, the broker
// stopped and started mid-drive, the logger killed during the outage.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "platform/mqtt_connection.h"
#include "support/child_process.h"
#include "support/fake_receiver.h"
#include "support/logger_home.h"
#include "support/mosquitto_broker.h"
#include "support/plt_points.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::MosquittoBroker;

using Point = testing::PltPoint;
using testing::PltPoints;

// A subscriber to owntracks/#: with `persistent`, a fixed id and a session
// the broker keeps, so nothing published while it is away is missed.
class Subscriber {
 public:
  Subscriber(const MosquittoBroker& broker, bool persistent, const std::string& id)
      : connection_({"127.0.0.1", broker.port(), false, "", "collector", "secret", id, !persistent, "", "",
                     "owntracks/#", false}) {}

  // Locations received so far, in arrival order; the retained flag of each.
  const std::vector<Point>& Take() {
    for (const MqttMessage& message : connection_.TakeMessages()) {
      const nlohmann::json json = nlohmann::json::parse(message.payload, nullptr, false);
      if (!json.is_discarded() && json.value("_type", "") == "lwt") ++wills_;
      if (json.is_discarded() || json.value("_type", "") != "location") continue;
      EXPECT_EQ(message.topic, "owntracks/car/van7");
      points_.push_back({json.value("tst", int64_t{0}), json.value("lat", 0.0), json.value("lon", 0.0),
                         json.value("alt", 0.0)});
      retained_.push_back(message.retained);
    }
    return points_;
  }
  const std::vector<bool>& retained() const { return retained_; }
  // Last wills received so far (after a Take).
  int wills() const { return wills_; }
  bool connected() const { return connection_.connected(); }

 private:
  MqttConnection connection_;
  std::vector<Point> points_;
  std::vector<bool> retained_;
  int wills_ = 0;
};

// `received` in order, a point seen again after a reconnect counted once.
std::vector<Point> FirstSeen(const std::vector<Point>& received) {
  std::vector<Point> seen;
  for (const Point& point : received) {
    if (std::find(seen.begin(), seen.end(), point) == seen.end()) seen.push_back(point);
  }
  return seen;
}

bool WaitUntil(const std::function<bool()>& done, int tenths) {
  for (int i = 0; i < tenths; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(100ms);
  }
  return done();
}

class PublishTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (MosquittoBroker::SkipWithoutMosquitto()) GTEST_SKIP() << "mosquitto not installed";
    log_ = testing::RecordedLogFolder() / "gpsbabel-track-2004.nmea";
    if (!fs::exists(log_)) GTEST_SKIP() << "recorded logs not found";
    ASSERT_TRUE(broker.Start()) << broker.log();
    fs::create_directories(home.config() / "Brenix");
    std::ofstream(home.config() / "Brenix" / "publish")
        << "# the test's van\n"
        << "device = van7\n"
        << "tracker-id = v7\n"
        << "password-file = " << broker.passwordFile() << "\n";
    home.LinkPort(0, receiver.slaveName());
    receiver.HoldRawSlave();
    const std::string content = testing::ReadWholeFile(log_);
    const size_t third = content.find('\n', content.size() / 3) + 1;
    const size_t twoThirds = content.find('\n', 2 * content.size() / 3) + 1;
    parts_ = {content.substr(0, third), content.substr(third, twoThirds - third), content.substr(twoThirds)};
  }

  // Running once it answers `status`.
  std::unique_ptr<ChildProcess> StartLogger(const std::string& flushEvery = "0",
                                            const std::string& url = "") {
    auto logger = std::make_unique<ChildProcess>(
        std::vector<std::string>{PATHMERE_CLI_PATH, "record", "--port", "0", "--output", home.out().string(),
                                 "--no-status", "--flush-every", flushEvery, "--publish",
                                 url.empty() ? broker.url() : url},
        home.Environment("UTC"));
    EXPECT_TRUE(WaitUntil(
        [&] {
          return testing::RunCommand({PATHMERE_CLI_PATH, "status"}, home.Environment("UTC")).exitStatus == 0;
        },
        100));
    return logger;
  }

  // Running once it has said `told` (that it is connected).
  std::unique_ptr<ChildProcess> StartCollector(const std::string& url,
                                               const std::string& told = "pathmere-cli: collecting from") {
    auto collector =
        std::make_unique<ChildProcess>(std::vector<std::string>{PATHMERE_CLI_PATH, "collect", url, "--output",
                                                                (home.root() / "fleet").string()},
                                       home.Environment("UTC"));
    WaitUntil(
        [&] {
          collector->Pump(0);
          return collector->err().find(told) != std::string::npos;
        },
        100);
    return collector;
  }

  // Until the running logger says nothing waits for the broker.
  bool OutboxEmpty() {
    return WaitUntil(
        [&] {
          const auto status = testing::RunCommand({PATHMERE_CLI_PATH, "status"}, home.Environment("UTC"));
          return status.out.find("as owntracks/car/van7, connected, 0 points waiting in ") !=
                 std::string::npos;
        },
        300);
  }

  MosquittoBroker broker;
  testing::LoggerHome home;
  testing::FakeReceiver receiver;
  fs::path log_;
  std::vector<std::string> parts_;
};

TEST_F(PublishTest, EveryPointArrivesInOrderThroughABrokerRestartAndTheNewestIsRetained) {
  Subscriber subscriber(broker, true, "test-subscriber");
  ASSERT_TRUE(WaitUntil([&] { return subscriber.connected(); }, 100));
  auto logger = StartLogger();
  receiver.Send(parts_[0]);
  std::this_thread::sleep_for(3s);
  EXPECT_FALSE(subscriber.Take().empty()) << "nothing published while connected";
  broker.Stop();
  receiver.Send(parts_[1]);
  std::this_thread::sleep_for(3s);
  ASSERT_TRUE(broker.Start()) << broker.log();
  receiver.Send(parts_[2]);
  std::this_thread::sleep_for(2s);
  ASSERT_TRUE(OutboxEmpty());
  const auto result = logger->Stop(SIGINT);
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_NE(result.err.find("pathmere-cli: publishing to owntracks/car/van7"), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("the broker closed the connection, retrying"), std::string::npos) << result.err;

  const std::vector<Point> plt = PltPoints(home.out() / "2004-08-07.plt");
  ASSERT_GT(plt.size(), 12u);
  ASSERT_TRUE(WaitUntil([&] { return FirstSeen(subscriber.Take()).size() >= plt.size(); }, 100));
  EXPECT_EQ(FirstSeen(subscriber.Take()), plt);

  // A subscriber that comes later finds the newest position.
  Subscriber late(broker, false, "test-late");
  ASSERT_TRUE(WaitUntil([&] { return !late.Take().empty(); }, 100));
  EXPECT_EQ(late.Take().front(), plt.back());
  EXPECT_TRUE(late.retained().front());
}

TEST_F(PublishTest, ALoggerKilledDuringAnOutageLosesNoPointOfItsTrack) {
  Subscriber subscriber(broker, true, "test-subscriber");
  ASSERT_TRUE(WaitUntil([&] { return subscriber.connected(); }, 100));
  // Written every second, so the killed run leaves its points in the .plt.
  auto logger = StartLogger("1");
  receiver.Send(parts_[0]);
  std::this_thread::sleep_for(3s);
  broker.Stop();
  receiver.Send(parts_[1]);
  std::this_thread::sleep_for(3s);
  logger->Kill();
  ASSERT_TRUE(broker.Start()) << broker.log();
  logger = StartLogger("1");
  receiver.Send(parts_[2]);
  std::this_thread::sleep_for(2s);
  ASSERT_TRUE(OutboxEmpty());
  ASSERT_EQ(logger->Stop(SIGINT).exitStatus, 0);

  // The killed run's last points never reached the .plt but did reach the
  // broker: every point of the .plt is there, in order.
  const std::vector<Point> plt = PltPoints(home.out() / "2004-08-07.plt");
  ASSERT_GT(plt.size(), 8u);
  // The subscriber comes back after a pause of its own.
  WaitUntil([&] { return FirstSeen(subscriber.Take()).size() >= plt.size(); }, 150);
  const std::vector<Point> seen = FirstSeen(subscriber.Take());
  size_t at = 0;
  for (const Point& point : seen) {
    if (at < plt.size() && point == plt[at]) ++at;
  }
  EXPECT_EQ(at, plt.size()) << "first point missing: " << (at < plt.size() ? plt[at] : Point{})
                            << "\nreceived " << ::testing::PrintToString(seen) << "\n.plt "
                            << ::testing::PrintToString(plt);
}

TEST_F(PublishTest, OverTlsWithTheTestCaAndAWrongCaToldOnce) {
  ASSERT_NE(broker.tlsPort(), 0) << "openssl could not make the test certificates";
  Subscriber subscriber(broker, true, "test-subscriber");
  ASSERT_TRUE(WaitUntil([&] { return subscriber.connected(); }, 100));
  std::ofstream(home.config() / "Brenix" / "publish", std::ios::app)
      << "ca-file = " << broker.caFile() << "\n";
  const std::string url = "mqtts://car@127.0.0.1:" + std::to_string(broker.tlsPort());
  {
    auto logger = StartLogger("0", url);
    receiver.Send(parts_[0]);
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(OutboxEmpty());
    const auto result = logger->Stop(SIGINT);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.err.find("pathmere-cli: publishing to owntracks/car/van7"), std::string::npos)
        << result.err;
  }
  const std::vector<Point> plt = PltPoints(home.out() / "2004-08-07.plt");
  ASSERT_FALSE(plt.empty());
  ASSERT_TRUE(WaitUntil([&] { return FirstSeen(subscriber.Take()).size() >= plt.size(); }, 100));
  EXPECT_EQ(FirstSeen(subscriber.Take()), plt);

  // A CA that did not sign the broker's certificate: one line, no publishing.
  std::ofstream(home.config() / "Brenix" / "publish", std::ios::app)
      << "ca-file = /etc/ssl/certs/ca-certificates.crt\n";
  auto logger = StartLogger("0", url);
  receiver.Send(parts_[1]);
  std::this_thread::sleep_for(3s);
  const auto result = logger->Stop(SIGINT);
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_NE(result.err.find("pathmere-cli: broker at 127.0.0.1:" + std::to_string(broker.tlsPort()) +
                            ": TLS refused, certificate not trusted: not signed by the CA file "
                            "/etc/ssl/certs/ca-certificates.crt, retrying\n"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(result.err.find("publishing to"), std::string::npos) << result.err;
  EXPECT_GT(PltPoints(home.out() / "2004-08-07.plt").size(), plt.size());
}

TEST_F(PublishTest, AReplayIsPublishedAsABacklogWithTheLastPointRetained) {
  Subscriber subscriber(broker, true, "test-subscriber");
  ASSERT_TRUE(WaitUntil([&] { return subscriber.connected(); }, 100));
  const auto replay = testing::RunCommand({PATHMERE_CLI_PATH, "replay", log_.string(), "--output",
                                           home.out().string(), "--publish", broker.url()},
                                          home.Environment("UTC"));
  ASSERT_EQ(replay.exitStatus, 0) << replay.err;
  const std::vector<Point> plt = PltPoints(home.out() / "2004-08-07.plt");
  ASSERT_GT(plt.size(), 12u);
  ASSERT_TRUE(WaitUntil([&] { return FirstSeen(subscriber.Take()).size() >= plt.size(); }, 100));
  EXPECT_EQ(FirstSeen(subscriber.Take()), plt);
  Subscriber late(broker, false, "test-late");
  ASSERT_TRUE(WaitUntil([&] { return !late.Take().empty(); }, 100));
  EXPECT_EQ(late.Take(), std::vector<Point>{plt.back()});
}

// TLS or nothing: each refusal names its cause, the replay and the
// collector exit 1, and the vehicle never logs in without TLS (the plain
// listener's log would name its client id).
TEST_F(PublishTest, TlsIsAllOrNothingAndEachRefusalNamesItsCause) {
  ASSERT_NE(broker.tlsPort(), 0) << "openssl could not make the test certificates";
  const std::string plain = "127.0.0.1:" + std::to_string(broker.port());
  const std::string tls = "127.0.0.1:" + std::to_string(broker.tlsPort());
  const std::string misnamed = "localhost:" + std::to_string(broker.tlsPort());
  const std::string missing = (home.root() / "no-such-ca.crt").string();
  const std::string system = "/etc/ssl/certs/ca-certificates.crt";
  struct Row {
    std::string where;
    std::string ca;
    std::string cause;
  };
  const Row rows[] = {
      {plain, missing, "the CA file " + missing + " is missing"},
      {tls, system, "certificate not trusted: not signed by the CA file " + system},
      {misnamed, broker.caFile(), "name mismatch: the broker's certificate is not for localhost"},
      {plain, broker.caFile(), "not a TLS port"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.cause);
    std::ofstream(home.config() / "Brenix" / "publish", std::ios::app) << "ca-file = " << row.ca << "\n";
    const auto replay = testing::RunCommand({PATHMERE_CLI_PATH, "replay", log_.string(), "--output",
                                             home.out().string(), "--publish", "mqtts://car@" + row.where},
                                            home.Environment("UTC"));
    EXPECT_EQ(replay.exitStatus, 1) << replay.err;
    EXPECT_NE(replay.err.find("pathmere-cli: cannot publish: broker at " + row.where + ": TLS refused, " +
                              row.cause),
              std::string::npos)
        << replay.err;
    const auto collect = testing::RunCommand({PATHMERE_CLI_PATH, "collect", "mqtts://collector@" + row.where,
                                              "--output", (home.root() / "fleet").string()},
                                             home.Environment("UTC"));
    EXPECT_EQ(collect.exitStatus, 1) << collect.err;
    EXPECT_NE(collect.err.find("pathmere-cli: cannot collect: broker at " + row.where + ": TLS refused, " +
                               row.cause),
              std::string::npos)
        << collect.err;
  }
  broker.Stop();
  EXPECT_EQ(broker.log().find(" as pathmere/car/van7"), std::string::npos) << broker.log();
  EXPECT_EQ(broker.log().find(" as pathmere-collector-collector"), std::string::npos) << broker.log();
}

// A clean end (a replay, a logger stopped) sends no last will; a logger
// killed does.
TEST_F(PublishTest, OnlyALoggerThatDiesLeavesItsWill) {
  Subscriber subscriber(broker, true, "test-subscriber");
  ASSERT_TRUE(WaitUntil([&] { return subscriber.connected(); }, 100));
  const auto replay = testing::RunCommand({PATHMERE_CLI_PATH, "replay", log_.string(), "--output",
                                           home.out().string(), "--publish", broker.url()},
                                          home.Environment("UTC"));
  ASSERT_EQ(replay.exitStatus, 0) << replay.err;
  auto logger = StartLogger();
  receiver.Send(parts_[0]);
  ASSERT_TRUE(OutboxEmpty());
  ASSERT_EQ(logger->Stop(SIGTERM).exitStatus, 0);
  std::this_thread::sleep_for(1s);
  subscriber.Take();
  EXPECT_EQ(subscriber.wills(), 0);
  logger = StartLogger();
  ASSERT_TRUE(OutboxEmpty());
  logger->Kill();
  EXPECT_TRUE(WaitUntil(
      [&] {
        subscriber.Take();
        return subscriber.wills() == 1;
      },
      50));
}

// Each replay outbox is one vehicle's at one broker: a replay while another
// holds it is refused before it writes anything, and a replay as another
// user has an outbox of its own, so no point goes out under another name.
TEST_F(PublishTest, ReplaysOfOneVehicleNeverShareAnOutbox) {
  const fs::path replays = home.root() / ".local" / "state" / "pathmere" / "outbox-replay" /
                           ("mqtt_127.0.0.1_" + std::to_string(broker.port()));
  fs::create_directories(replays / "car" / "van7");
  const int held = open((replays / "car" / "van7" / "lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  const auto refused = testing::RunCommand({PATHMERE_CLI_PATH, "replay", log_.string(), "--output",
                                            home.out().string(), "--publish", broker.url()},
                                           home.Environment("UTC"));
  EXPECT_EQ(refused.exitStatus, 1);
  EXPECT_NE(
      refused.err.find("pathmere-cli: cannot publish: another replay publishes as owntracks/car/van7 to " +
                       broker.url() + " now"),
      std::string::npos)
      << refused.err;
  EXPECT_FALSE(fs::exists(home.out() / "2004-08-07.plt"));
  const auto other = testing::RunCommand({PATHMERE_CLI_PATH, "replay", log_.string(), "--output",
                                          home.out().string(), "--publish", broker.url("collector")},
                                         home.Environment("UTC"));
  EXPECT_EQ(other.exitStatus, 0) << other.err;
  EXPECT_TRUE(fs::exists(replays / "collector" / "van7" / "cursor"));
  close(held);
}

// An outbox that cannot be written: the day files are whole, and the replay
// exits 1 saying how many points the broker will not get.
TEST_F(PublishTest, AReplayWhoseOutboxCannotBeWrittenExitsOne) {
  const fs::path state = home.root() / ".local" / "state" / "pathmere";
  fs::create_directories(state);
  std::ofstream(state / "outbox-replay") << "not a folder\n";
  const auto replay = testing::RunCommand({PATHMERE_CLI_PATH, "replay", log_.string(), "--output",
                                           home.out().string(), "--publish", broker.url()},
                                          home.Environment("UTC"));
  EXPECT_EQ(replay.exitStatus, 1);
  const size_t points = PltPoints(home.out() / "2004-08-07.plt").size();
  EXPECT_GT(points, 12u);
  EXPECT_NE(
      replay.err.find("pathmere-cli: " + std::to_string(points) + " points not kept for the broker (outbox "),
      std::string::npos)
      << replay.err;
}

// A full disk under the logger's outbox: the points wait in memory, status
// says so, and once there is room every point of the track reaches the
// broker, in order.
TEST_F(PublishTest, AFullOutboxKeepsItsPointsInMemoryUntilThereIsRoom) {
  const fs::path state = home.root() / ".local" / "state" / "pathmere";
  fs::create_directories(state);
  if (mount("pathmere-test", state.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=128k,mode=0755") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs at " << state << " (" << std::strerror(errno)
                 << "): this test needs root or CAP_SYS_ADMIN";
  }
  struct Unmount {
    fs::path at;
    ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
  } unmount{state};
  Subscriber subscriber(broker, true, "test-subscriber");
  ASSERT_TRUE(WaitUntil([&] { return subscriber.connected(); }, 100));
  auto logger = StartLogger();
  {
    std::ofstream filler(state / "filler", std::ios::binary);
    const std::string block(4096, 'x');
    for (int i = 0; i < 64 && filler.write(block.data(), block.size()); ++i) filler.flush();
  }
  receiver.Send(parts_[0]);
  EXPECT_TRUE(WaitUntil(
      [&] {
        const auto status = testing::RunCommand({PATHMERE_CLI_PATH, "status"}, home.Environment("UTC"));
        return status.out.find(" of them in memory (cannot write ") != std::string::npos &&
               status.out.find("No space left on device)") != std::string::npos;
      },
      100));
  fs::remove(state / "filler");
  receiver.Send(parts_[1]);
  ASSERT_TRUE(OutboxEmpty());
  const auto result = logger->Stop(SIGINT);
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_NE(result.err.find("points wait in memory until it can be written"), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("outbox written again"), std::string::npos) << result.err;
  const std::vector<Point> plt = PltPoints(home.out() / "2004-08-07.plt");
  ASSERT_GT(plt.size(), 8u);
  ASSERT_TRUE(WaitUntil([&] { return FirstSeen(subscriber.Take()).size() >= plt.size(); }, 100));
  EXPECT_EQ(FirstSeen(subscriber.Take()), plt);
}

// Faults of the broker are one line each; recording goes on untouched.
TEST_F(PublishTest, ARefusedLoginAndAnUnknownHostAreToldAndRecordingGoesOn) {
  const fs::path wrong = home.root() / "wrong-password";
  std::ofstream(wrong) << "not the password\n";
  fs::permissions(wrong, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
  std::ofstream(home.config() / "Brenix" / "publish", std::ios::app)
      << "password-file = " << wrong.string() << "\n";
  auto logger = StartLogger();
  receiver.Send(parts_[0]);
  std::this_thread::sleep_for(3s);
  const auto result = logger->Stop(SIGINT);
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_NE(result.err.find("pathmere-cli: broker at 127.0.0.1:" + std::to_string(broker.port()) +
                            " refused the connection: Connection Refused: not authorised., retrying\n"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(result.err.find("publishing to"), std::string::npos) << result.err;
  EXPECT_GT(PltPoints(home.out() / "2004-08-07.plt").size(), 0u);

  // A password file that others may read is refused at the start, and so is
  // an address that is not an MQTT one.
  fs::permissions(wrong, fs::perms::group_read, fs::perm_options::add);
  const auto readable =
      testing::RunCommand({PATHMERE_CLI_PATH, "record", "--publish", broker.url()}, home.Environment("UTC"));
  EXPECT_EQ(readable.exitStatus, 2);
  EXPECT_EQ(readable.err, "pathmere-cli: cannot publish: the password file " + wrong.string() +
                              " may be read by others: chmod 600 " + wrong.string() + "\n");
  const auto notUrl =
      testing::RunCommand({PATHMERE_CLI_PATH, "record", "--publish", "http://x"}, home.Environment("UTC"));
  EXPECT_EQ(notUrl.exitStatus, 2);
  EXPECT_EQ(
      notUrl.err,
      "pathmere-cli: cannot publish: the publish address must begin with mqtt:// or mqtts://: http://x\n");
}

// The logger and the collector on one broker, the collector stopped and
// started again mid-drive: what it missed waits in its session at the
// broker, and its day file has the logger's .plt line for line. The lines
// differ only below what a message carries: the time column's fraction of
// a second, lat and lon beyond 6 decimals, the altitude beyond whole metres.
TEST_F(PublishTest, TheCollectorsDayFileIsTheLoggersTrackThroughACollectorRestart) {
  auto collector = StartCollector(broker.url("collector"));
  auto logger = StartLogger();
  receiver.Send(parts_[0]);
  std::this_thread::sleep_for(3s);
  // Both answer `status`, the logger first.
  const auto status = testing::RunCommand({PATHMERE_CLI_PATH, "status"}, home.Environment("UTC"));
  EXPECT_EQ(status.out.rfind("Pathmere (pathmere-cli record, process ", 0), 0u) << status.out;
  EXPECT_NE(status.out.find("\n\nPathmere collector (pathmere-cli collect, process "), std::string::npos)
      << status.out;
  ASSERT_EQ(collector->Stop(SIGTERM).exitStatus, 0);
  receiver.Send(parts_[1]);
  std::this_thread::sleep_for(2s);
  collector = StartCollector(broker.url("collector"));
  receiver.Send(parts_[2]);
  std::this_thread::sleep_for(2s);
  ASSERT_TRUE(OutboxEmpty());
  ASSERT_EQ(logger->Stop(SIGINT).exitStatus, 0);
  const std::vector<Point> plt = PltPoints(home.out() / "2004-08-07.plt");
  ASSERT_GT(plt.size(), 12u);
  // The broker has everything: until the collector has heard nothing for a
  // second.
  ASSERT_TRUE(WaitUntil(
      [&] {
        const auto asked = testing::RunCommand({PATHMERE_CLI_PATH, "status"}, home.Environment("UTC"));
        return asked.out.find(" taken, the last ") != std::string::npos &&
               asked.out.find(" taken, the last 0 s ago") == std::string::npos;
      },
      50));
  const auto result = collector->Stop(SIGTERM);
  ASSERT_EQ(result.exitStatus, 0) << result.err;

  const fs::path collected = home.root() / "fleet" / "car" / "van7" / "2004-08-07.plt";
  EXPECT_EQ(PltPoints(collected), plt);
  // The header names the same local day in both.
  const std::string ours = testing::ReadWholeFile(home.out() / "2004-08-07.plt");
  const std::string theirs = testing::ReadWholeFile(collected);
  EXPECT_EQ(theirs.substr(0, theirs.find("\r\n", theirs.find("Track-"))),
            ours.substr(0, ours.find("\r\n", ours.find("Track-"))));
}

// An unknown host: one line from the logger and one from the collector,
// however long it lasts; the logger's track is written as ever.
TEST_F(PublishTest, AnUnknownHostIsOneLineAndRecordingGoesOn) {
  const std::string url = "mqtt://car@no-such-host.invalid";
  auto collector = StartCollector(url, "the host name is not known");
  auto logger = StartLogger("0", url);
  receiver.Send(parts_[0]);
  std::this_thread::sleep_for(4s);
  const auto recorded = logger->Stop(SIGINT);
  const auto collected = collector->Stop(SIGTERM);
  ASSERT_EQ(recorded.exitStatus, 0) << recorded.err;
  ASSERT_EQ(collected.exitStatus, 0) << collected.err;
  const std::string line =
      "pathmere-cli: broker at no-such-host.invalid:1883: the host name is not known, retrying\n";
  for (const auto* err : {&recorded.err, &collected.err}) {
    const size_t first = err->find(line);
    EXPECT_NE(first, std::string::npos) << *err;
    EXPECT_EQ(err->find(line, first + 1), std::string::npos) << *err;
    EXPECT_EQ(err->find("broker at", first + line.size()), std::string::npos) << *err;
  }
  EXPECT_FALSE(PltPoints(home.out() / "2004-08-07.plt").empty());
}

}  // namespace
}  // namespace pathmere
