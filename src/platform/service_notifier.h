#pragma once

#include <string>
#include <string_view>

namespace pathmere {

// systemd's notify protocol, spoken directly: each message ("READY=1",
// "WATCHDOG=1", "STATUS=...") is one datagram to the Unix socket named by
// $NOTIFY_SOCKET, a path or, after "@", an abstract name. Outside systemd
// (no such variable, or one naming something else) it does nothing. It never
// waits: a socket that nobody reads, or one whose queue is full, loses the
// message, and the logger goes on.
class ServiceNotifier {
 public:
  // From $NOTIFY_SOCKET.
  ServiceNotifier();
  explicit ServiceNotifier(std::string_view socketName);
  ~ServiceNotifier();
  ServiceNotifier(const ServiceNotifier&) = delete;
  ServiceNotifier& operator=(const ServiceNotifier&) = delete;

  bool enabled() const { return fd_ >= 0; }
  // True when the datagram was handed to the socket.
  bool Send(std::string_view message);

 private:
  void Open(std::string_view socketName);

  int fd_ = -1;
  std::string address_;  // sockaddr_un bytes, sized to the name
};

}  // namespace pathmere
