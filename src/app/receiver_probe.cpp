#include "app/receiver_probe.h"

#include <cerrno>
#include <cstring>
#include <iterator>

#include "fix/nmea_checksum.h"

namespace pathmere {

namespace {

constexpr int kLongestSentence = 126;

std::string Joined(const std::set<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

bool IsAddressCharacter(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

}  // namespace

std::string DescribeProbe(const ProbeResult& result) {
  std::string text;
  switch (result.outcome) {
    case ProbeResult::Outcome::kAnswered:
      text = "answers" + (result.network ? std::string() : " at " + std::to_string(result.speed) + " bit/s") +
             ": talkers " + Joined(result.talkers) + ", sentences " + Joined(result.types);
      break;
    case ProbeResult::Outcome::kSilent:
      text = result.network ? "no sentences with good checksums"
                            : "no sentences with good checksums at any speed";
      if (result.bytes > 0) text += " (" + std::to_string(result.bytes) + " bytes of other data)";
      break;
    case ProbeResult::Outcome::kBusy:
      text = "busy, held by " +
             (result.holders.empty() ? std::string("another program") : DescribeHolders(result.holders)) +
             ": not probed";
      break;
    case ProbeResult::Outcome::kCannotOpen:
      text = "cannot be opened: " +
             (result.problem.empty() ? std::string(std::strerror(result.error)) : result.problem);
      break;
    case ProbeResult::Outcome::kGone:
      text = "went away during the probe";
      break;
  }
  for (const int32_t speed : result.refusedSpeeds) text += "; refuses " + std::to_string(speed) + " bit/s";
  return text;
}

ReceiverProbe::ReceiverProbe(std::filesystem::path device, TickClock& clock)
    : device_(std::move(device)), clock_(clock) {
  port_.UseDevice(device_.string());
}

ReceiverProbe::ReceiverProbe(SourceAddress source, TickClock& clock) : device_(source.text), clock_(clock) {
  result_.network = true;
  port_.UseSource(std::move(source));
}

bool ReceiverProbe::Step() {
  if (done_) return false;
  if (!open_) {
    OpenNextSpeed();
    return !done_;
  }
  uint8_t buffer[1024];
  const int32_t count = port_.ReadPort(buffer, sizeof buffer);
  if (count < 0 && result_.network) {
    // A connection that did not come about, or one closed at once.
    result_.problem = port_.problem();
    Finish(ProbeResult::Outcome::kCannotOpen);
    return false;
  }
  if (count < 0) {
    Finish(ProbeResult::Outcome::kGone);
    return false;
  }
  result_.bytes += static_cast<uint32_t>(count);
  for (int32_t i = 0; i < count; ++i) Take(buffer[i]);
  const uint32_t listenMs = result_.network ? kSourceListenMs : kListenMs;
  if (good_ >= kEnough || clock_.NowMs() - listenStart_ >= listenMs) NextSpeed();
  return !done_;
}

void ReceiverProbe::OpenNextSpeed() {
  if (speedIndex_ == 0 && !openedOnce_ && !result_.network) {
    // Opening would take sentences from the program that reads it.
    result_.holders = OtherProcessesHolding(device_);
    if (!result_.holders.empty()) return Finish(ProbeResult::Outcome::kBusy);
  }
  if (speedIndex_ >= (result_.network ? 1 : static_cast<int>(std::size(kSpeeds)))) {
    return Finish(bestCount_ > 0 ? ProbeResult::Outcome::kAnswered : ProbeResult::Outcome::kSilent);
  }
  const int32_t speed = kSpeeds[speedIndex_];
  const int32_t code = port_.OpenPort(0, speed);
  if (code == 4) {
    result_.refusedSpeeds.push_back(speed);
    ++speedIndex_;
    return;
  }
  if (code != 0) {
    result_.error = port_.lastOpenErrno();
    result_.problem = port_.problem();
    if (result_.error == EBUSY && !result_.network) {
      result_.holders = port_.serial().otherHolders();
      return Finish(ProbeResult::Outcome::kBusy);
    }
    return Finish(openedOnce_ ? ProbeResult::Outcome::kGone : ProbeResult::Outcome::kCannotOpen);
  }
  openedOnce_ = true;
  open_ = true;
  if (!result_.network) port_.DiscardInput();
  listenStart_ = clock_.NowMs();
  good_ = 0;
  talkers_.clear();
  types_.clear();
  length_ = -1;
}

void ReceiverProbe::NextSpeed() {
  if (good_ > bestCount_) {
    bestCount_ = good_;
    bestSpeed_ = result_.network ? 0 : kSpeeds[speedIndex_];
    bestTalkers_ = talkers_;
    bestTypes_ = types_;
  }
  port_.ClosePort();
  open_ = false;
  ++speedIndex_;
  if (good_ >= kEnough) Finish(ProbeResult::Outcome::kAnswered);
}

void ReceiverProbe::Take(uint8_t c) {
  if (c == '$' || c == '!') {
    line_[0] = static_cast<char>(c);
    length_ = 1;
  } else if (length_ < 0) {
    return;
  } else if (c == '\r' || c == '\n') {
    line_[length_] = '\0';
    length_ = -1;
    Judge();
  } else if (length_ >= kLongestSentence) {
    length_ = -1;  // too long for NMEA: binary data, or the wrong speed
  } else {
    line_[length_++] = static_cast<char>(c);
  }
}

// A sentence counts when its checksum is good and its address is one:
// talker and type ("GNRMC"), or a maker's ("PUBX").
void ReceiverProbe::Judge() {
  if (VerifyChecksum(line_) != 0) return;
  int length = 0;
  while (IsAddressCharacter(line_[1 + length])) ++length;
  const char end = line_[1 + length];
  if (length < 3 || (end != ',' && end != '*')) return;
  const std::string address(line_ + 1, static_cast<size_t>(length));
  if (address[0] == 'P') {
    talkers_.insert("P");
    types_.insert(address);
  } else {
    talkers_.insert(address.substr(0, 2));
    types_.insert(address.substr(2));
  }
  ++good_;
}

void ReceiverProbe::Finish(ProbeResult::Outcome outcome) {
  port_.ClosePort();
  open_ = false;
  done_ = true;
  result_.outcome = outcome;
  if (outcome == ProbeResult::Outcome::kAnswered) {
    result_.speed = bestSpeed_;
    result_.talkers = bestTalkers_;
    result_.types = bestTypes_;
  }
}

}  // namespace pathmere
