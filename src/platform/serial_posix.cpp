#include "platform/serial_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/serial_devices.h"
#include "platform/user_config_folder.h"

namespace pathmere {

namespace fs = std::filesystem;

namespace {

// VTIME is in tenths of a second: one tenth is the 100 ms the capture step
// budgets for a silent read.
constexpr int kReadTimeoutMs = 100;

struct SpeedEntry {
  int32_t bitsPerSecond;
  speed_t constant;
};

// termios knows speeds only as constants; a number without one is refused
// like a speed the driver rejects.
constexpr SpeedEntry kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedConstant(int32_t bitsPerSecond, speed_t* constant) {
  for (const SpeedEntry& entry : kSpeeds) {
    if (entry.bitsPerSecond == bitsPerSecond) {
      *constant = entry.constant;
      return true;
    }
  }
  return false;
}

std::string LinkName(int32_t portNumber) { return "COM" + std::to_string(portNumber); }

// Whether the driver runs the line at `speed`, 8N1. An input speed of 0
// means "the output speed".
bool LineTook(const termios& line, speed_t speed) {
  const speed_t input = cfgetispeed(&line);
  return cfgetospeed(&line) == speed && (input == speed || input == B0) &&
         (line.c_cflag & (CSIZE | PARENB | CSTOPB)) == CS8;
}

}  // namespace

PosixSerialPort::PosixSerialPort(fs::path portsFolder)
    : portsFolder_(std::move(portsFolder)), setLine_(&tcsetattr) {}

PosixSerialPort::~PosixSerialPort() { ClosePort(); }

fs::path PosixSerialPort::DefaultPortsFolder() {
  const fs::path config = BrenixConfigFolder();
  return config.empty() ? fs::path() : config / "ports";
}

fs::path PosixSerialPort::ResolveDevice(int32_t portNumber, const fs::path& portsFolder) {
  // The port is "COM%d:"; its link carries the name without the colon, which
  // file tools handle badly. Any entry wins, even a dangling link: the user
  // asked for that device, and its absence is the error to show.
  return SerialDeviceSurvey(portsFolder).DeviceOf(portNumber);
}

int32_t PosixSerialPort::FailOpen(int32_t code, int error) {
  lastOpenErrno_ = error;
  ClosePort();
  return code;
}

int32_t PosixSerialPort::OpenPort(int32_t portNumber, int32_t portSpeed) {
  ClosePort();
  lastOpenErrno_ = 0;
  otherHolders_.clear();

  const fs::path device =
      fixedDevice_.empty() ? ResolveDevice(portNumber, portsFolder_) : fs::path(fixedDevice_);
  if (device.empty()) {
    devicePath_ = (portsFolder_ / LinkName(portNumber)).string();
    return FailOpen(1, ENOENT);
  }
  devicePath_ = device.string();

  // O_NONBLOCK only so that a line without carrier cannot hold the open;
  // reads rely on VMIN/VTIME and must block for them to work.
  fd_ = open(devicePath_.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    const int error = errno;
    if (error == EBUSY) otherHolders_ = OtherProcessesHolding(devicePath_);
    return FailOpen(1, error);
  }
  if (!isatty(fd_)) return FailOpen(1, ENOTTY);
  // Not shared: a second program reading the same receiver would steal
  // sentences from both.
  if (ioctl(fd_, TIOCEXCL) != 0) return FailOpen(1, errno);
  // Exclusive mode keeps later programs out, not one that came first.
  otherHolders_ = OtherProcessesHolding(devicePath_);
  const int statusFlags = fcntl(fd_, F_GETFL);
  if (statusFlags < 0 || fcntl(fd_, F_SETFL, statusFlags & ~O_NONBLOCK) != 0) {
    return FailOpen(1, errno);
  }

  termios line{};
  if (tcgetattr(fd_, &line) != 0) return FailOpen(4, errno);
  speed_t speed = B0;
  if (!SpeedConstant(portSpeed, &speed)) return FailOpen(4, EINVAL);
  // Raw 8N1 without flow control: receivers drive neither CTS nor DCD, and
  // the sentences must arrive byte for byte.
  cfmakeraw(&line);
  line.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
  line.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  line.c_cflag |= CS8 | CLOCAL | CREAD;
  if (cfsetispeed(&line, speed) != 0 || cfsetospeed(&line, speed) != 0) {
    return FailOpen(4, errno);
  }
  if (setLine_(fd_, TCSANOW, &line) != 0) return FailOpen(4, errno);
  // tcsetattr reports success when any of the changes took: a speed the
  // driver replaced would read as garbage and then as "No data".
  termios applied{};
  if (tcgetattr(fd_, &applied) != 0) return FailOpen(4, errno);
  if (!LineTook(applied, speed)) return FailOpen(4, EINVAL);

  // Return what is queued at once, else the first byte or nothing within
  // 100 ms.
  line.c_cc[VMIN] = 0;
  line.c_cc[VTIME] = kReadTimeoutMs / 100;
  if (setLine_(fd_, TCSANOW, &line) != 0) return FailOpen(5, errno);

  // Some receivers are powered from these lines. A pseudo-terminal or a
  // three-wire adapter has none, which is no reason to fail.
  int lines = TIOCM_DTR;
  (void)ioctl(fd_, TIOCMBIS, &lines);
  lines = TIOCM_RTS;
  (void)ioctl(fd_, TIOCMBIS, &lines);
  return 0;
}

int32_t PosixSerialPort::ReadPort(uint8_t* buffer, int32_t size) {
  if (fd_ < 0) return -1;
  if (size <= 0) return 0;
  // A hung-up tty (receiver unplugged, link closed) reads as end-of-file,
  // just like a silent line after VTIME. poll() tells the two apart, so an
  // unplugged receiver becomes a read error and gets reopened instead of
  // looking like endless silence.
  pollfd watch{fd_, POLLIN, 0};
  const int ready = poll(&watch, 1, kReadTimeoutMs);
  if (ready == 0) return 0;
  if (ready < 0) return errno == EINTR ? 0 : -2;
  if ((watch.revents & POLLIN) == 0) return -2;
  const ssize_t count = read(fd_, buffer, static_cast<size_t>(size));
  if (count > 0) return static_cast<int32_t>(count);
  if (count == 0) return -2;  // readable, yet end-of-file: hung up
  return (errno == EINTR || errno == EAGAIN) ? 0 : -2;
}

void PosixSerialPort::ClosePort() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
}

std::string PosixSerialPort::deviceGroup() const {
  struct stat info {};
  if (devicePath_.empty() || stat(devicePath_.c_str(), &info) != 0) return {};
  return GroupName(info.st_gid);
}

void PosixSerialPort::DiscardInput() {
  if (fd_ >= 0) tcflush(fd_, TCIFLUSH);
}

}  // namespace pathmere
