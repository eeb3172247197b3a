#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "fix/gps_fix.h"
#include "output/outbox.h"
#include "platform/mqtt_connection.h"

namespace pathmere {

// Publishes each track point to the broker as an OwnTracks location, through
// the outbox: a point is appended there when it is taken and leaves it only
// when the broker acknowledges it. While nothing waits, a point goes out at
// once, retained, so a subscriber that comes later sees where the vehicle
// is. A backlog (after an outage or a restart) goes oldest first, not
// retained, at most `backlogPerTick` a tick; its last message, the newest
// position, is retained.
class PositionPublisher {
 public:
  struct Options {
    std::string topic;      // owntracks/USER/DEVICE
    std::string trackerId;  // `tid`
    std::string target;     // the broker's address as the user gave it, for telling
    int32_t backlogPerTick = 200;
    int32_t inFlightLimit = 200;
  };

  PositionPublisher(Outbox& outbox, MqttConnection& connection, Options options);

  // One track point, made at `createdAt` (seconds since 1970).
  void AddPoint(const GpsFix& fix, int64_t createdAt);
  // Once a tick: takes the acknowledgements, moves the outbox's cursor,
  // sends what the backlog allows.
  void Pump();
  // While held (a replay running), points only go into the outbox; the
  // backlog goes out once it is released, its newest point retained.
  void Hold(bool on) { held_ = on; }
  // The outbox made durable (when the day files are written).
  void Sync() { outbox_.Sync(); }

  bool connected() const { return connection_.connected(); }
  bool tlsRefused() const { return connection_.tlsRefused(); }
  std::string problem() const { return connection_.problem(); }
  const std::string& target() const { return options_.target; }
  const std::string& topic() const { return options_.topic; }
  int64_t waiting() const { return outbox_.Waiting(); }
  const Outbox& outbox() const { return outbox_; }
  // Lines for the journal since the last call: the connection's state as it
  // changes, an outbox that cannot be written, dropped points (once).
  std::vector<std::string> TakeNotes();

 private:
  struct InFlight {
    int id = 0;
    Outbox::Position end;
    bool acknowledged = false;
  };
  void Send(int32_t budget);
  void TellLost();

  Outbox& outbox_;
  MqttConnection& connection_;
  Options options_;
  uint64_t session_ = 0;
  Outbox::Position next_;  // the next line to send
  std::deque<InFlight> inFlight_;
  std::vector<std::string> notes_;
  bool outboxProblemTold_ = false;
  int64_t lostTold_ = 0;
  std::string problemTold_;
  bool connectedTold_ = false;
  bool held_ = false;
};

}  // namespace pathmere
