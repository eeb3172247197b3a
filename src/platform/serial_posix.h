#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/device_holders.h"
#include "platform/serial_port.h"

struct termios;

namespace pathmere {

// The serial receiver on a Linux tty (termios).
//
// "COM%d:" is resolved to a device: an entry named COMn in the ports folder
// (normally a symbolic link to /dev/serial/by-id/..., which survives the
// kernel renumbering devices) wins; otherwise
//   COM0-COM3   /dev/ttyUSB0-3     COM8-COM11  /dev/rfcomm0-3
//   COM4-COM7   /dev/ttyACM0-3     COM12-COM15 /dev/ttyS0-3
// Any other number is reachable only through a link.
//
// OpenPort codes: 1 the device cannot be opened (missing, no permission,
// busy, not a terminal), 4 the line settings or the speed are refused, or
// the driver kept another speed or framing than 8N1, 5 the read time-outs
// are refused. Code 2 (driver queue sizes) never occurs: a tty's queues have
// fixed kernel sizes and there is nothing to ask for.
class PosixSerialPort final : public SerialPort {
 public:
  explicit PosixSerialPort(std::filesystem::path portsFolder = DefaultPortsFolder());
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  int32_t OpenPort(int32_t portNumber, int32_t portSpeed) override;
  int32_t ReadPort(uint8_t* buffer, int32_t size) override;
  void ClosePort() override;

  bool IsOpen() const { return fd_ >= 0; }

  // From now on every port number opens `device` (a /dev/serial/by-id/ name,
  // say), with neither a COMn link nor the default table.
  void UseDevice(std::string device) { fixedDevice_ = std::move(device); }
  const char* FixedDeviceName() const override {
    return fixedDevice_.empty() ? nullptr : fixedDevice_.c_str();
  }

  // What the last OpenPort tried, so a terminal front end can explain a
  // failure once ("cannot open /dev/ttyUSB0: Permission denied; add yourself
  // to group dialout"). lastOpenErrno() is the errno of the failing step
  // (EINVAL for a speed termios has no constant for), 0 after a success.
  // devicePath() is the resolved device, or the link that was looked for
  // when the number has no default device.
  int lastOpenErrno() const { return lastOpenErrno_; }
  const std::string& devicePath() const { return devicePath_; }
  // The group owning the device (following links); empty when unknown.
  std::string deviceGroup() const;
  // Drops what the driver holds from before, so bytes received at another
  // speed are not taken for this one's.
  void DiscardInput();
  // Other processes that had the device open at the last OpenPort that
  // opened it or found it busy; they take sentences from this one.
  const std::vector<DeviceHolder>& otherHolders() const { return otherHolders_; }

  // How the line settings reach the driver: tcsetattr. A test puts a driver
  // in its place that keeps another speed or framing, which no
  // pseudo-terminal does.
  using LineSetter = int (*)(int fd, int when, const termios* line);
  void SetLineSetter(LineSetter setter) { setLine_ = setter; }

  // $XDG_CONFIG_HOME/Brenix/ports, else ~/.config/Brenix/ports.
  static std::filesystem::path DefaultPortsFolder();
  // The device for a port number; empty when the number has neither a link
  // in `portsFolder` nor a default device.
  static std::filesystem::path ResolveDevice(int32_t portNumber, const std::filesystem::path& portsFolder);

 private:
  int32_t FailOpen(int32_t code, int error);

  std::filesystem::path portsFolder_;
  std::string fixedDevice_;
  int fd_ = -1;
  int lastOpenErrno_ = 0;
  std::string devicePath_;
  std::vector<DeviceHolder> otherHolders_;
  LineSetter setLine_;
};

}  // namespace pathmere
