#pragma once

#include <memory>
#include <string>

#include "app/publish_target.h"
#include "output/outbox.h"
#include "output/position_publisher.h"
#include "platform/mqtt_connection.h"

namespace pathmere {

// Everything publishing needs, made from a target: the outbox under
// $XDG_STATE_HOME/pathmere/outbox/, the broker connection with its last
// will, and the publisher the program hands each track point.
class Publishing {
 public:
  // `outboxName`: the outbox's folder under $XDG_STATE_HOME/pathmere.
  explicit Publishing(const PublishTarget& target, const char* outboxName = "outbox");
  PositionPublisher& publisher() { return publisher_; }
  const Outbox& outbox() const { return outbox_; }

 private:
  static MqttOptions WithWill(MqttOptions options);

  Outbox outbox_;
  MqttConnection connection_;
  PositionPublisher publisher_;
};

// $XDG_STATE_HOME/pathmere/NAME (or ~/.local/state/...).
std::filesystem::path OutboxFolder(const char* name = "outbox");

}  // namespace pathmere
