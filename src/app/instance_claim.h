#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/instance_channel.h"

namespace pathmere {

// What a start of the program is, decided before anything else runs.
enum class StartRole {
  kRunningInstance,  // listening on the channel: this start is the running instance
  kWithoutChannel,   // the channel cannot be used: run, but take no commands
  kOtherInstance,    // another instance runs, and this start forwards nothing
  kHandedOver,       // the running instance took the code ("/noup": nothing to send)
  kNotAnswered,      // a running instance did not take the code
};

struct InstanceClaim {
  StartRole role = StartRole::kWithoutChannel;
  // Set for kRunningInstance: the channel to serve forwarded codes from.
  // Also kept for kWithoutChannel while it holds the instance lock, which
  // must stay held for the whole run (it does not listen then).
  std::unique_ptr<InstanceChannel> channel;
  // Why commands from other starts are off (kWithoutChannel).
  std::string problem;
};

// Becomes the running instance on the user's channel. When another instance
// runs, a start with a `commandLine` forwards that command line's code and
// waits until it has been handled; a start without one only learns that the
// other instance is there. The first instance ignores its command line.
InstanceClaim ClaimInstance(std::optional<std::string_view> commandLine);

// The same on a given channel, for tests.
StartRole ClaimOrForward(InstanceChannel& channel, std::optional<std::string_view> commandLine);

}  // namespace pathmere
