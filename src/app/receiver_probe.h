#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/device_holders.h"
#include "platform/receiver_port.h"
#include "platform/source_address.h"
#include "platform/tick_clock.h"

namespace pathmere {

// What listening to one device found.
struct ProbeResult {
  enum class Outcome {
    kAnswered,    // sentences with good checksums arrived at `speed`
    kSilent,      // none at any speed
    kBusy,        // another program has it: not probed
    kCannotOpen,  // `error` says why
    kGone,        // it went away during the probe
  };
  Outcome outcome = Outcome::kSilent;
  int32_t speed = 0;
  std::set<std::string> talkers;  // "GN", "GP", ...; "P" for proprietary sentences
  std::set<std::string> types;    // "GGA", "RMC", ...; proprietary ones by their whole address
  std::vector<int32_t> refusedSpeeds;
  int error = 0;
  std::vector<DeviceHolder> holders;
  uint32_t bytes = 0;    // bytes that arrived, sentences or not
  bool network = false;  // a network source: no speeds
  std::string problem;   // why a network source cannot be opened

  bool answered() const { return outcome == Outcome::kAnswered; }
};

// "answers at 9600 bit/s: talkers GN GP, sentences GGA GSV RMC", "busy, held
// by gpsd (pid 812): not probed", ...
std::string DescribeProbe(const ProbeResult& result);

// Listens to one device at the usual receiver speeds in turn, each for at
// most kListenMs and shorter once kEnough sentences with good checksums have
// arrived. A device that another program holds is left alone. Driven one
// step at a time, each within about 100 ms, so a window stays responsive;
// the whole probe is bounded by the speeds times kListenMs.
class ReceiverProbe {
 public:
  static constexpr int32_t kSpeeds[] = {4800, 9600, 19200, 38400, 57600, 115200};
  static constexpr uint32_t kListenMs = 1500;
  static constexpr int kEnough = 2;
  // A network source has no speeds to try, but a connection to make first.
  static constexpr uint32_t kSourceListenMs = 3000;

  ReceiverProbe(std::filesystem::path device, TickClock& clock);
  // Listens to a network source once, as it is.
  ReceiverProbe(SourceAddress source, TickClock& clock);

  // One step; false once the probe is over.
  bool Step();
  const std::filesystem::path& device() const { return device_; }
  const ProbeResult& result() const { return result_; }
  // How many speeds are behind it, for progress.
  int speedsDone() const { return speedIndex_; }

 private:
  void OpenNextSpeed();
  void Take(uint8_t c);
  void Judge();
  void NextSpeed();
  void Finish(ProbeResult::Outcome outcome);

  std::filesystem::path device_;
  TickClock& clock_;
  ReceiverPort port_{std::filesystem::path()};
  ProbeResult result_;
  bool done_ = false;
  bool openedOnce_ = false;
  bool open_ = false;
  int speedIndex_ = 0;
  uint32_t listenStart_ = 0;
  // The speed with the most good sentences so far.
  int32_t bestSpeed_ = 0;
  int bestCount_ = 0;
  std::set<std::string> bestTalkers_, bestTypes_;
  // This speed's sentences.
  int good_ = 0;
  std::set<std::string> talkers_, types_;
  char line_[128] = {};
  int length_ = -1;  // -1: not in a sentence
};

}  // namespace pathmere
