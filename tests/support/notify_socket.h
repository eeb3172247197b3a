#pragma once

#include <string>
#include <vector>

namespace pathmere::testing {

// A datagram socket file of the test's own in place of systemd's, for a
// program started with NOTIFY_SOCKET=path().
class NotifySocket {
 public:
  explicit NotifySocket(std::string path);
  ~NotifySocket();
  NotifySocket(const NotifySocket&) = delete;
  NotifySocket& operator=(const NotifySocket&) = delete;

  const std::string& path() const { return path_; }
  std::string Environment() const { return "NOTIFY_SOCKET=" + path_; }
  // The messages received until `count` have come or `ms` have passed.
  std::vector<std::string> Receive(size_t count, int ms);

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace pathmere::testing
