#include "cli/forward_command.h"

#include <cstdio>
#include <string>

#include "platform/instance_channel.h"
#include "platform/second_start_switches.h"

namespace pathmere {

int RunForwardCommand(std::optional<int32_t> code, const std::vector<std::string>& unknownSwitches) {
  // A command line with words that are no switch ("pathmere-cli frobnicate")
  // is a usage error whether or not a Pathmere runs.
  const int delivered = unknownSwitches.empty() ? 0 : 2;
  const int failed = unknownSwitches.empty() ? 1 : 2;
  if (!unknownSwitches.empty())
    std::fprintf(stderr, "pathmere-cli: %s\n", UnknownSwitchesText(unknownSwitches).c_str());
  if (!code) return delivered;  // "/noup": nothing to send
  std::string problem;
  const auto folder = InstanceChannel::DefaultFolder(&problem);
  if (folder.empty()) {
    std::fprintf(stderr, "pathmere-cli: cannot reach a running Pathmere: %s\n", problem.c_str());
    return failed;
  }
  InstanceChannel channel(folder);
  switch (channel.Forward(*code)) {
    case InstanceChannel::ForwardResult::kDelivered:
      return delivered;
    case InstanceChannel::ForwardResult::kNoInstance:
      std::fprintf(stderr, "pathmere-cli: no Pathmere is running to take the command\n");
      return failed;
    case InstanceChannel::ForwardResult::kFailed:
      break;
  }
  std::fprintf(stderr, "pathmere-cli: the running Pathmere did not answer\n");
  return failed;
}

}  // namespace pathmere
