#include "app/collector_channel.h"

namespace pathmere {

std::unique_ptr<InstanceChannel> CollectorChannel(std::string* problem) {
  const auto folder = InstanceChannel::DefaultFolder(problem);
  if (folder.empty()) return nullptr;
  return std::make_unique<InstanceChannel>(folder, "PATHMERE", "Pathmere collector");
}

}  // namespace pathmere
