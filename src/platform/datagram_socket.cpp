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
    // The ticks read once a second: the queue must hold a second of
    // datagrams. Both are best effort; without them the reads still work.
    const int queue = kReceiveBufferBytes;
    (void)setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &queue, sizeof queue);
    (void)setsockopt(fd_, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);
    if (bind(fd_, at->ai_addr, at->ai_addrlen) == 0) {
      datagram_.resize(kLargestDatagram);
      dropped_ = 0;
      return true;
    }
    error_ = errno;
    Close();
  }
  return false;
}

int DatagramSocket::Receive() {
  iovec part{datagram_.data(), datagram_.size()};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(uint32_t))];
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  const ssize_t count = recvmsg(fd_, &message, MSG_DONTWAIT);
  if (count < 0) {
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    error_ = errno;
    return -1;
  }
  // The kernel's count of datagrams it dropped so far, sent with each one.
  for (cmsghdr* at = CMSG_FIRSTHDR(&message); at != nullptr; at = CMSG_NXTHDR(&message, at)) {
    if (at->cmsg_level == SOL_SOCKET && at->cmsg_type == SO_RXQ_OVFL) {
      std::memcpy(&dropped_, CMSG_DATA(at), sizeof dropped_);
    }
  }
  fill_ = static_cast<size_t>(count);
  used_ = 0;
  return 1;
}

int32_t DatagramSocket::Read(uint8_t* buffer, int32_t size, int waitMs) {
  if (fd_ < 0) return -2;
  if (size <= 0) return 0;
  if (used_ == fill_) {
    pollfd watch{fd_, POLLIN, 0};
    const int ready = poll(&watch, 1, waitMs);
    if (ready == 0) return 0;
    if (ready < 0) return errno == EINTR ? 0 : -2;
  }
  size_t handed = 0;
  const size_t room = static_cast<size_t>(size);
  for (int taken = 0; handed < room;) {
    if (used_ == fill_) {
      if (taken == kMaxDatagramsPerRead) break;
      const int got = Receive();
      if (got == 0) break;
      // Bytes already taken go on; a lasting fault fails the next read.
      if (got < 0) return handed > 0 ? static_cast<int32_t>(handed) : -2;
      ++taken;
      continue;
    }
    const size_t left = fill_ - used_;
    const size_t take = left < room - handed ? left : room - handed;
    std::memcpy(buffer + handed, datagram_.data() + used_, take);
    used_ += take;
    handed += take;
  }
  return static_cast<int32_t>(handed);
}

void DatagramSocket::Close() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  fill_ = used_ = 0;
}

}  // namespace pathmere
