#include "platform/device_holders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <system_error>

namespace pathmere {

namespace fs = std::filesystem;

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
  // Character devices are the same device whatever node names them.
  if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode)) return a.st_rdev == b.st_rdev;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int PidOf(const std::string& name) {
  if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::atoi(name.c_str());
}

}  // namespace

std::vector<DeviceHolder> OtherProcessesHolding(const fs::path& device) {
  std::vector<DeviceHolder> holders;
  struct stat wanted {};
  if (stat(device.c_str(), &wanted) != 0) return holders;
  const int self = getpid();
  std::error_code error;
  for (fs::directory_iterator process("/proc", error), end; !error && process != end;
       process.increment(error)) {
    const int pid = PidOf(process->path().filename().string());
    if (pid == 0 || pid == self) continue;
    std::error_code fdError;
    for (fs::directory_iterator fd(process->path() / "fd", fdError);
         !fdError && fd != fs::directory_iterator(); fd.increment(fdError)) {
      struct stat open {};
      if (stat(fd->path().c_str(), &open) != 0 || !SameFile(open, wanted)) continue;
      DeviceHolder holder{pid, {}};
      std::ifstream comm(process->path() / "comm");
      std::getline(comm, holder.name);
      if (holder.name.empty()) holder.name = "?";
      holders.push_back(holder);
      break;
    }
  }
  return holders;
}

std::string DescribeHolders(const std::vector<DeviceHolder>& holders) {
  std::string text;
  for (const DeviceHolder& holder : holders) {
    if (!text.empty()) text += ", ";
    text += holder.name + " (pid " + std::to_string(holder.pid) + ")";
  }
  return text;
}

}  // namespace pathmere
