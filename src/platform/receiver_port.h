#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/network_source.h"
#include "platform/serial_port.h"
#include "platform/serial_posix.h"
#include "platform/source_address.h"

namespace pathmere {

// The port a front end hands the program: COMn is what its entry in the
// ports folder says. A symbolic link (or no entry: the default table) is a
// serial device, opened by PosixSerialPort; a small text file whose first
// line is an address (gpsd://, tcp://, udp://) is a receiver on the network,
// read by NetworkSource. Each open looks again, so a changed entry counts
// from the next tick. The capture step sees one port either way.
//
// An entry that is a file without a usable address fails to open with
// code 1, like a missing device.
class ReceiverPort final : public SerialPort {
 public:
  explicit ReceiverPort(std::filesystem::path portsFolder = PosixSerialPort::DefaultPortsFolder());
  ~ReceiverPort() override { ClosePort(); }

  int32_t OpenPort(int32_t portNumber, int32_t portSpeed) override;
  int32_t ReadPort(uint8_t* buffer, int32_t size) override;
  void ClosePort() override;
  const char* FixedDeviceName() const override;
  bool IsLinePaced() const override { return active_->IsLinePaced(); }

  // From now on every port number opens `device` (see PosixSerialPort).
  void UseDevice(std::string device);
  // From now on every port number reads `source`.
  void UseSource(SourceAddress source);

  // See PosixSerialPort; a network source drops nothing.
  void DiscardInput() { serial_.DiscardInput(); }

  // Whether the last OpenPort chose a network source.
  bool IsNetwork() const { return active_ == &network_; }
  const PosixSerialPort& serial() const { return serial_; }
  const NetworkSource& network() const { return network_; }

  // What the last OpenPort tried, whichever kind: the device or the address
  // as written, and the errno of the failure (0 after a success).
  std::string devicePath() const;
  int lastOpenErrno() const;
  // The serial device's group; empty for a network source.
  std::string deviceGroup() const { return IsNetwork() ? std::string() : serial_.deviceGroup(); }
  // The last failure of a network source or a source file in words; empty
  // for a serial device.
  const std::string& problem() const { return problem_; }

 private:
  std::filesystem::path portsFolder_;
  PosixSerialPort serial_;
  NetworkSource network_;
  SerialPort* active_ = &serial_;
  bool fixedSource_ = false;
  std::string fixedName_;
  std::string problem_;
  std::string sourceFile_;
};

}  // namespace pathmere
