#include "app/instance_claim.h"

namespace pathmere {

StartRole ClaimOrForward(InstanceChannel& channel, std::optional<std::string_view> commandLine) {
  // Twice at most: an instance that ends between our look and our call is
  // replaced by this one.
  for (int attempt = 0; attempt < 2; ++attempt) {
    switch (channel.Listen()) {
      case InstanceChannel::ListenResult::kListening:
        return StartRole::kRunningInstance;
      case InstanceChannel::ListenResult::kFailed:
        return StartRole::kWithoutChannel;
      case InstanceChannel::ListenResult::kOtherInstance:
        break;
    }
    if (!commandLine) return StartRole::kOtherInstance;
    const auto code = ForwardedCode(*commandLine);
    if (!code) return StartRole::kHandedOver;
    switch (channel.Forward(*code)) {
      case InstanceChannel::ForwardResult::kDelivered:
        return StartRole::kHandedOver;
      case InstanceChannel::ForwardResult::kFailed:
        return StartRole::kNotAnswered;
      case InstanceChannel::ForwardResult::kNoInstance:
        break;
    }
  }
  return StartRole::kNotAnswered;
}

InstanceClaim ClaimInstance(std::optional<std::string_view> commandLine) {
  InstanceClaim claim;
  const auto folder = InstanceChannel::DefaultFolder(&claim.problem);
  if (folder.empty()) return claim;
  auto channel = std::make_unique<InstanceChannel>(folder);
  claim.role = ClaimOrForward(*channel, commandLine);
  if (claim.role == StartRole::kWithoutChannel) {
    claim.problem = channel->listenProblem().empty() ? "cannot use " + channel->socketPath().string()
                                                     : channel->listenProblem();
  }
  if (claim.role == StartRole::kRunningInstance || channel->holdsInstanceLock()) {
    claim.channel = std::move(channel);
  }
  return claim;
}

}  // namespace pathmere
