#include "platform/source_address.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pathmere {

namespace {

constexpr std::string_view kDefaultGpsdHost = "127.0.0.1";
constexpr std::string_view kDefaultGpsdPort = "2947";
// A source file is one short line; more is not read.
constexpr size_t kLongestSourceFile = 1024;

bool ValidPort(std::string_view port) {
  if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  int value = 0;
  for (const char c : port) value = value * 10 + (c - '0');
  return value >= 1 && value <= 65535;
}

// The device goes into gpsd's JSON command as it is: nothing that would
// need escaping there.
bool ValidDevice(std::string_view device) {
  for (const char c : device) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\') return false;
  }
  return true;
}

bool Fail(std::string* problem, std::string text) {
  *problem = std::move(text);
  return false;
}

}  // namespace

std::string SourceAddress::HostAndPort() const {
  const bool bracket = host.find(':') != std::string::npos;
  return (bracket ? "[" + host + "]" : host) + ":" + port;
}

bool ParseSourceAddress(std::string_view text, SourceAddress* address, std::string* problem) {
  SourceAddress parsed;
  parsed.text = std::string(text);
  std::string_view rest;
  if (text.substr(0, 7) == "gpsd://") {
    parsed.kind = SourceAddress::Kind::kGpsd;
    rest = text.substr(7);
  } else if (text.substr(0, 6) == "tcp://") {
    parsed.kind = SourceAddress::Kind::kTcp;
    rest = text.substr(6);
  } else if (text.substr(0, 6) == "udp://") {
    parsed.kind = SourceAddress::Kind::kUdp;
    rest = text.substr(6);
  } else {
    return Fail(problem, "not gpsd://HOST[:PORT][/DEVICE], tcp://HOST:PORT or udp://[ADDRESS]:PORT");
  }

  // Host, then ":PORT", then (gpsd only) the device path.
  std::string_view host;
  if (!rest.empty() && rest.front() == '[') {
    const size_t close = rest.find(']');
    if (close == std::string_view::npos) return Fail(problem, "an IPv6 address without its closing ]");
    host = rest.substr(1, close - 1);
    if (host.empty()) return Fail(problem, "an empty IPv6 address");
    rest = rest.substr(close + 1);
  } else {
    const size_t end = rest.find_first_of(":/");
    host = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    if (host.find_first_of("[]@?# ") != std::string_view::npos) return Fail(problem, "not a host name");
  }
  std::string_view port;
  if (!rest.empty() && rest.front() == ':') {
    const size_t end = rest.find('/');
    port = rest.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    if (!ValidPort(port)) {
      return Fail(problem, port.find(':') != std::string_view::npos
                               ? "an IPv6 address must be written in brackets: [::1]:10110"
                               : "the port must be a number from 1 to 65535");
    }
  }
  if (!rest.empty()) {
    if (parsed.kind != SourceAddress::Kind::kGpsd) return Fail(problem, "only a gpsd address names a device");
    if (rest.size() < 2 || !ValidDevice(rest)) return Fail(problem, "not a device path");
    parsed.device = std::string(rest);
  }

  switch (parsed.kind) {
    case SourceAddress::Kind::kGpsd:
      if (host.empty()) host = kDefaultGpsdHost;
      if (port.empty()) port = kDefaultGpsdPort;
      break;
    case SourceAddress::Kind::kTcp:
      if (host.empty()) return Fail(problem, "tcp:// needs a host");
      if (port.empty()) return Fail(problem, "tcp:// needs a port (10110 is the usual one)");
      break;
    case SourceAddress::Kind::kUdp:
      // Listening on every interface is for the user to write.
      if (host.empty()) host = "127.0.0.1";
      if (port.empty()) return Fail(problem, "udp:// needs a port (10110 is the usual one)");
      break;
  }
  parsed.host = std::string(host);
  parsed.port = std::string(port);
  *address = std::move(parsed);
  return true;
}

bool IsSourceFile(const std::filesystem::path& entry) {
  struct stat info {};
  return !entry.empty() && stat(entry.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool ReadSourceFile(const std::filesystem::path& entry, SourceAddress* address, std::string* problem) {
  // Without blocking: a FIFO put there by mistake must not hold the tick.
  const int fd = open(entry.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail(problem, std::string("cannot be read: ") + std::strerror(errno));
  char buffer[kLongestSourceFile];
  const ssize_t count = read(fd, buffer, sizeof buffer);
  const int error = errno;
  close(fd);
  if (count < 0) return Fail(problem, std::string("cannot be read: ") + std::strerror(error));
  std::string_view line(buffer, static_cast<size_t>(count));
  line = line.substr(0, line.find('\n'));
  const size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return Fail(problem, "is empty: its first line should be an address");
  line = line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
  return ParseSourceAddress(line, address, problem);
}

}  // namespace pathmere
