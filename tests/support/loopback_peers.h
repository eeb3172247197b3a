#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "support/child_process.h"
#include "support/fake_receiver.h"
#include "support/test_environment.h"

namespace pathmere::testing {

// A port on 127.0.0.1 that nothing listens on just now.
int FreeLoopbackPort(int socketType);

// An NMEA server on 127.0.0.1, as a boat's gateway or a phone app: it
// listens, takes one client at a time and writes to it. Stop() ends the
// listening too, so a client's connection is refused until Listen() again.
class LoopbackServer {
 public:
  LoopbackServer();  // on a free port
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }
  bool Listen();
  // Waits up to `ms` for a client; false when none came.
  bool Accept(int ms);
  // Writes everything to the client (blocking while its buffer is full).
  bool Send(std::string_view bytes);
  // What the client sent within `ms` (up to one read).
  std::string Receive(int ms);
  void CloseClient();
  void Stop();

 private:
  int port_ = 0;
  int listen_ = -1;
  int client_ = -1;
};

// Sends datagrams to 127.0.0.1:port from a socket of its own.
class LoopbackSender {
 public:
  explicit LoopbackSender(int port);
  ~LoopbackSender();
  LoopbackSender(const LoopbackSender&) = delete;
  LoopbackSender& operator=(const LoopbackSender&) = delete;
  bool Send(std::string_view datagram);

 private:
  int port_;
  int fd_ = -1;
};

// Debian's gpsd in the foreground on a free loopback port, reading a
// pseudo-terminal that the test writes to as the receiver. found() is false
// when gpsd is not installed: a test then skips, unless
// PATHMERE_REQUIRE_GPSD is set (as it is in CI), when it fails.
class GpsdOnTerminal {
 public:
  GpsdOnTerminal();
  static bool found();
  // Skips the calling test (or fails it in CI) when gpsd is missing.
  static bool SkipWithoutGpsd();

  int port() const { return port_; }
  FakeReceiver& receiver() { return receiver_; }
  // Started anew on the same port and terminal; Stop() ends it with SIGTERM.
  bool Start();
  void Stop();
  const std::string& log() const { return log_; }

 private:
  TempFolder folder_;
  FakeReceiver receiver_;
  int port_ = 0;
  std::string log_;
  std::unique_ptr<ChildProcess> process_;
};

}  // namespace pathmere::testing
