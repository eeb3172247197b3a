#pragma once

#include <cstdint>
#include <string>

#include "platform/datagram_socket.h"
#include "platform/gpsd_lines.h"
#include "platform/host_lookup.h"
#include "platform/serial_port.h"
#include "platform/source_address.h"
#include "platform/stream_socket.h"

namespace pathmere {

// A receiver on the network, read through the serial port's seam: gpsd (its
// raw NMEA), a TCP server's NMEA stream, or NMEA datagrams on a UDP port.
// The port number and speed mean nothing here; the address chooses.
//
// Nothing holds the tick for long: a host name is looked up in the
// background and a connection is made without blocking. Each waits at most
// kOpenWaitMs in OpenPort; a connection still under way then counts as open
// and is finished by the reads (each at most 100 ms, like a serial read),
// which fail when it fails or has not come within kConnectGiveUpMs. A name
// still being looked up is an open error (code 7) until it is answered.
//
// OpenPort codes: 1 no address, 6 the connection is refused or fails
// (gpsd or the server not running), 7 the host name is not known (yet),
// 8 the UDP address cannot be listened on (taken, or not this machine's).
// A closed connection or a network error is a read error (-2).
class NetworkSource final : public SerialPort {
 public:
  static constexpr int kOpenWaitMs = 200;
  static constexpr int kReadTimeoutMs = 100;
  static constexpr uint32_t kConnectGiveUpMs = 10000;

  NetworkSource() = default;
  ~NetworkSource() override { ClosePort(); }

  void SetAddress(SourceAddress address);
  const SourceAddress& address() const { return address_; }

  int32_t OpenPort(int32_t portNumber, int32_t portSpeed) override;
  int32_t ReadPort(uint8_t* buffer, int32_t size) override;
  void ClosePort() override;
  bool IsLinePaced() const override { return false; }

  // Datagrams of a UDP source that the system dropped because they came
  // faster than they were read, since it was opened.
  uint32_t droppedDatagrams() const { return datagrams_.dropped(); }

  // Connected (or listening), not just opened.
  bool streaming() const { return state_ == State::kOpen; }

  // errno of the last failure (ECONNREFUSED, ...), 0 after a success or
  // for a failure without one.
  int lastErrno() const { return lastErrno_; }
  // The last failure in words ("gpsd at 127.0.0.1:2947: Connection
  // refused"), empty after a success.
  const std::string& problem() const { return problem_; }
  // The same without the source's own name ("host gps.local not found").
  const std::string& reason() const { return reason_; }

 private:
  enum class State { kClosed, kConnecting, kOpen };

  int32_t Fail(int32_t code, int error, std::string problem);
  bool Connected();
  int32_t ReadStream(uint8_t* buffer, int32_t size);
  std::string Describe() const;

  SourceAddress address_;
  bool haveAddress_ = false;
  HostLookup lookup_;
  StreamSocket stream_;
  DatagramSocket datagrams_;
  GpsdLines gpsdLines_;
  State state_ = State::kClosed;
  uint32_t connectStart_ = 0;
  int lastErrno_ = 0;
  std::string problem_;
  std::string reason_;
};

}  // namespace pathmere
