#pragma once

#include <memory>
#include <string>

#include "app/publish_target.h"
#include "output/outbox.h"
#include "output/position_publisher.h"
#include "platform/mqtt_connection.h"

namespace pathmere {

// $XDG_STATE_HOME/pathmere/NAME (or ~/.local/state/...).
std::filesystem::path OutboxFolder(const char* name = "outbox");

// Everything publishing needs, made from a target: the outbox under
// $XDG_STATE_HOME/pathmere/outbox/, the broker connection with its last
// will, and the publisher the program hands each track point.
class Publishing {
 public:
  // `outbox`: the outbox's folder (OutboxFolder() for the logger's).
  explicit Publishing(const PublishTarget& target, const std::filesystem::path& outbox = OutboxFolder());
  ~Publishing();
  Publishing(const Publishing&) = delete;
  Publishing& operator=(const Publishing&) = delete;
  PositionPublisher& publisher() { return publisher_; }
  const Outbox& outbox() const { return outbox_; }
  // False when another process holds the outbox (a replay of the same
  // vehicle to the same broker); nothing may be published through it then.
  bool owned() const { return lock_ != -1; }

 private:
  static MqttOptions WithWill(MqttOptions options);

  int lock_ = -1;  // held for the outbox's life (-2: none to be had)
  Outbox outbox_;
  MqttConnection connection_;
  PositionPublisher publisher_;
};

// The replays' outbox of one identity: outbox-replay/BROKER/USER/DEVICE, so
// a point waiting there is only ever published as the vehicle it was taken
// for, to the broker it was meant for. BROKER is "mqtt_HOST_PORT" (or
// mqtts), the host's bytes other than letters, digits, "." and "-" as %XX.
std::filesystem::path ReplayOutboxFolder(const PublishTarget& target);

}  // namespace pathmere
