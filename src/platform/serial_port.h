#pragma once

#include <cstdint>

namespace pathmere {

// The serial receiver as the capture step sees it. The real side is termios
// (PosixSerialPort), or a receiver on the network (NetworkSource), chosen by
// ReceiverPort; tests may use pseudo-terminals, loopback sockets or a fake.
class SerialPort {
 public:
  virtual ~SerialPort() = default;
  // Opens and configures port "COM<portNumber>:" at `portSpeed` bit/s:
  // 0 success, 1 cannot open the device, 2 queue sizes refused, 4 line
  // settings refused, 5 time-outs refused; a network source adds 6 connection
  // refused or failed, 7 host name not known, 8 cannot listen. Always ends
  // closed on failure.
  virtual int32_t OpenPort(int32_t portNumber, int32_t portSpeed) = 0;
  // Bytes read (0 when nothing arrived within 100 ms), -1 when the port is not
  // open, -2 when the read fails (also a device that has gone away).
  virtual int32_t ReadPort(uint8_t* buffer, int32_t size) = 0;
  // Closes the device if open.
  virtual void ClosePort() = 0;
  // The device the port opens whatever the number, named so in the capture
  // messages instead of "COM<n>"; null when the number chooses the device.
  virtual const char* FixedDeviceName() const { return nullptr; }
  // Whether a line's speed paces what the port can bring, as a serial
  // line's does: a few reads a tick keep up with it. A source on the network
  // has no such pace and is read for as long as it has bytes queued.
  virtual bool IsLinePaced() const { return true; }
};

}  // namespace pathmere
