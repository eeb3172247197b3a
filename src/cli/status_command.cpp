#include "cli/status_command.h"

#include <cstdio>
#include <string>

#include "platform/instance_channel.h"

namespace pathmere {

int RunStatusCommand() {
  std::string problem;
  const auto folder = InstanceChannel::DefaultFolder(&problem);
  if (folder.empty()) {
    std::fprintf(stderr, "pathmere-cli: cannot reach a running Pathmere: %s\n", problem.c_str());
    return 1;
  }
  InstanceChannel channel(folder);
  std::string text;
  switch (channel.RequestStatus(&text)) {
    case InstanceChannel::StatusResult::kAnswered:
      std::fwrite(text.data(), 1, text.size(), stdout);
      return 0;
    case InstanceChannel::StatusResult::kNoInstance:
      std::fprintf(stderr, "pathmere-cli: no Pathmere is running\n");
      return 1;
    case InstanceChannel::StatusResult::kNotUnderstood:
      std::fprintf(stderr,
                   "pathmere-cli: the running Pathmere is an older version that cannot tell its status\n");
      return 1;
    case InstanceChannel::StatusResult::kFailed:
      break;
  }
  std::fprintf(stderr, "pathmere-cli: the running Pathmere did not answer\n");
  return 1;
}

}  // namespace pathmere
