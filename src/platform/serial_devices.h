#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/device_holders.h"

namespace pathmere {

// What the machine tells about one serial device: its stable names, its
// driver and USB identity (from sysfs), who may open it and who has it open.
struct SerialDeviceInfo {
  std::filesystem::path node;  // the device the name resolves to; empty when it does not exist
  std::vector<std::filesystem::path> stableNames;  // names under serial/by-id/ and by-path/
  std::string driver;                              // "cdc_acm", "ftdi_sio", ...
  std::string usbVendor, usbProduct, usbSerial;    // "1546", "01a8", ...
  std::string manufacturer, product;               // "u-blox AG", "u-blox GNSS receiver"
  std::string group;                               // owning group
  bool mayOpen = false;                            // this user may open it for reading
  std::vector<DeviceHolder> holders;               // other processes that have it open

  bool exists() const { return !node.empty(); }
  // The name a link should point at: the first stable name, else the node.
  std::filesystem::path LinkTarget() const;
  // "ttyACM0 u-blox GNSS receiver": the node below /dev (or `devRoot`) and
  // the USB product, for a menu entry.
  std::string ShortName(const std::filesystem::path& devRoot) const;
};

// The serial devices of the machine as the COM numbers see them. The device
// and sysfs folders are "/dev" and "/sys"; tests give folders of their own.
class SerialDeviceSurvey {
 public:
  static constexpr int32_t kPortCount = 16;  // COM0 to COM15

  explicit SerialDeviceSurvey(std::filesystem::path portsFolder, std::filesystem::path devRoot = "/dev",
                              std::filesystem::path sysRoot = "/sys");

  const std::filesystem::path& portsFolder() const { return portsFolder_; }
  const std::filesystem::path& devRoot() const { return devRoot_; }

  // The device COMn opens: its link in the ports folder, else the default
  // table below the device folder.
  std::filesystem::path DeviceOf(int32_t portNumber) const;
  SerialDeviceInfo Describe(const std::filesystem::path& device) const;

  // Serial devices that exist: those the kernel lists with hardware behind
  // them and those a stable name points at, each once, sorted.
  std::vector<std::filesystem::path> PresentDevices() const;
  // What "Find receiver" listens to: the devices the COM numbers open that
  // exist, and the present ones, each once.
  std::vector<std::filesystem::path> DevicesToProbe() const;
  // The COM number that opens `node`, or -1.
  int32_t PortReaching(const std::filesystem::path& node) const;
  // The lowest COM number from `from` on with neither a link nor a device
  // of the default table, or -1 when every one is taken.
  int32_t FreePort(int32_t from = 0) const;
  // Links COMn to `target`, replacing an older link of that name. False
  // (with errno) when the link cannot be made.
  bool LinkPort(int32_t portNumber, const std::filesystem::path& target) const;

 private:
  std::filesystem::path portsFolder_;
  std::filesystem::path devRoot_;
  std::filesystem::path sysRoot_;
};

// The name of group `gid`; empty when unknown.
std::string GroupName(unsigned gid);

}  // namespace pathmere
