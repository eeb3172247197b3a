#include "app/port_watch.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace pathmere {

std::string SpokenDuration(uint32_t seconds) {
  if (seconds < 60) return std::to_string(seconds) + " s";
  if (seconds < 3600) return std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s";
  return std::to_string(seconds / 3600) + " h " + std::to_string(seconds / 60 % 60) + " min";
}

std::string PortWatch::Name() const {
  // A device given by path (record --device) has no COM number to tell.
  const char* fixed = port_.FixedDeviceName();
  std::string name = fixed != nullptr ? std::string(fixed) : "COM" + std::to_string(portNumber_);
  // A network source given by --source is its address, as the user gave it.
  if (fixed != nullptr && device_ != nullptr && device_->IsNetwork()) return name;
  if (device_ == nullptr || device_->devicePath().empty()) return name;
  // The device itself (/dev/ttyACM0), not the link that found it; a link
  // that leads nowhere is named as it is.
  std::error_code error;
  const std::filesystem::path device = std::filesystem::canonical(device_->devicePath(), error);
  return name + " (" + (error ? device_->devicePath() : device.string()) + ")";
}

std::string PortWatch::NetworkProblem() const {
  if (device_ == nullptr || !device_->IsNetwork()) return {};
  return device_->network().reason();
}

std::string PortWatch::OpenFailure(int32_t code, int error) const {
  const std::string network = NetworkProblem();
  if (!network.empty()) return Name() + " cannot be opened: " + network;
  const std::string reason = error != 0 ? std::strerror(error) : "code " + std::to_string(code);
  if (code == 4 || code == 5) {
    return Name() + " refuses " + std::to_string(portSpeed_) + " bit/s: " + reason;
  }
  std::string text = Name() + " cannot be opened: " + reason;
  if ((error == EACCES || error == EPERM) && device_ != nullptr) {
    const std::string group = device_->deviceGroup();
    text += " (group " + (group.empty() ? std::string("dialout") : group) + ")";
  }
  return text;
}

std::string PortWatch::ShortName() const {
  const char* fixed = port_.FixedDeviceName();
  return fixed != nullptr ? std::string(fixed) : "COM" + std::to_string(portNumber_);
}

std::string PortWatch::SpeedText() const {
  // A network source has no line speed.
  if (device_ != nullptr && device_->IsNetwork()) return "";
  return " at " + std::to_string(portSpeed_) + " bit/s";
}

int32_t PortWatch::OpenPort(int32_t portNumber, int32_t portSpeed) {
  if (portNumber != portNumber_ || portSpeed != portSpeed_) toldFailureCode_ = 0;
  portNumber_ = portNumber;
  portSpeed_ = portSpeed;
  const int32_t result = port_.OpenPort(portNumber, portSpeed);
  if (result == 0) {
    if (flapping_) {
      // Told once; a connection that lasts tells the end of it.
      state_ = State::kOpen;
      since_ = clock_.NowMs();
      return result;
    }
    if (state_ == State::kLost) {
      changes_.push_back(ShortName() + " back after " + SpokenDuration(SecondsSince(since_)));
    } else {
      changes_.push_back(Name() + " open" + SpeedText());
    }
    state_ = State::kOpen;
    since_ = clock_.NowMs();
    toldFailureCode_ = 0;
    dropsTold_ = false;
    return result;
  }
  const int error = device_ != nullptr ? device_->lastOpenErrno() : 0;
  // A lost device is expected to be missing until it is back; only another
  // kind of failure is news.
  // So is a network source that is not back yet.
  const bool expected =
      state_ == State::kLost && (error == ENOENT || (device_ != nullptr && device_->IsNetwork()));
  // A name still being looked up after a failure was told is no news.
  const std::string problem = NetworkProblem();
  const bool stillLooking = problem.starts_with("still looking up") && toldFailureCode_ != 0;
  if (!expected && !stillLooking &&
      (result != toldFailureCode_ || error != toldFailureError_ || problem != toldProblem_)) {
    changes_.push_back(OpenFailure(result, error));
    toldFailureCode_ = result;
    toldFailureError_ = error;
    toldProblem_ = problem;
  }
  if (state_ != State::kLost) {
    if (state_ != State::kRefused) since_ = clock_.NowMs();
    state_ = State::kRefused;
    refusal_ = OpenFailure(result, error);
  }
  return result;
}

int32_t PortWatch::ReadPort(uint8_t* buffer, int32_t size) {
  const int32_t count = port_.ReadPort(buffer, size);
  if (count > 0) bytesRead_ += static_cast<uint64_t>(count);
  const bool network = device_ != nullptr && device_->IsNetwork();
  if (flapping_ && count >= 0 && state_ == State::kOpen && clock_.NowMs() - since_ >= kShortestConnectionMs) {
    flapping_ = false;
    changes_.push_back(ShortName() + " back after " + SpokenDuration(SecondsSince(lostSince_)));
  }
  if (count < 0 && state_ == State::kOpen && network && clock_.NowMs() - since_ < kShortestConnectionMs) {
    // A peer that accepts and closes at once: told once, retried quietly.
    if (!flapping_) {
      flapping_ = true;
      lostSince_ = clock_.NowMs();
      changes_.push_back(ShortName() + " closes each connection at once, retrying every second");
    }
    lostHow_ = "connection closed at once";
    state_ = State::kLost;
    closeAfterLoss_ = true;
    return count;
  }
  if (device_ != nullptr && device_->IsNetwork() && !dropsTold_ &&
      device_->network().droppedDatagrams() > 0) {
    changes_.push_back(Name() + ": the system dropped " +
                       std::to_string(device_->network().droppedDatagrams()) +
                       " datagrams that came faster than they were read");
    dropsTold_ = true;
  }
  if (count < 0 && state_ == State::kOpen) {
    // A tty reads as failed when it was hung up or unplugged; only the
    // device's name tells which.
    struct stat info {};
    if (network) {
      lostHow_ = "connection lost";
    } else {
      const bool gone = device_ != nullptr && stat(device_->devicePath().c_str(), &info) != 0;
      lostHow_ = gone ? "device gone" : "device hung up";
    }
    changes_.push_back(ShortName() + " read error: " + lostHow_ + ", retrying");
    state_ = State::kLost;
    since_ = clock_.NowMs();
    closeAfterLoss_ = true;
  }
  return count;
}

void PortWatch::ClosePort() {
  port_.ClosePort();
  // After a read error the capture step closes the port to open it again:
  // it stays lost until it is back. Otherwise it was closed on request.
  if (!closeAfterLoss_) {
    state_ = State::kClosed;
    toldFailureCode_ = 0;
  }
  closeAfterLoss_ = false;
}

std::string PortWatch::Describe() const {
  const uint32_t seconds = (clock_.NowMs() - since_) / 1000;
  switch (state_) {
    case State::kOpen:
      return Name() + " open" + SpeedText() + " for " + SpokenDuration(seconds);
    case State::kLost:
      return Name() + " lost " + SpokenDuration(seconds) + " ago (" + lostHow_ + "), retrying every second";
    case State::kRefused:
      return refusal_ + ", for " + SpokenDuration(seconds) + ", retrying every second";
    case State::kClosed:
      break;
  }
  return portNumber_ < 0 ? "not opened yet" : Name() + " closed";
}

std::vector<std::string> PortWatch::TakeChanges() {
  std::vector<std::string> taken;
  taken.swap(changes_);
  return taken;
}

}  // namespace pathmere
