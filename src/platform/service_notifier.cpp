#include "platform/service_notifier.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace pathmere {

ServiceNotifier::ServiceNotifier() {
  const char* name = std::getenv("NOTIFY_SOCKET");
  if (name != nullptr) Open(name);
}

ServiceNotifier::ServiceNotifier(std::string_view socketName) { Open(socketName); }

void ServiceNotifier::Open(std::string_view socketName) {
  // A path or an abstract name; other kinds (vsock:) are not ours to speak.
  if (socketName.size() < 2 || (socketName[0] != '/' && socketName[0] != '@')) return;
  sockaddr_un address{};
  if (socketName.size() >= sizeof address.sun_path) return;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, socketName.data(), socketName.size());
  // An abstract name has a NUL where the "@" is, and no terminator.
  if (socketName[0] == '@') address.sun_path[0] = '\0';
  const size_t length = offsetof(sockaddr_un, sun_path) + socketName.size() + (socketName[0] == '/' ? 1 : 0);
  fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd_ < 0) return;
  address_.assign(reinterpret_cast<const char*>(&address), length);
}

ServiceNotifier::~ServiceNotifier() {
  if (fd_ >= 0) close(fd_);
}

bool ServiceNotifier::Send(std::string_view message) {
  if (fd_ < 0) return false;
  ssize_t sent;
  do {
    sent =
        sendto(fd_, message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT,
               reinterpret_cast<const sockaddr*>(address_.data()), static_cast<socklen_t>(address_.size()));
  } while (sent < 0 && errno == EINTR);
  return sent == static_cast<ssize_t>(message.size());
}

}  // namespace pathmere
