#pragma once

#include <memory>
#include <string>

#include "support/child_process.h"
#include "support/test_environment.h"

namespace pathmere::testing {

// Debian's Mosquitto broker in the foreground on a free loopback port, with
// a configuration and a password file of its own (user "car", password
// "secret") and persistence in its folder, so a stop and a start keep the
// sessions and retained messages as a real installation does. found() is
// false when mosquitto is not installed; a test then skips, unless
// PATHMERE_REQUIRE_MOSQUITTO is set (as it is in CI), when it fails.
class MosquittoBroker {
 public:
  MosquittoBroker();
  ~MosquittoBroker();
  static bool SkipWithoutMosquitto();

  int port() const { return port_; }
  // A second listener with TLS, its server certificate signed by a CA the
  // broker made with openssl (caFile()); 0 when openssl failed.
  int tlsPort() const { return tlsPort_; }
  std::string caFile() const;
  std::string url(const std::string& user = "car") const;
  // The password file for the logger: mode 0600, the password on one line.
  std::string passwordFile() const;
  // Started anew on the same port; Stop() ends it with SIGTERM, which
  // saves its state.
  bool Start();
  void Stop();
  const std::string& log() const { return log_; }

 private:
  TempFolder folder_;
  int port_ = 0;
  int tlsPort_ = 0;
  std::string log_;
  std::unique_ptr<ChildProcess> process_;
};

}  // namespace pathmere::testing
