#include "cli/status_command.h"

#include <cstdio>
#include <string>

#include "app/collector_channel.h"
#include "platform/instance_channel.h"

namespace pathmere {

int RunStatusCommand() {
  std::string problem;
  const auto folder = InstanceChannel::DefaultFolder(&problem);
  if (folder.empty()) {
    std::fprintf(stderr, "pathmere-cli: cannot reach a running Pathmere: %s\n", problem.c_str());
    return 1;
  }
  // A collector answers on a channel of its own, after the logger.
  std::string collectorText;
  bool collectorAnswered = false;
  if (const auto collector = CollectorChannel(nullptr); collector != nullptr) {
    collectorAnswered = collector->RequestStatus(&collectorText) == InstanceChannel::StatusResult::kAnswered;
  }
  InstanceChannel channel(folder);
  std::string text;
  int result = 1;
  switch (channel.RequestStatus(&text)) {
    case InstanceChannel::StatusResult::kAnswered:
      std::fwrite(text.data(), 1, text.size(), stdout);
      result = 0;
      break;
    case InstanceChannel::StatusResult::kNoInstance:
      if (collectorAnswered) {
        result = 0;
        break;
      }
      std::fprintf(stderr, "pathmere-cli: no Pathmere is running\n");
      return 1;
    case InstanceChannel::StatusResult::kNotUnderstood:
      std::fprintf(stderr,
                   "pathmere-cli: the running Pathmere is an older version that cannot tell its status\n");
      break;
    case InstanceChannel::StatusResult::kFailed:
      std::fprintf(stderr, "pathmere-cli: the running Pathmere did not answer\n");
      break;
  }
  if (collectorAnswered) {
    if (!text.empty()) std::fputc('\n', stdout);
    std::fwrite(collectorText.data(), 1, collectorText.size(), stdout);
  }
  return result;
}

}  // namespace pathmere
