#include "support/notify_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace pathmere::testing {

NotifySocket::NotifySocket(std::string path) : path_(std::move(path)) {
  fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path_.data(), std::min(path_.size(), sizeof address.sun_path - 1));
  if (bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd_);
    fd_ = -1;
  }
}

NotifySocket::~NotifySocket() {
  if (fd_ >= 0) close(fd_);
  unlink(path_.c_str());
}

std::vector<std::string> NotifySocket::Receive(size_t count, int ms) {
  std::vector<std::string> messages;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (fd_ >= 0 && messages.size() < count && std::chrono::steady_clock::now() < until) {
    pollfd watch{fd_, POLLIN, 0};
    if (poll(&watch, 1, 100) <= 0) continue;
    char buffer[1024];
    const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
    if (got > 0) messages.emplace_back(buffer, static_cast<size_t>(got));
  }
  return messages;
}

}  // namespace pathmere::testing
