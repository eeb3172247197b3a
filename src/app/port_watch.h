#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/receiver_port.h"
#include "platform/serial_port.h"
#include "platform/tick_clock.h"

namespace pathmere {

// The receiver's port as the capture step uses it, watched on the way, so a
// front end can tell in words what it is doing: a journal line for each
// change, and the state for `pathmere-cli status`. Every call goes through
// unchanged.
class PortWatch final : public SerialPort {
 public:
  enum class State {
    kClosed,  // not opened yet, or closed on request (port or speed chosen)
    kOpen,
    kLost,     // a read failed; the capture step opens it again every tick
    kRefused,  // it cannot be opened
  };

  // `device` gives the device or address, the error and the group when the
  // port is a ReceiverPort; null for another kind of port.
  PortWatch(SerialPort& port, TickClock& clock, const ReceiverPort* device = nullptr)
      : port_(port), clock_(clock), device_(device) {}

  int32_t OpenPort(int32_t portNumber, int32_t portSpeed) override;
  int32_t ReadPort(uint8_t* buffer, int32_t size) override;
  void ClosePort() override;
  const char* FixedDeviceName() const override { return port_.FixedDeviceName(); }
  bool IsLinePaced() const override { return port_.IsLinePaced(); }

  State state() const { return state_; }
  // Bytes read so far, sentences or not.
  uint64_t bytesRead() const { return bytesRead_; }
  // "COM3 (/dev/ttyACM0) open at 9600 bit/s for 2 h 3 min", "COM3
  // (/dev/ttyACM0) lost 42 s ago, retrying", ...; "not opened yet" before
  // the first attempt.
  std::string Describe() const;
  // The changes since the last call, one line each ("COM3 back after 42 s").
  std::vector<std::string> TakeChanges();

 private:
  // " at 4800 bit/s"; empty for a network source.
  std::string SpeedText() const;
  // "COM3 (/dev/ttyACM0)", or "COM3" without a device; a network source's
  // address.
  std::string Name() const;
  // "COM3", or the source as the user gave it (--device, --source).
  std::string ShortName() const;
  std::string OpenFailure(int32_t code, int error) const;
  uint32_t SecondsSince(uint32_t tick) { return (clock_.NowMs() - tick) / 1000; }
  // Why the network source failed, without its own name; empty for others.
  std::string NetworkProblem() const;

  // A connection that ends sooner than this after it was made counts as
  // refused, not as lost and back.
  static constexpr uint32_t kShortestConnectionMs = 5000;

  SerialPort& port_;
  TickClock& clock_;
  const ReceiverPort* device_;
  State state_ = State::kClosed;
  int32_t portNumber_ = -1;
  int32_t portSpeed_ = 0;
  uint32_t since_ = 0;           // tick of the last change of state
  bool closeAfterLoss_ = false;  // the next close is the capture step's, after a failed read
  // The failure last told, so a port that keeps failing the same way is
  // told once.
  int32_t toldFailureCode_ = 0;
  int toldFailureError_ = 0;
  std::string toldProblem_;
  uint64_t bytesRead_ = 0;
  // Datagrams the system dropped, told once for each opening.
  bool dropsTold_ = false;
  // A network peer that closes each connection at once: told once, then
  // quiet until a connection lasts.
  bool flapping_ = false;
  uint32_t lostSince_ = 0;  // when the first of those connections ended
  std::string lostHow_;
  std::string refusal_;
  std::vector<std::string> changes_;
};

// "42 s", "12 min 3 s", "2 h 3 min".
std::string SpokenDuration(uint32_t seconds);

}  // namespace pathmere
