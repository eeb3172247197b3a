#include "platform/datagram_socket.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pathmere {

bool DatagramSocket::Listen(const addrinfo* addresses) {
  Close();
  error_ = EADDRNOTAVAIL;
  for (const addrinfo* at = addresses; at != nullptr; at = at->ai_next) {
    fd_ = socket(at->ai_family, at->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, at->ai_protocol);
    if (fd_ < 0) {
      error_ = errno;
      continue;
    }
    // A chart plotter on the same boat may listen to the same broadcasts.
    const int on = 1;
    (void)setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd_, at->ai_addr, at->ai_addrlen) == 0) {
      datagram_.resize(kLargestDatagram);
      return true;
    }
    error_ = errno;
    Close();
  }
  return false;
}

int32_t DatagramSocket::Read(uint8_t* buffer, int32_t size, int waitMs) {
  if (fd_ < 0) return -2;
  if (size <= 0) return 0;
  if (used_ == fill_) {
    pollfd watch{fd_, POLLIN, 0};
    const int ready = poll(&watch, 1, waitMs);
    if (ready == 0) return 0;
    if (ready < 0) return errno == EINTR ? 0 : -2;
    const ssize_t count = recv(fd_, datagram_.data(), datagram_.size(), MSG_DONTWAIT);
    if (count < 0) {
      if (errno == EINTR || errno == EAGAIN) return 0;
      error_ = errno;
      return -2;
    }
    fill_ = static_cast<size_t>(count);
    used_ = 0;
    if (fill_ == 0) return 0;
  }
  const size_t left = fill_ - used_;
  const size_t take = left < static_cast<size_t>(size) ? left : static_cast<size_t>(size);
  std::memcpy(buffer, datagram_.data() + used_, take);
  used_ += take;
  return static_cast<int32_t>(take);
}

void DatagramSocket::Close() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  fill_ = used_ = 0;
}

}  // namespace pathmere
