#include "output/position_publisher.h"

#include "output/owntracks_location.h"

namespace pathmere {

PositionPublisher::PositionPublisher(Outbox& outbox, MqttConnection& connection, Options options)
    : outbox_(outbox), connection_(connection), options_(std::move(options)), next_(outbox.cursor()) {}

void PositionPublisher::AddPoint(const GpsFix& fix, int64_t createdAt) {
  const std::string message = ComposeOwnTracksLocation(fix, options_.trackerId, createdAt);
  if (message.empty()) return;
  const bool nothingWaits = outbox_.AtEnd(next_) && session_ == connection_.session();
  if (!outbox_.Append(message)) {
    if (!outboxProblemTold_) {
      notes_.push_back(
          "outbox: " + (outbox_.problem().empty() ? std::string("not usable") : outbox_.problem()) +
          "; points wait in memory until it can be written");
    }
    outboxProblemTold_ = true;
    TellLost();
    return;
  }
  if (outboxProblemTold_) notes_.push_back("outbox written again");
  outboxProblemTold_ = false;
  if (outbox_.TakeDroppedNotice()) {
    notes_.push_back("outbox full: the oldest points not yet sent are dropped (" +
                     std::to_string(outbox_.dropped()) + " so far)");
  }
  // Live: out at once. Behind a backlog it waits its turn.
  if (nothingWaits) Send(1);
}

void PositionPublisher::TellLost() {
  if (outbox_.lost() == lostTold_) return;
  lostTold_ = outbox_.lost();
  notes_.push_back(std::to_string(lostTold_) + " points not kept for the broker");
}

void PositionPublisher::Pump() {
  // What waits in memory goes to disk before anything else is sent.
  if (outbox_.unwritten() > 0 && outbox_.WriteUnwritten() && outboxProblemTold_) {
    notes_.push_back("outbox written again");
    outboxProblemTold_ = false;
  }
  const uint64_t session = connection_.session();
  if (session != session_) {
    // A new connection knows nothing of the old one's messages: start again
    // from the first one not acknowledged.
    session_ = session;
    inFlight_.clear();
    next_ = outbox_.cursor();
  }
  for (const MqttSent& sent : connection_.TakeAcknowledged()) {
    if (sent.session != session_) continue;
    for (InFlight& message : inFlight_) {
      if (message.id == sent.id) message.acknowledged = true;
    }
  }
  bool moved = false;
  Outbox::Position acknowledged;
  while (!inFlight_.empty() && inFlight_.front().acknowledged) {
    acknowledged = inFlight_.front().end;
    inFlight_.pop_front();
    moved = true;
  }
  if (moved) outbox_.Acknowledge(acknowledged);
  Send(options_.backlogPerTick);
}

void PositionPublisher::Send(int32_t budget) {
  if (held_ || session_ == 0 || session_ != connection_.session()) return;
  std::string message;
  while (budget-- > 0 && static_cast<int32_t>(inFlight_.size()) < options_.inFlightLimit) {
    Outbox::Position after = next_;
    if (!outbox_.ReadNext(&after, &message)) return;
    // The newest position is the one a late subscriber should find.
    const MqttSent sent = connection_.Publish(options_.topic, message, outbox_.AtEnd(after));
    if (sent.session != session_) return;  // lost meanwhile: the next tick starts again
    inFlight_.push_back({sent.id, after, false});
    next_ = after;
  }
}

std::vector<std::string> PositionPublisher::TakeNotes() {
  const bool connected = connection_.connected();
  const std::string problem = connection_.problem();
  if (connected && !connectedTold_) {
    notes_.push_back("publishing to " + options_.topic);
    problemTold_.clear();
  } else if (!connected && !problem.empty() && problem != problemTold_) {
    notes_.push_back(problem + ", retrying");
    problemTold_ = problem;
  }
  connectedTold_ = connected;
  std::vector<std::string> notes;
  notes.swap(notes_);
  return notes;
}

}  // namespace pathmere
