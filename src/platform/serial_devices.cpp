#include "platform/serial_devices.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <system_error>

#include "platform/source_address.h"

namespace pathmere {

namespace fs = std::filesystem;

namespace {

// The first line of a sysfs attribute; empty when there is none.
std::string Attribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

fs::path Canonical(const fs::path& path) {
  std::error_code error;
  fs::path resolved = fs::canonical(path, error);
  return error ? fs::path() : resolved;
}

}  // namespace

fs::path SerialDeviceInfo::LinkTarget() const { return stableNames.empty() ? node : stableNames.front(); }

std::string SerialDeviceInfo::ShortName(const fs::path& devRoot) const {
  std::string name = node.string();
  for (const fs::path& root : {Canonical(devRoot), fs::path("/dev")}) {
    const fs::path relative = node.lexically_relative(root);
    if (!root.empty() && !relative.empty() && relative.begin()->string() != "..") {
      name = relative.string();
      break;
    }
  }
  const std::string& what = product.empty() ? manufacturer : product;
  if (!what.empty()) name += " " + what;
  return name;
}

SerialDeviceSurvey::SerialDeviceSurvey(fs::path portsFolder, fs::path devRoot, fs::path sysRoot)
    : portsFolder_(std::move(portsFolder)), devRoot_(std::move(devRoot)), sysRoot_(std::move(sysRoot)) {}

fs::path SerialDeviceSurvey::DeviceOf(int32_t portNumber) const {
  const fs::path link = portsFolder_ / ("COM" + std::to_string(portNumber));
  struct stat info {};
  if (!portsFolder_.empty() && lstat(link.c_str(), &info) == 0) return link;
  static const char* const kFamilies[] = {"ttyUSB", "ttyACM", "rfcomm", "ttyS"};
  if (portNumber < 0 || portNumber >= kPortCount) return {};
  return devRoot_ / (kFamilies[portNumber / 4] + std::to_string(portNumber % 4));
}

SerialDeviceInfo SerialDeviceSurvey::Describe(const fs::path& device) const {
  SerialDeviceInfo info;
  info.node = Canonical(device);
  struct stat node {};
  if (info.node.empty() || stat(info.node.c_str(), &node) != 0) return {};

  std::error_code error;
  for (const char* folder : {"serial/by-id", "serial/by-path"}) {
    for (fs::directory_iterator it(devRoot_ / folder, error), end; !error && it != end; it.increment(error)) {
      if (Canonical(it->path()) == info.node) info.stableNames.push_back(it->path());
    }
    error.clear();
  }
  std::sort(info.stableNames.begin(), info.stableNames.end());

  // sysfs: class/tty/NAME/device is the interface the tty hangs off; its
  // driver is the serial driver, and on USB its parent holds the identity.
  const fs::path tty = sysRoot_ / "class" / "tty" / info.node.filename();
  const fs::path interface = Canonical(tty / "device");
  if (!interface.empty()) {
    info.driver = Canonical(interface / "driver").filename().string();
    for (fs::path at = interface; !at.empty() && at != at.parent_path(); at = at.parent_path()) {
      if (!fs::exists(at / "idVendor", error)) continue;
      info.usbVendor = Attribute(at / "idVendor");
      info.usbProduct = Attribute(at / "idProduct");
      info.usbSerial = Attribute(at / "serial");
      info.manufacturer = Attribute(at / "manufacturer");
      info.product = Attribute(at / "product");
      break;
    }
  }
  info.group = GroupName(node.st_gid);
  info.mayOpen = faccessat(AT_FDCWD, info.node.c_str(), R_OK, AT_EACCESS) == 0;
  info.holders = OtherProcessesHolding(info.node);
  return info;
}

std::vector<fs::path> SerialDeviceSurvey::PresentDevices() const {
  std::vector<fs::path> devices;
  std::error_code error;
  for (fs::directory_iterator it(sysRoot_ / "class" / "tty", error), end; !error && it != end;
       it.increment(error)) {
    // Only ttys with a device behind them; a legacy UART slot that the
    // kernel found empty has type 0.
    std::error_code missing;
    if (!fs::exists(it->path() / "device", missing) || Attribute(it->path() / "type") == "0") continue;
    const fs::path node = Canonical(devRoot_ / it->path().filename());
    if (!node.empty()) devices.push_back(node);
  }
  for (const char* folder : {"serial/by-id", "serial/by-path"}) {
    error.clear();
    for (fs::directory_iterator it(devRoot_ / folder, error), end; !error && it != end; it.increment(error)) {
      const fs::path node = Canonical(it->path());
      if (!node.empty()) devices.push_back(node);
    }
  }
  std::sort(devices.begin(), devices.end());
  devices.erase(std::unique(devices.begin(), devices.end()), devices.end());
  return devices;
}

std::vector<fs::path> SerialDeviceSurvey::DevicesToProbe() const {
  std::vector<fs::path> devices = PresentDevices();
  for (int32_t port = 0; port < kPortCount; ++port) {
    const fs::path entry = DeviceOf(port);
    if (IsSourceFile(entry)) continue;  // a receiver on the network, not a device
    const fs::path node = Canonical(entry);
    if (!node.empty()) devices.push_back(node);
  }
  std::sort(devices.begin(), devices.end());
  devices.erase(std::unique(devices.begin(), devices.end()), devices.end());
  return devices;
}

int32_t SerialDeviceSurvey::PortReaching(const fs::path& node) const {
  for (int32_t port = 0; port < kPortCount; ++port) {
    if (Canonical(DeviceOf(port)) == node) return port;
  }
  return -1;
}

int32_t SerialDeviceSurvey::FreePort(int32_t from) const {
  for (int32_t port = from < 0 ? 0 : from; port < kPortCount; ++port) {
    const fs::path device = DeviceOf(port);
    struct stat info {};
    if (lstat(device.c_str(), &info) != 0) return port;
  }
  return -1;
}

bool SerialDeviceSurvey::LinkPort(int32_t portNumber, const fs::path& target) const {
  std::error_code error;
  fs::create_directories(portsFolder_, error);
  const fs::path link = portsFolder_ / ("COM" + std::to_string(portNumber));
  fs::remove(link, error);
  return symlink(target.c_str(), link.c_str()) == 0;
}

std::string GroupName(unsigned gid) {
  std::vector<char> buffer(16384);
  group entry{};
  group* found = nullptr;
  if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return {};
  return found->gr_name;
}

}  // namespace pathmere
