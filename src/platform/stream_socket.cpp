#include "platform/stream_socket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/tick_clock.h"

namespace pathmere {

namespace {

// A peer that vanishes without closing (a gateway switched off, a phone out
// of range) would otherwise read as silence for ever; with these probes the
// connection fails within about 25 s and is made again.
void KeepAlive(int fd) {
  const int on = 1, idle = 10, interval = 5, count = 3;
  (void)setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  (void)setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  (void)setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  (void)setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

}  // namespace

StreamSocket::Progress StreamSocket::Fail(int error) {
  Close();
  error_ = error;
  return Progress::kFailed;
}

StreamSocket::Progress StreamSocket::Connect(const addrinfo* addresses, int waitMs) {
  Close();
  error_ = ECONNREFUSED;
  const uint32_t start = MonotonicNowMs();
  for (const addrinfo* at = addresses; at != nullptr; at = at->ai_next) {
    fd_ = socket(at->ai_family, at->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, at->ai_protocol);
    if (fd_ < 0) {
      error_ = errno;
      continue;
    }
    KeepAlive(fd_);
    if (connect(fd_, at->ai_addr, at->ai_addrlen) == 0) return Progress::kConnected;
    if (errno != EINPROGRESS) {
      Fail(errno);
      continue;
    }
    const int32_t left = waitMs - static_cast<int32_t>(MonotonicNowMs() - start);
    const Progress progress = Finish(left > 0 ? left : 0);
    // The last address may stay under way; an earlier one gives way to the
    // next only when it has failed.
    if (progress != Progress::kFailed) return progress;
  }
  return Progress::kFailed;
}

StreamSocket::Progress StreamSocket::Finish(int waitMs) {
  if (fd_ < 0) return Progress::kFailed;
  pollfd watch{fd_, POLLOUT, 0};
  const int ready = poll(&watch, 1, waitMs);
  if (ready < 0) return errno == EINTR ? Progress::kPending : Fail(errno);
  if (ready == 0) return Progress::kPending;
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return Fail(errno);
  if (error != 0) return Fail(error);
  return Progress::kConnected;
}

int32_t StreamSocket::Read(uint8_t* buffer, int32_t size, int waitMs) {
  if (fd_ < 0) return -2;
  if (size <= 0) return 0;
  pollfd watch{fd_, POLLIN, 0};
  const int ready = poll(&watch, 1, waitMs);
  if (ready == 0) return 0;
  if (ready < 0) return errno == EINTR ? 0 : -2;
  const ssize_t count = recv(fd_, buffer, static_cast<size_t>(size), MSG_DONTWAIT);
  if (count > 0) return static_cast<int32_t>(count);
  if (count < 0 && (errno == EINTR || errno == EAGAIN)) return 0;
  error_ = count == 0 ? 0 : errno;
  return -2;  // closed by the peer (0) or failed
}

bool StreamSocket::Send(std::string_view text) {
  if (fd_ < 0) return false;
  const ssize_t sent = send(fd_, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  if (sent == static_cast<ssize_t>(text.size())) return true;
  error_ = sent < 0 ? errno : EAGAIN;
  return false;
}

void StreamSocket::Close() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
}

}  // namespace pathmere
