#include "app/publishing.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "output/owntracks_location.h"
#include "platform/plain_file.h"

namespace pathmere {

std::filesystem::path OutboxFolder(const char* name) {
  const std::filesystem::path state = UserStateFolder();
  return state.empty() ? std::filesystem::path() : state / "pathmere" / name;
}

std::filesystem::path ReplayOutboxFolder(const PublishTarget& target) {
  const std::filesystem::path base = OutboxFolder("outbox-replay");
  if (base.empty()) return base;
  std::string broker = target.connection.tls ? "mqtts_" : "mqtt_";
  for (const char c : target.connection.host) {
    const bool plain =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
    char code[4];
    std::snprintf(code, sizeof code, "%%%02X", static_cast<unsigned char>(c));
    broker += plain ? std::string(1, c) : std::string(code);
  }
  broker += "_" + std::to_string(target.connection.port);
  return base / broker / target.user / target.device;
}

namespace {

// An exclusive lock on FOLDER/lock, made with the folder; -1 when another
// process holds it.
int LockOutbox(const std::filesystem::path& folder) {
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  const int fd = open((folder / "lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return -2;  // no lock to be had: the outbox tells its own fault
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

MqttOptions Publishing::WithWill(MqttOptions options) {
  options.willPayload = ComposeOwnTracksWill(std::time(nullptr));
  return options;
}

Publishing::Publishing(const PublishTarget& target, const std::filesystem::path& outbox)
    : lock_(LockOutbox(outbox)),
      // Another process's outbox is not even opened: opening mends its tail.
      outbox_(lock_ == -1 ? std::filesystem::path() : outbox),
      connection_(WithWill(target.connection)),
      publisher_(outbox_, connection_, {target.topic(), target.trackerId, target.url}) {}

}  // namespace pathmere

namespace pathmere {

Publishing::~Publishing() {
  if (lock_ >= 0) close(lock_);
}

}  // namespace pathmere
