#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace pathmere {

// A receiver that is not a local serial device, as the user writes it:
//   gpsd://HOST[:PORT][/DEVICE]  gpsd's raw NMEA (default 127.0.0.1:2947)
//   tcp://HOST:PORT              an NMEA stream from a TCP server
//   udp://[ADDRESS]:PORT         NMEA datagrams sent to that port
// A numeric IPv6 host is written in brackets ("tcp://[::1]:10110"). A UDP
// source without an address listens on 127.0.0.1 only: another address, the
// boat's network (0.0.0.0) say, must be written out.
struct SourceAddress {
  enum class Kind { kGpsd, kTcp, kUdp };
  Kind kind = Kind::kTcp;
  std::string host;    // without brackets
  std::string port;    // decimal, 1 to 65535
  std::string device;  // gpsd only: the device to watch; empty for every one
  std::string text;    // as written, for messages

  // "127.0.0.1:2947", "[::1]:10110"
  std::string HostAndPort() const;
};

// False with a one-line reason when `text` is not such an address.
bool ParseSourceAddress(std::string_view text, SourceAddress* address, std::string* problem);

// Whether the COMn entry at `entry` is a source file (a regular file, perhaps
// reached by a link) rather than a link to a device.
bool IsSourceFile(const std::filesystem::path& entry);

// Reads a source file: its first line (surrounding blanks and CR dropped) is
// the address. False with a reason when it cannot be read or holds none.
bool ReadSourceFile(const std::filesystem::path& entry, SourceAddress* address, std::string* problem);

}  // namespace pathmere
