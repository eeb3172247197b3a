#include "support/loopback_peers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

namespace pathmere::testing {

namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool WaitReadable(int fd, int ms) {
  pollfd watch{fd, POLLIN, 0};
  return poll(&watch, 1, ms) > 0;
}

const char* const kGpsd = "/usr/sbin/gpsd";

}  // namespace

int FreeLoopbackPort(int socketType) {
  const int fd = socket(AF_INET, socketType | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

LoopbackServer::LoopbackServer() : port_(FreeLoopbackPort(SOCK_STREAM)) { Listen(); }

LoopbackServer::~LoopbackServer() { Stop(); }

bool LoopbackServer::Listen() {
  if (listen_ >= 0) return true;
  listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const sockaddr_in address = Loopback(port_);
  if (bind(listen_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(listen_, 4) != 0) {
    close(listen_);
    listen_ = -1;
    return false;
  }
  return true;
}

bool LoopbackServer::Accept(int ms) {
  CloseClient();
  if (listen_ < 0 || !WaitReadable(listen_, ms)) return false;
  client_ = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
  return client_ >= 0;
}

bool LoopbackServer::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

std::string LoopbackServer::Receive(int ms) {
  char buffer[4096];
  if (client_ < 0 || !WaitReadable(client_, ms)) return {};
  const ssize_t count = recv(client_, buffer, sizeof buffer, 0);
  return count > 0 ? std::string(buffer, static_cast<size_t>(count)) : std::string();
}

void LoopbackServer::CloseClient() {
  if (client_ >= 0) close(client_);
  client_ = -1;
}

void LoopbackServer::Stop() {
  CloseClient();
  if (listen_ >= 0) close(listen_);
  listen_ = -1;
}

LoopbackSender::LoopbackSender(int port) : port_(port), fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}

LoopbackSender::~LoopbackSender() {
  if (fd_ >= 0) close(fd_);
}

bool LoopbackSender::Send(std::string_view datagram) {
  const sockaddr_in address = Loopback(port_);
  return sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&address),
                sizeof address) == static_cast<ssize_t>(datagram.size());
}

GpsdOnTerminal::GpsdOnTerminal() : port_(FreeLoopbackPort(SOCK_STREAM)) { receiver_.HoldRawSlave(); }

bool GpsdOnTerminal::found() { return access(kGpsd, X_OK) == 0; }

bool GpsdOnTerminal::SkipWithoutGpsd() {
  if (found()) return false;
  if (std::getenv("PATHMERE_REQUIRE_GPSD") != nullptr) ADD_FAILURE() << "gpsd is not installed";
  return true;
}

bool GpsdOnTerminal::Start() {
  Stop();
  // -N foreground, -n open the device now, -b never write to it; without -G
  // it listens on loopback only.
  process_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{kGpsd, "-N", "-n", "-b", "-S", std::to_string(port_), "-F",
                               (folder_.path() / "gpsd.sock").string(), receiver_.slaveName()});
  if (!process_->started()) return false;
  // Ready once it takes connections.
  for (int i = 0; i < 100; ++i) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port_);
    const bool up = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    if (up) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

void GpsdOnTerminal::Stop() {
  if (process_ == nullptr) return;
  const CommandResult result = process_->Stop(SIGTERM);
  log_ += result.out + result.err;
  process_.reset();
}

}  // namespace pathmere::testing
