#include "platform/serial_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/child_process.h"
#include "support/scoped_env.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;
using testing::TempFolder;

// The receiver's side of a pseudo-terminal: what is written here arrives at
// the port as if a GPS sent it.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
      const char* name = ptsname(master_);
      if (name != nullptr) slave_ = name;
    }
  }
  ~PseudoTerminal() { CloseMaster(); }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool ok() const { return master_ >= 0 && !slave_.empty(); }
  const std::string& slave() const { return slave_; }
  void Send(const std::string& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    LinkPort(3, pty_.slave());
  }
  void LinkPort(int number, const fs::path& target) {
    fs::create_symlink(target, folder_.path() / ("COM" + std::to_string(number)));
  }
  // Reads until `count` bytes came or the port fell silent for a while.
  std::string ReadBytes(size_t count) {
    std::string got;
    uint8_t buffer[1024];
    for (int silentReads = 0; got.size() < count && silentReads < 20;) {
      const int32_t n = port_.ReadPort(buffer, sizeof buffer);
      if (n < 0) break;
      if (n == 0) ++silentReads;
      got.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
    }
    return got;
  }

  TempFolder folder_;
  PseudoTerminal pty_;
  int32_t portNumber_ = 3;
  int32_t portSpeed_ = 4800;
  PosixSerialPort port_{folder_.path()};
};

TEST_F(SerialPortTest, EveryByteValueArrivesUnchanged) {
  ASSERT_EQ(port_.OpenPort(portNumber_, portSpeed_), 0);
  EXPECT_EQ(port_.lastOpenErrno(), 0);
  // CR, ^C, XON/XOFF, DEL and high bytes would be translated, swallowed or
  // turned into signals by a tty that is not raw.
  std::string all;
  for (int value = 0; value < 256; ++value) all.push_back(static_cast<char>(value));
  pty_.Send(all);
  EXPECT_EQ(ReadBytes(all.size()), all);
}

TEST_F(SerialPortTest, SilentLineReadsAsNothingWhileHangUpReadsAsFailure) {
  ASSERT_EQ(port_.OpenPort(portNumber_, portSpeed_), 0);
  uint8_t buffer[64];
  EXPECT_EQ(port_.ReadPort(buffer, sizeof buffer), 0);

  pty_.Send("$GP");
  EXPECT_EQ(ReadBytes(3), "$GP");
  pty_.CloseMaster();
  EXPECT_EQ(port_.ReadPort(buffer, sizeof buffer), -2);
  EXPECT_EQ(port_.ReadPort(buffer, sizeof buffer), -2);
}

TEST_F(SerialPortTest, ClosedPortReadsMinusOne) {
  uint8_t buffer[16];
  EXPECT_EQ(port_.ReadPort(buffer, sizeof buffer), -1);
  ASSERT_EQ(port_.OpenPort(portNumber_, portSpeed_), 0);
  port_.ClosePort();
  EXPECT_FALSE(port_.IsOpen());
  pty_.Send("x");
  EXPECT_EQ(port_.ReadPort(buffer, sizeof buffer), -1);
}

TEST_F(SerialPortTest, EveryOfferedSpeedOpensAndAnUnknownOneIsRefused) {
  for (int32_t speed : {4800, 9600, 19200, 38400, 57600, 115200}) {
    portSpeed_ = speed;
    EXPECT_EQ(port_.OpenPort(portNumber_, portSpeed_), 0) << speed;
  }
  // A pseudo-terminal takes every speed termios can name, so only a number
  // without a termios constant can be refused.
  portSpeed_ = 12345;
  EXPECT_EQ(port_.OpenPort(portNumber_, portSpeed_), 4);
  EXPECT_FALSE(port_.IsOpen());
  uint8_t buffer[16];
  EXPECT_EQ(port_.ReadPort(buffer, sizeof buffer), -1);
}

// A driver may report success and keep another speed or framing; the port
// reads the line back. A pseudo-terminal keeps whatever it is given, so the
// drivers here change the settings on their way to it.
TEST_F(SerialPortTest, SettingsTheDriverDidNotTakeGiveCodeFour) {
  struct Case {
    const char* legend;
    PosixSerialPort::LineSetter driver;
    int32_t expected;
  };
  const Case cases[] = {
      {"takes everything", [](int fd, int when, const termios* line) { return tcsetattr(fd, when, line); },
       0},
      {"keeps its own speed",
       [](int fd, int when, const termios* line) {
         termios kept = *line;
         cfsetspeed(&kept, B9600);
         return tcsetattr(fd, when, &kept);
       },
       4},
      {"keeps two stop bits",
       [](int fd, int when, const termios* line) {
         termios kept = *line;
         kept.c_cflag |= CSTOPB;
         return tcsetattr(fd, when, &kept);
       },
       4},
      {"input speed 0, which means the output speed",
       [](int fd, int when, const termios* line) {
         termios kept = *line;
         cfsetispeed(&kept, B0);
         return tcsetattr(fd, when, &kept);
       },
       0},
  };
  for (const Case& c : cases) {
    PosixSerialPort port(folder_.path());
    port.SetLineSetter(c.driver);
    EXPECT_EQ(port.OpenPort(portNumber_, portSpeed_), c.expected) << c.legend;
    EXPECT_EQ(port.IsOpen(), c.expected == 0) << c.legend;
  }
}

// Exclusive mode keeps later programs out, but not one that had the device
// open first: it is named, so the user can stop it.
TEST_F(SerialPortTest, OtherProcessesHoldingTheDeviceAreNamed) {
  ASSERT_EQ(port_.OpenPort(portNumber_, portSpeed_), 0);
  EXPECT_TRUE(port_.otherHolders().empty()) << "the port's own descriptor does not count";
  port_.ClosePort();
  testing::ChildProcess holder({"/bin/sh", "-c", "exec sleep 30 <\"$0\"", pty_.slave()});
  ASSERT_TRUE(holder.started());
  std::vector<DeviceHolder> holders;
  for (int i = 0; i < 100 && holders.empty(); ++i) {
    usleep(20000);
    holders = OtherProcessesHolding(folder_.path() / "COM3");
  }
  ASSERT_EQ(holders.size(), 1u);
  EXPECT_EQ(holders[0].pid, holder.pid());
  EXPECT_EQ(DescribeHolders(holders), "sleep (pid " + std::to_string(holder.pid()) + ")");
  ASSERT_EQ(port_.OpenPort(portNumber_, portSpeed_), 0);
  EXPECT_EQ(DescribeHolders(port_.otherHolders()), DescribeHolders(holders));
  holder.Kill();
}

TEST_F(SerialPortTest, ReopeningReplacesTheOpenDevice) {
  auto openDescriptors = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  ASSERT_EQ(port_.OpenPort(portNumber_, portSpeed_), 0);
  const auto before = openDescriptors();
  ASSERT_EQ(port_.OpenPort(portNumber_, portSpeed_), 0);
  EXPECT_EQ(openDescriptors(), before);
  pty_.Send("ok");
  EXPECT_EQ(ReadBytes(2), "ok");
}

TEST_F(SerialPortTest, SecondOpenOfTheSameDeviceIsRefused) {
  ASSERT_EQ(port_.OpenPort(portNumber_, portSpeed_), 0);
  auto openAgain = [&] {
    PosixSerialPort other(folder_.path());
    return other.OpenPort(portNumber_, portSpeed_) == 1 && other.lastOpenErrno() == EBUSY;
  };
  if (geteuid() != 0) {
    EXPECT_TRUE(openAgain());
    return;
  }
  // Root ignores exclusive mode, so the second program is another user.
  fs::permissions(folder_.path(), fs::perms::all);
  fs::permissions(pty_.slave(), fs::perms::all);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    _exit(openAgain() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(SerialPortTest, DevicesThatCannotBeOpenedGiveCodeOne) {
  const fs::path plainFile = folder_.path() / "not-a-tty";
  std::ofstream(plainFile) << "$GPRMC\r\n";
  LinkPort(5, folder_.path() / "unplugged");
  LinkPort(6, plainFile);

  struct Case {
    const char* legend;
    int32_t portNumber;
    fs::path expectedDevice;
    int expectedErrno;
  };
  const Case cases[] = {
      {"link to a device that is gone", 5, folder_.path() / "COM5", ENOENT},
      {"link to a plain file", 6, folder_.path() / "COM6", ENOTTY},
      {"number beyond the defaults, no link", 20, folder_.path() / "COM20", ENOENT},
      {"negative number", -1, folder_.path() / "COM-1", ENOENT},
  };
  for (const Case& c : cases) {
    portNumber_ = c.portNumber;
    EXPECT_EQ(port_.OpenPort(portNumber_, portSpeed_), 1) << c.legend;
    EXPECT_FALSE(port_.IsOpen()) << c.legend;
    EXPECT_EQ(port_.devicePath(), c.expectedDevice.string()) << c.legend;
    EXPECT_EQ(port_.lastOpenErrno(), c.expectedErrno) << c.legend;
  }
}

TEST(SerialPortResolveTest, LinksWinOverTheDefaultTable) {
  TempFolder folder;
  fs::create_symlink("/dev/serial/by-id/usb-gps", folder.path() / "COM0");
  struct Case {
    int32_t portNumber;
    fs::path expected;
  };
  const Case cases[] = {
      {0, folder.path() / "COM0"},
      {1, "/dev/ttyUSB1"},
      {3, "/dev/ttyUSB3"},
      {4, "/dev/ttyACM0"},
      {7, "/dev/ttyACM3"},
      {8, "/dev/rfcomm0"},
      {11, "/dev/rfcomm3"},
      {12, "/dev/ttyS0"},
      {15, "/dev/ttyS3"},
      {16, ""},
      {-1, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PosixSerialPort::ResolveDevice(c.portNumber, folder.path()), c.expected)
        << "COM" << c.portNumber;
  }
}

TEST(SerialPortResolveTest, PortsFolderFollowsXdgConfigHome) {
  {
    ScopedEnv config("XDG_CONFIG_HOME", "/srv/config");
    EXPECT_EQ(PosixSerialPort::DefaultPortsFolder(), fs::path("/srv/config/Brenix/ports"));
  }
  ScopedEnv noConfig("XDG_CONFIG_HOME", nullptr);
  ScopedEnv home("HOME", "/home/walker");
  EXPECT_EQ(PosixSerialPort::DefaultPortsFolder(), fs::path("/home/walker/.config/Brenix/ports"));
}

}  // namespace
}  // namespace pathmere
