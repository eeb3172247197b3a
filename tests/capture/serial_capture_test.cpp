// Live capture through the whole program on pseudo-terminals linked as COMn:
// the receiver goes away and comes back, the speed changes.
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "app/program.h"
#include "platform/serial_posix.h"
#include "platform/file_system_posix.h"
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
  void Send(const std::string& text) { ASSERT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size())); }
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
  // The status area as the tick left it; cleared for the next tick.
  std::string Tick() {
    panel.texts[kStatusArea].clear();
    program.Tick();
    return panel.Status();
  }

  testing::TempFolder home;
  fs::path ports = home.path() / "config" / "Brenix" / "ports";
  testing::ScopedEnv config{"XDG_CONFIG_HOME", (home.path() / "config").c_str()};
  PosixFileSystem files{home.path().string()};
  testing::FakeTickClock clock{1000};
  TickHost host;
  testing::RecordingPanel panel;
  PosixSerialPort port;  // on the ports folder of XDG_CONFIG_HOME above
  Program program{files, clock, port, host};
};

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

}  // namespace
}  // namespace pathmere
