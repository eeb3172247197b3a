#include "cli/ports_command.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

#include "app/receiver_probe.h"
#include "platform/source_address.h"
#include "platform/tick_clock.h"

namespace pathmere {

namespace fs = std::filesystem;

namespace {

// A shell word: quoted when it holds anything a shell would act on.
std::string ShellWord(const std::string& text) {
  if (!text.empty() && text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                              "/._-+:@%=,") == std::string::npos) {
    return text;
  }
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string UsbIdentity(const SerialDeviceInfo& info) {
  std::string text;
  if (!info.driver.empty()) text = "driver " + info.driver;
  if (!info.usbVendor.empty()) {
    text += (text.empty() ? "" : ", ") + std::string("USB ") + info.usbVendor + ":" + info.usbProduct;
    if (!info.manufacturer.empty()) text += " \"" + info.manufacturer + "\"";
    if (!info.product.empty()) text += " \"" + info.product + "\"";
    if (!info.usbSerial.empty()) text += " serial " + info.usbSerial;
  }
  return text;
}

void Probe(const fs::path& device, std::FILE* out) {
  MonotonicTickClock clock;
  ReceiverProbe probe(device, clock);
  while (probe.Step()) {
  }
  std::fprintf(out, "         probe: %s\n", DescribeProbe(probe.result()).c_str());
}

// The lines under a device that exists.
void DescribeDevice(const SerialDeviceInfo& info, bool probe, std::FILE* out) {
  for (const fs::path& name : info.stableNames) {
    const bool byId = name.parent_path().filename() == "by-id";
    std::fprintf(out, "         %s %s\n", byId ? "by-id  " : "by-path", name.c_str());
  }
  const std::string identity = UsbIdentity(info);
  if (!identity.empty()) std::fprintf(out, "         %s\n", identity.c_str());
  std::fprintf(out, "         group %s, %s\n", info.group.empty() ? "?" : info.group.c_str(),
               info.mayOpen ? "you may open it" : "you may not open it");
  if (!info.holders.empty()) {
    std::fprintf(out, "         open in %s\n", DescribeHolders(info.holders).c_str());
  }
  if (probe) Probe(info.node, out);
}

// "COM3" or "COM12" as a number; -1 for anything else.
int32_t PortNumberOf(const std::string& name) {
  if (name.size() < 4 || name.compare(0, 3, "COM") != 0) return -1;
  if (name.find_first_not_of("0123456789", 3) != std::string::npos || name.size() > 6) return -1;
  return std::atoi(name.c_str() + 3);
}

// A COMn file naming a receiver on the network.
void DescribeSource(const fs::path& entry, const char* number, bool probe, std::FILE* out) {
  SourceAddress address;
  std::string problem;
  if (!ReadSourceFile(entry, &address, &problem)) {
    std::fprintf(out, "%-6s %s: %s\n", number, entry.c_str(), problem.c_str());
    return;
  }
  std::fprintf(out, "%-6s %s: network source %s\n", number, entry.c_str(), address.text.c_str());
  if (!probe) return;
  MonotonicTickClock clock;
  ReceiverProbe listen(address, clock);
  while (listen.Step()) {
  }
  std::fprintf(out, "         probe: %s\n", DescribeProbe(listen.result()).c_str());
}

// Returns what it found about the device.
SerialDeviceInfo DescribePort(const SerialDeviceSurvey& survey, int32_t port, bool probe, std::FILE* out) {
  const fs::path device = survey.DeviceOf(port);
  if (IsSourceFile(device)) {
    char number[16];
    std::snprintf(number, sizeof number, "COM%d", port);
    DescribeSource(device, number, probe, out);
    return {};
  }
  const SerialDeviceInfo info = survey.Describe(device);
  std::string shown = device.string();
  if (info.exists() && info.node != device) shown += " -> " + info.node.string();
  char number[16];
  std::snprintf(number, sizeof number, "COM%d", port);
  std::fprintf(out, "%-6s %s: %s\n", number, shown.c_str(), info.exists() ? "present" : "missing");
  if (info.exists()) DescribeDevice(info, probe, out);
  return info;
}

}  // namespace

int RunPortsCommand(const PortsArguments& args, const SerialDeviceSurvey& survey, std::FILE* out) {
  if (!args.names.empty()) {
    for (const std::string& name : args.names) {
      const int32_t port = PortNumberOf(name);
      if (port >= 0) {
        DescribePort(survey, port, args.probe, out);
        continue;
      }
      const SerialDeviceInfo info = survey.Describe(name);
      std::fprintf(out, "%s: %s\n", name.c_str(), info.exists() ? "present" : "missing");
      if (info.exists()) DescribeDevice(info, args.probe, out);
    }
    return 0;
  }

  std::vector<fs::path> reached;
  for (int32_t port = 0; port < SerialDeviceSurvey::kPortCount; ++port) {
    const SerialDeviceInfo info = DescribePort(survey, port, args.probe, out);
    if (info.exists()) reached.push_back(info.node);
  }

  std::fprintf(out, "\nSerial devices no COM number reaches:\n");
  int32_t freePort = survey.FreePort();
  bool any = false;
  for (const fs::path& node : survey.PresentDevices()) {
    if (std::find(reached.begin(), reached.end(), node) != reached.end()) continue;
    any = true;
    const SerialDeviceInfo info = survey.Describe(node);
    std::fprintf(out, "  %s\n", info.ShortName(survey.devRoot()).c_str());
    if (survey.portsFolder().empty()) {
      std::fprintf(out, "         no folder for COM links: HOME and XDG_CONFIG_HOME are unset\n");
    } else if (freePort < 0) {
      std::fprintf(out, "         every COM number is taken\n");
    } else {
      const fs::path link = survey.portsFolder() / ("COM" + std::to_string(freePort));
      std::fprintf(out, "         ln -s %s %s\n", ShellWord(info.LinkTarget().string()).c_str(),
                   ShellWord(link.string()).c_str());
      freePort = survey.FreePort(freePort + 1);  // the next device, the next number
    }
    DescribeDevice(info, args.probe, out);
  }
  if (!any) std::fprintf(out, "  none\n");
  std::error_code error;
  if (!survey.portsFolder().empty() && !fs::exists(survey.portsFolder(), error)) {
    std::fprintf(out, "\nThe links go into %s, which does not exist yet: mkdir -p %s\n",
                 survey.portsFolder().c_str(), ShellWord(survey.portsFolder().string()).c_str());
  }
  return 0;
}

}  // namespace pathmere
