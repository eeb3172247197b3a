#include "support/mosquitto_broker.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "support/loopback_peers.h"

namespace pathmere::testing {

namespace {

const char* const kMosquitto = "/usr/sbin/mosquitto";
const char* const kMosquittoPasswd = "/usr/bin/mosquitto_passwd";
const char* const kOpenssl = "/usr/bin/openssl";

bool Listening(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool up = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return up;
}

}  // namespace

MosquittoBroker::MosquittoBroker() : port_(FreeLoopbackPort(SOCK_STREAM)) {
  const std::string folder = folder_.path().string();
  std::ofstream(folder_.path() / "mosquitto.conf") << "listener " << port_ << " 127.0.0.1\n"
                                                   << "allow_anonymous false\n"
                                                   << "password_file " << folder << "/passwords\n"
                                                   << "persistence true\n"
                                                   << "persistence_location " << folder << "/\n"
                                                   << "max_queued_messages 0\n"
                                                   << "log_dest stderr\n";
  // Started as root it would become the user "mosquitto", who may not read
  // this folder: it stays whoever runs the test.
  if (const passwd* entry = getpwuid(getuid()); entry != nullptr) {
    std::ofstream(folder_.path() / "mosquitto.conf", std::ios::app) << "user " << entry->pw_name << "\n";
  }
  // mosquitto_passwd hashes the password into the file.
  const CommandResult made =
      RunCommand({kMosquittoPasswd, "-b", "-c", folder + "/passwords", "car", "secret"});
  if (made.exitStatus != 0) ADD_FAILURE() << "mosquitto_passwd: " << made.err;
  RunCommand({kMosquittoPasswd, "-b", folder + "/passwords", "collector", "secret"});
  std::ofstream(folder_.path() / "password") << "secret\n";
  // A test CA and a server certificate for 127.0.0.1 (not for the name
  // localhost, so that a name mismatch can be tried), valid for a day.
  std::ofstream(folder_.path() / "san.ext") << "subjectAltName=IP:127.0.0.1\n";
  const bool madeCertificates =
      RunCommand({kOpenssl, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", folder + "/ca.key",
                  "-out", folder + "/ca.crt", "-days", "1", "-subj", "/CN=Pathmere test CA"})
              .exitStatus == 0 &&
      RunCommand({kOpenssl, "req", "-newkey", "rsa:2048", "-nodes", "-keyout", folder + "/server.key", "-out",
                  folder + "/server.csr", "-subj", "/CN=127.0.0.1"})
              .exitStatus == 0 &&
      RunCommand({kOpenssl, "x509", "-req", "-in", folder + "/server.csr", "-CA", folder + "/ca.crt",
                  "-CAkey", folder + "/ca.key", "-CAcreateserial", "-out", folder + "/server.crt", "-days",
                  "1", "-extfile", folder + "/san.ext"})
              .exitStatus == 0;
  if (madeCertificates) {
    tlsPort_ = FreeLoopbackPort(SOCK_STREAM);
    std::ofstream(folder_.path() / "mosquitto.conf", std::ios::app)
        << "listener " << tlsPort_ << " 127.0.0.1\n"
        << "certfile " << folder << "/server.crt\n"
        << "keyfile " << folder << "/server.key\n";
  }
  chmod((folder_.path() / "password").c_str(), 0600);
}

MosquittoBroker::~MosquittoBroker() { Stop(); }

bool MosquittoBroker::SkipWithoutMosquitto() {
  if (access(kMosquitto, X_OK) == 0) return false;
  if (std::getenv("PATHMERE_REQUIRE_MOSQUITTO") != nullptr) ADD_FAILURE() << "mosquitto is not installed";
  return true;
}

std::string MosquittoBroker::url(const std::string& user) const {
  return "mqtt://" + user + "@127.0.0.1:" + std::to_string(port_);
}

std::string MosquittoBroker::caFile() const { return (folder_.path() / "ca.crt").string(); }

std::string MosquittoBroker::passwordFile() const { return (folder_.path() / "password").string(); }

bool MosquittoBroker::Start() {
  Stop();
  process_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{kMosquitto, "-c", (folder_.path() / "mosquitto.conf").string()});
  if (!process_->started()) return false;
  for (int i = 0; i < 100; ++i) {
    if (Listening(port_)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

void MosquittoBroker::Stop() {
  if (process_ == nullptr) return;
  const CommandResult result = process_->Stop(SIGTERM);
  log_ += result.out + result.err;
  process_.reset();
}

}  // namespace pathmere::testing
