// The real program started twice: the first logs from a pseudo-terminal
// posing as the receiver, the second hands over its command and ends.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/settings_store_file.h"
#include "settings/settings_operations.h"
#include "support/child_process.h"
#include "support/nmea_builder.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A receiver on the master side of a pseudo-terminal that sends a second of
// fixes every few milliseconds until it is destroyed. Writes never block: a
// full terminal queue just drops the rest.
class StreamingReceiver {
 public:
  StreamingReceiver() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    grantpt(master_);
    unlockpt(master_);
    slaveName_ = ptsname(master_);
    sender_ = std::thread([this] {
      for (int second = 0; !stop_ && second < 20000; ++second) {
        const double time = 43200.0 + second;
        const std::string fix =
            testing::Gga(time, 1.0) + "\r\n" +
            testing::Rmc({.timeOfDay = time, .northMetres = 1.5 * second, .speedKmh = 5.4}) + "\r\n";
        const ssize_t ignored = write(master_, fix.data(), fix.size());
        (void)ignored;
        std::this_thread::sleep_for(10ms);
      }
    });
  }
  ~StreamingReceiver() {
    stop_ = true;
    sender_.join();
    close(master_);
  }
  const std::string& slaveName() const { return slaveName_; }

 private:
  int master_ = -1;
  std::string slaveName_;
  std::atomic<bool> stop_{false};
  std::thread sender_;
};

template <class Done>
bool WaitUntil(Done done) {
  for (int i = 0; i < 300 && !done(); ++i) std::this_thread::sleep_for(100ms);
  return done();
}

TEST(TwoStartsTest, SecondStartHandsItsCodeToTheRunningProgramAndEnds) {
  testing::TempFolder home;
  const fs::path config = home.path() / "config";
  const fs::path runtime = home.path() / "run";
  const fs::path device = home.path() / "device";
  fs::create_directories(config / "Brenix" / "ports");
  fs::create_directories(runtime);
  fs::create_directories(device);
  fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
  StreamingReceiver receiver;
  fs::create_symlink(receiver.slaveName(), config / "Brenix" / "ports" / "COM0");
  {
    FileSettingsStore store(config / "Brenix");
    Settings settings;
    settings.portNumber = 0;
    SaveSettings(store, settings);
    SaveOutputDir(store, L"\\Pathmere");
  }
  const std::vector<std::string> env = {
      "HOME=" + home.path().string(),       "PATHMERE_ROOT=" + device.string(),
      "XDG_CONFIG_HOME=" + config.string(), "XDG_RUNTIME_DIR=" + runtime.string(),
      "QT_QPA_PLATFORM=offscreen",          "TZ=UTC"};

  // The first start ignores its switch and becomes the running instance.
  testing::ChildProcess first({PATHMERE_GUI_PATH, "/wpth"}, env);
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(runtime / "PATHMERE-Pathmere"); }));

  // Points collect in memory; "/wpth" asks for a flush, so the day's track
  // file appears once the forwarded code has been acted on.
  const fs::path track = device / "Pathmere" / "2026-12-06.plt";
  int forwards = 0;
  const bool flushed = WaitUntil([&] {
    const auto second = testing::RunCommand({PATHMERE_GUI_PATH, "/wpth"}, env);
    EXPECT_EQ(second.exitStatus, 0) << second.err;
    ++forwards;
    return fs::exists(track);
  });
  ASSERT_TRUE(flushed) << first.Output();
  EXPECT_GT(forwards, 0);

  // The headless tool asks the window what it is doing.
  const auto status = testing::RunCommand({PATHMERE_CLI_PATH, "status"}, env);
  EXPECT_EQ(status.exitStatus, 0) << status.err;
  EXPECT_NE(status.out.find("Pathmere (pathmere, process "), std::string::npos) << status.out;
  EXPECT_NE(status.out.find("Port: COM0 ("), std::string::npos) << status.out;
  EXPECT_NE(status.out.find("2026-12-06.plt   "), std::string::npos) << status.out;

  const auto show = testing::RunCommand({PATHMERE_GUI_PATH}, env);
  EXPECT_EQ(show.exitStatus, 0) << show.err;
  const auto nothing = testing::RunCommand({PATHMERE_GUI_PATH, "/noup"}, env);
  EXPECT_EQ(nothing.exitStatus, 0) << nothing.err;
  // A mistyped switch is still handed over as it was (the window shown),
  // but the start says so and fails, so a hotkey's typo is found.
  struct Mistyped {
    std::vector<std::string> command;
    const char* told;
  };
  const Mistyped mistyped[] = {
      {{PATHMERE_GUI_PATH, "/wtph"}, "pathmere: unknown switch /wtph ("},
      {{PATHMERE_CLI_PATH, "/wtph"}, "pathmere-cli: unknown switch /wtph ("},
      {{PATHMERE_CLI_PATH, "wpth"}, "pathmere-cli: unknown switch wpth ("},
      {{PATHMERE_CLI_PATH, "--bogus"}, "pathmere-cli: unknown switch --bogus ("},
      {{PATHMERE_GUI_PATH, "/wpts", "-x", "/WPTH"}, "pathmere: unknown switches -x, /WPTH ("},
      {{PATHMERE_CLI_PATH, "/noup", "noup"}, "pathmere-cli: unknown switch noup ("},
  };
  for (const Mistyped& start : mistyped) {
    SCOPED_TRACE(start.command[1]);
    const auto told = testing::RunCommand(start.command, env);
    EXPECT_EQ(told.exitStatus, 2);
    EXPECT_TRUE(told.err.starts_with(start.told)) << told.err;
    EXPECT_NE(told.err.find("/wpth: a waypoint"), std::string::npos) << told.err;
    EXPECT_EQ(std::count(told.err.begin(), told.err.end(), '\n'), 1) << told.err;
  }
  // Asking for help forwards nothing and opens nothing.
  const auto help = testing::RunCommand({PATHMERE_GUI_PATH, "--help"}, env);
  EXPECT_EQ(help.exitStatus, 0) << help.err;
  EXPECT_TRUE(help.out.starts_with("Usage: pathmere [/wpth | /wpts | /noup | --version]\n")) << help.out;
  // So does asking for the version, as of pathmere-cli.
  const auto version = testing::RunCommand({PATHMERE_GUI_PATH, "--version"}, env);
  EXPECT_EQ(version.exitStatus, 0) << version.err;
  EXPECT_EQ(version.out, "pathmere " + testing::RunCommand({PATHMERE_CLI_PATH, "--version"}).out.substr(13));
  // Handing over needs no display, so a hotkey works from anywhere.
  std::vector<std::string> noDisplay = env;
  std::erase(noDisplay, "QT_QPA_PLATFORM=offscreen");
  noDisplay.insert(noDisplay.end(), {"QT_QPA_PLATFORM=", "WAYLAND_DISPLAY=", "DISPLAY="});
  const auto headless = testing::RunCommand({PATHMERE_GUI_PATH, "/wpth"}, noDisplay);
  EXPECT_EQ(headless.exitStatus, 0) << headless.err;

  // A polite stop ends through the normal shut-down, the only way to exit
  // 0, which flushes what is pending, the waypoint asked for among it.
  const auto stopped = first.Stop(SIGTERM);
  EXPECT_EQ(stopped.exitStatus, 0) << stopped.err;
  EXPECT_TRUE(fs::exists(device / "Pathmere" / "2026-12-06.wpt"));
  EXPECT_FALSE(fs::exists(runtime / "PATHMERE-Pathmere")) << "the socket goes with the program";

  // With nothing to forward to and no display, a start says what to use
  // instead, in one line, rather than Qt's abort; also where a display is
  // named but cannot be reached.
  for (const char* display : {"DISPLAY=", "DISPLAY=:9999"}) {
    SCOPED_TRACE(display);
    std::vector<std::string> without = noDisplay;
    std::erase(without, "DISPLAY=");
    without.push_back(display);
    // A program that did find a window would run on: it is given a while.
    testing::ChildProcess start({PATHMERE_GUI_PATH}, without);
    start.Reap(20000);
    const auto alone = start.Wait();
    EXPECT_EQ(alone.exitStatus, 1);
    EXPECT_TRUE(alone.err.starts_with("no display: use pathmere-cli ")) << alone.err;
    EXPECT_EQ(std::count(alone.err.begin(), alone.err.end(), '\n'), 1) << alone.err;
    EXPECT_FALSE(fs::exists(runtime / "PATHMERE-Pathmere"));
  }
}

}  // namespace
}  // namespace pathmere
