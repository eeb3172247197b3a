// Live capture through the whole program on pseudo-terminals linked as COMn:
// the receiver goes away and comes back, the speed changes, and the lines a
// journal gets tell each change once.
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/port_watch.h"
#include "app/program.h"
#include "app/state_lines.h"
#include "platform/file_system_posix.h"
#include "platform/receiver_port.h"
#include "settings/settings_operations.h"
#include "support/fake_tick_clock.h"
#include "support/nmea_builder.h"
#include "support/recording_panel.h"
#include "support/scoped_env.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;

class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master_);
    unlockpt(master_);
    name_ = ptsname(master_);
  }
  ~PseudoTerminal() { HangUp(); }
  void HangUp() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }
  void Send(const std::string& text) {
    ASSERT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  const std::string& name() const { return name_; }

 private:
  int master_ = -1;
  std::string name_;
};

class SerialCaptureTest : public ::testing::Test {
 protected:
  SerialCaptureTest() {
    fs::create_directories(ports);
    program.AttachPanel(&panel);
    program.SetOutputFolder(L"\\out");
    program.SelectPort(2);
    program.Start();
    program.Tick();  // the start-up tick: no action here
  }
  void LinkCom2(const PseudoTerminal& terminal) {
    fs::remove(ports / "COM2");
    fs::create_symlink(terminal.name(), ports / "COM2");
  }
  // A second of fixes standing at one place, GGA and RMC.
  std::string Second(int i) {
    return testing::Gga(36000.0 + i, 1.0) + "\r\n" + testing::Rmc({.timeOfDay = 36000.0 + i}) + "\r\n";
  }
  // The status area as the tick left it; cleared for the next tick. The
  // clock moves a second per tick; the journal's lines go to `lines`.
  std::string Tick() {
    panel.texts[kStatusArea].clear();
    program.Tick();
    clock.now += 1000;
    lines = stateLines.Observe(program);
    return panel.Status();
  }

  testing::TempFolder home;
  fs::path ports = home.path() / "config" / "Brenix" / "ports";
  testing::ScopedEnv config{"XDG_CONFIG_HOME", (home.path() / "config").c_str()};
  PosixFileSystem files{home.path().string()};
  testing::FakeTickClock clock{1000};
  TickHost host;
  testing::RecordingPanel panel;
  ReceiverPort port;  // on the ports folder of XDG_CONFIG_HOME above
  PortWatch watchedPort{port, clock, &port};
  Program program{files, clock, watchedPort, host};
  StateLines stateLines{watchedPort, clock};
  std::vector<std::string> lines;
};

using Lines = std::vector<std::string>;

TEST_F(SerialCaptureTest, UnpluggedReceiverIsReopenedEveryTickUntilItIsBack) {
  auto receiver = std::make_unique<PseudoTerminal>();
  LinkCom2(*receiver);
  EXPECT_EQ(Tick(), "COM2 opening...\r\n");
  for (int i = 0; i < 3; ++i) receiver->Send(Second(i));
  Tick();
  EXPECT_EQ(program.capture().portOpen, 1);
  EXPECT_EQ(program.fixState().currentFix.timeOfDay, 36002.0);

  receiver->HangUp();  // unplugged
  EXPECT_EQ(Tick(), "COM-port read error!\r\n");
  EXPECT_EQ(program.capture().portOpen, 0);
  fs::remove(ports / "COM2");
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(Tick(), "COM2 opening...\r\nCOM-port open error (1)!\r\n");
  }

  receiver = std::make_unique<PseudoTerminal>();  // plugged in again
  LinkCom2(*receiver);
  EXPECT_EQ(Tick(), "COM2 opening...\r\n");
  for (int i = 3; i < 20; ++i) receiver->Send(Second(i));
  Tick();
  EXPECT_EQ(program.fixState().currentFix.timeOfDay, 36019.0);

  program.ShutDown();
  const std::string track = testing::ReadWholeFile(home.path() / "out" / "2026-12-06.plt");
  EXPECT_NE(track.find(", 06.12.26, 10:00:01\r\n"), std::string::npos) << track;
  EXPECT_NE(track.find(", 06.12.26, 10:00:11\r\n"), std::string::npos) << track;
}

TEST_F(SerialCaptureTest, ChangingTheSpeedReopensThePortAtTheNextTick) {
  PseudoTerminal receiver;
  LinkCom2(receiver);
  Tick();
  ASSERT_EQ(program.capture().portOpen, 1);
  program.SelectSpeed(9600);
  EXPECT_EQ(program.capture().portOpen, 0);
  EXPECT_EQ(Tick(), "COM2 opening...\r\n");
  EXPECT_EQ(program.capture().portOpen, 1);
  program.SelectSpeed(12345);  // no such line speed
  EXPECT_EQ(Tick(), "COM2 opening...\r\nCOM-port open error (4)!\r\n");
  EXPECT_EQ(Tick(), "COM2 opening...\r\nCOM-port open error (4)!\r\n");
}

// Each change is told once, in the tick it happens; a state that lasts says
// nothing more.
TEST_F(SerialCaptureTest, JournalLinesTellEachChangeOnce) {
  auto receiver = std::make_unique<PseudoTerminal>();
  LinkCom2(*receiver);
  Tick();
  EXPECT_EQ(lines, Lines{"COM2 (" + receiver->name() + ") open at 4800 bit/s"});
  int second = 0;
  auto send = [&](const char* status, double hdop = 1.0, double north = 0.0) {
    receiver->Send(testing::Gga(36000.0 + second, hdop) + "\r\n" +
                   testing::Rmc({.timeOfDay = 36000.0 + second, .northMetres = north, .status = status}) +
                   "\r\n");
    ++second;
  };
  send("A");
  send("A");
  Tick();
  EXPECT_EQ(lines, Lines{"first fix 48.00000 N 11.00000 E"});
  send("A");
  Tick();
  EXPECT_EQ(lines, Lines{});

  for (int i = 0; i < 2; ++i) {
    send("V");
    Tick();
    EXPECT_EQ(lines, i == 0 ? Lines{"fix lost"} : Lines{});
  }
  send("A");
  Tick();
  EXPECT_EQ(lines, Lines{"fix again after 2 s"});

  // Poor HDOP: seven fixes dropped, then one taken; shorter runs are not told.
  for (int i = 0; i < 8; ++i) send("A", 9.5);
  send("A");
  Tick();
  EXPECT_EQ(lines, Lines{"dropped 7 fixes in a row"});
  send("A", 4.0);
  send("A");
  Tick();
  EXPECT_EQ(lines, Lines{});

  // Silent for as long as the status area's "No data", then data again.
  for (int i = 1; i <= 8; ++i) {
    Tick();
    EXPECT_EQ(lines, i == 6 ? Lines{"receiver silent for 6 s"} : Lines{}) << i;
  }
  send("A");
  Tick();
  EXPECT_EQ(lines, Lines{"data again after 9 s"});

  // Noise (a wrong line speed, a binary protocol) is not silence.
  for (int i = 1; i <= 6; ++i) {
    receiver->Send(std::string("\xB5\x62\x01\x07\x5C\x00\xFF\x00", 8));
    Tick();
    EXPECT_EQ(lines, i == 6 ? Lines{"bytes come but no sentences for 6 s"} : Lines{}) << i;
  }
  send("A");
  Tick();
  EXPECT_EQ(lines, Lines{"data again after 7 s"});

  // Unplugged, gone for a while (a missing device is no news), back.
  receiver->HangUp();
  Tick();
  EXPECT_EQ(lines, Lines{"COM2 read error: device gone, retrying"});
  fs::remove(ports / "COM2");
  for (int i = 0; i < 3; ++i) {
    Tick();
    EXPECT_EQ(lines, Lines{});
  }
  receiver = std::make_unique<PseudoTerminal>();
  LinkCom2(*receiver);
  Tick();
  EXPECT_EQ(lines, Lines{"COM2 back after 4 s"});
  EXPECT_NE(watchedPort.Describe().find("open at 4800 bit/s for "), std::string::npos)
      << watchedPort.Describe();

  // A speed the line cannot take is told once, however often it is tried.
  program.SelectSpeed(12345);
  for (int i = 0; i < 3; ++i) {
    Tick();
    EXPECT_EQ(lines, i == 0 ? Lines{"COM2 (" + receiver->name() + ") refuses 12345 bit/s: Invalid argument"}
                            : Lines{});
  }

  // Files that cannot be written, and can be again.
  program.SelectSpeed(4800);
  Tick();
  EXPECT_EQ(lines, Lines{"COM2 (" + receiver->name() + ") open at 4800 bit/s"});
  send("A");
  Tick();
  fs::create_directories(home.path() / "out");
  fs::rename(home.path() / "out", home.path() / "moved");
  std::ofstream(home.path() / "out") << "in the folder's place";
  program.RequestFlush();
  Tick();
  EXPECT_EQ(lines,
            (Lines{"cannot create the folder of 2026-12-06.plt: File exists, 2 lines kept in memory",
                   "cannot create the folder of 2026-12-06.rte: File exists, 1 line kept in memory",
                   "cannot create the folder of 2026-12-06.gpx: File exists, 2 lines kept in memory"}));
  program.RequestFlush();
  Tick();
  EXPECT_EQ(lines, Lines{});
  fs::remove(home.path() / "out");
  fs::rename(home.path() / "moved", home.path() / "out");
  program.RequestFlush();
  Tick();
  EXPECT_EQ(lines, (Lines{"2026-12-06.plt written again", "2026-12-06.rte written again",
                          "2026-12-06.gpx written again"}));
}

}  // namespace
}  // namespace pathmere
