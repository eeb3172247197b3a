#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pathmere {

// A process that has a device open.
struct DeviceHolder {
  int pid = 0;
  std::string name;  // its command name (/proc/PID/comm)
};

// The other processes that have `device` (or what a link to it names) open,
// as /proc shows them: only processes whose descriptors this user may see,
// never the calling process itself. Two programs reading one serial
// receiver each get a part of its sentences.
std::vector<DeviceHolder> OtherProcessesHolding(const std::filesystem::path& device);

// "gpsd (pid 812)", several joined by ", ".
std::string DescribeHolders(const std::vector<DeviceHolder>& holders);

}  // namespace pathmere
