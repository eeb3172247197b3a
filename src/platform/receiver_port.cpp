#include "platform/receiver_port.h"

#include <cerrno>

namespace pathmere {

ReceiverPort::ReceiverPort(std::filesystem::path portsFolder)
    : portsFolder_(portsFolder), serial_(std::move(portsFolder)) {}

void ReceiverPort::UseDevice(std::string device) {
  ClosePort();
  fixedSource_ = false;
  fixedName_ = device;
  serial_.UseDevice(std::move(device));
}

void ReceiverPort::UseSource(SourceAddress source) {
  ClosePort();
  fixedSource_ = true;
  fixedName_ = source.text;
  network_.SetAddress(std::move(source));
}

const char* ReceiverPort::FixedDeviceName() const {
  return fixedName_.empty() ? nullptr : fixedName_.c_str();
}

int32_t ReceiverPort::OpenPort(int32_t portNumber, int32_t portSpeed) {
  ClosePort();
  problem_.clear();
  sourceFile_.clear();
  if (!fixedSource_ && fixedName_.empty() && !portsFolder_.empty()) {
    const std::filesystem::path entry = portsFolder_ / ("COM" + std::to_string(portNumber));
    if (IsSourceFile(entry)) {
      sourceFile_ = entry.string();
      SourceAddress address;
      std::string problem;
      if (!ReadSourceFile(entry, &address, &problem)) {
        active_ = &network_;
        network_.SetAddress(SourceAddress{});
        problem_ = sourceFile_ + ": " + problem;
        return 1;
      }
      // The same address keeps a name lookup under way.
      if (address.text != network_.address().text) network_.SetAddress(std::move(address));
      active_ = &network_;
    } else {
      active_ = &serial_;
    }
  } else {
    active_ = fixedSource_ ? static_cast<SerialPort*>(&network_) : &serial_;
  }
  const int32_t result = active_->OpenPort(portNumber, portSpeed);
  if (IsNetwork()) problem_ = network_.problem();
  return result;
}

int32_t ReceiverPort::ReadPort(uint8_t* buffer, int32_t size) {
  const int32_t count = active_->ReadPort(buffer, size);
  if (count < 0 && IsNetwork()) problem_ = network_.problem();
  return count;
}

void ReceiverPort::ClosePort() {
  serial_.ClosePort();
  network_.ClosePort();
}

std::string ReceiverPort::devicePath() const {
  if (!IsNetwork()) return serial_.devicePath();
  return network_.address().text.empty() ? sourceFile_ : network_.address().text;
}

int ReceiverPort::lastOpenErrno() const {
  if (!IsNetwork()) return serial_.lastOpenErrno();
  return network_.address().text.empty() ? EINVAL : network_.lastErrno();
}

}  // namespace pathmere
