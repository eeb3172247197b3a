#include "support/tile_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <stdexcept>

namespace pathmere::testing {
namespace {

constexpr size_t kMostHeaderBytes = 64 * 1024;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

const char* Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 304:
      return "Not Modified";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

bool SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string TileServer::Request::Header(const std::string& name) const {
  const auto found = headers.find(Lower(name));
  return found != headers.end() ? found->second : std::string();
}

TileServer::TileServer(Handler handler) : handler_(std::move(handler)) {
  if (pipe(wake_) != 0) throw std::runtime_error("pipe");
  listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listen_, 16) != 0 || getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("tile server cannot listen");
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

TileServer::~TileServer() {
  stopping_ = true;
  const char byte = 0;
  (void)!write(wake_[1], &byte, 1);
  acceptor_.join();
  std::vector<std::thread> connections;
  {
    const std::lock_guard lock(mutex_);
    connections.swap(connections_);
  }
  for (std::thread& connection : connections) connection.join();
  close(listen_);
  close(wake_[0]);
  close(wake_[1]);
}

std::string TileServer::address() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::vector<TileServer::Request> TileServer::requests() const {
  const std::lock_guard lock(mutex_);
  return requests_;
}

size_t TileServer::RequestCount() const {
  const std::lock_guard lock(mutex_);
  return requests_.size();
}

void TileServer::ClearRequests() {
  const std::lock_guard lock(mutex_);
  requests_.clear();
}

bool TileServer::WaitForStop(int ms) {
  pollfd wake{wake_[0], POLLIN, 0};
  return poll(&wake, 1, ms) > 0 || stopping_;
}

void TileServer::AcceptLoop() {
  while (!stopping_) {
    pollfd fds[2] = {{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) <= 0 || (fds[1].revents & POLLIN) != 0) continue;
    const int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    const std::lock_guard lock(mutex_);
    connections_.emplace_back([this, fd] { Serve(fd); });
  }
}

void TileServer::Serve(int fd) {
  std::string buffer;
  while (!stopping_) {
    // A request's head (GET has no body).
    size_t end = buffer.find("\r\n\r\n");
    while (end == std::string::npos && buffer.size() < kMostHeaderBytes) {
      pollfd fds[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (poll(fds, 2, -1) <= 0 || (fds[1].revents & POLLIN) != 0) break;
      char chunk[4096];
      const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      buffer.append(chunk, static_cast<size_t>(n));
      end = buffer.find("\r\n\r\n");
    }
    if (end == std::string::npos) break;
    const std::string head = buffer.substr(0, end);
    buffer.erase(0, end + 4);
    Request request;
    size_t line = head.find("\r\n");
    const std::string first = head.substr(0, line);
    const size_t space = first.find(' ');
    request.path = first.substr(space + 1, first.rfind(' ') - space - 1);
    while (line != std::string::npos) {
      const size_t next = head.find("\r\n", line + 2);
      const std::string header = head.substr(line + 2, next == std::string::npos ? next : next - line - 2);
      const size_t colon = header.find(':');
      if (colon != std::string::npos)
        request.headers[Lower(Trim(header.substr(0, colon)))] = Trim(header.substr(colon + 1));
      line = next;
    }
    const int waiting = ++waiting_;
    int most = mostWaiting_;
    while (waiting > most && !mostWaiting_.compare_exchange_weak(most, waiting)) {
    }
    {
      const std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }
    const Reply reply = handler_(request);
    if (reply.never || (reply.delayMs > 0 && WaitForStop(reply.delayMs))) {
      if (reply.never) WaitForStop(-1);
      --waiting_;
      break;
    }
    std::string response = "HTTP/1.1 " + std::to_string(reply.status) + " " + Reason(reply.status) + "\r\n";
    for (const auto& [name, value] : reply.headers) response += name + ": " + value + "\r\n";
    response += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n\r\n" + reply.body;
    --waiting_;
    if (!SendAll(fd, response)) break;
  }
  close(fd);
}

}  // namespace pathmere::testing
