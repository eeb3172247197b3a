#include "cli/record_command.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/instance_claim.h"
#include "app/program.h"
#include "cli/console_panel.h"
#include "cli/output_folder.h"
#include "platform/device_holders.h"
#include "platform/file_system_posix.h"
#include "platform/instance_channel.h"
#include "platform/receiver_port.h"
#include "platform/serial_posix.h"
#include "platform/settings_store_file.h"
#include "platform/stop_signals.h"
#include "platform/tick_clock.h"

namespace pathmere {
namespace {

constexpr uint32_t kTickMs = 1000;

// Without a window the start-up action can only load the stored folder;
// where there is none the writers keep their default and the user is told
// how to choose one.
class RecordHost final : public TickHost {
 public:
  RecordHost(SettingsStore& store, const char* outputDir) : store_(store), outputDir_(outputDir) {}
  void Attach(Program* program) { program_ = program; }

  void RunStartupAction() override {
    if (outputDir_ != nullptr) return;
    if (program_->LoadOutputFolder(store_) != 0) {
      std::fprintf(stderr,
                   "pathmere-cli: no output folder chosen yet, writing to \\Pathmere in the home folder "
                   "(choose one in the desktop program, or pass --output DIR)\n");
    }
  }

 private:
  SettingsStore& store_;
  const char* outputDir_;
  Program* program_ = nullptr;
};

// The device itself; a COMn link is only how it was found.
std::string ShownDevice(const PosixSerialPort& port) {
  std::error_code ignored;
  const std::filesystem::path device = std::filesystem::canonical(port.devicePath(), ignored);
  std::string shown = device.empty() ? port.devicePath() : device.string();
  if (!device.empty() && device != port.devicePath()) shown += " (linked as " + port.devicePath() + ")";
  return shown;
}

// The status area keeps the program's own "COM-port open error (1)!"; the
// terminal is told once what the user can do about it: a permission
// problem, or another program holding the receiver.
class PortProblems {
 public:
  void ExplainOnce(const ReceiverPort& receiver) {
    if (receiver.IsNetwork() || !receiver.problem().empty()) return ExplainSource(receiver);
    sourceTold_.clear();
    const PosixSerialPort& port = receiver.serial();
    const int error = port.lastOpenErrno();
    if ((error == EACCES || error == EPERM) && !permissionTold_) {
      permissionTold_ = true;
      const std::string group = port.deviceGroup().empty() ? "dialout" : port.deviceGroup();
      std::fprintf(stderr,
                   "pathmere-cli: cannot open %s: %s; add your user to the group %s "
                   "(sudo usermod -aG %s $USER) and log in again\n",
                   ShownDevice(port).c_str(), std::strerror(error), group.c_str(), group.c_str());
    }
    std::vector<DeviceHolder> untold;
    for (const DeviceHolder& holder : port.otherHolders()) {
      if (std::find(holdersTold_.begin(), holdersTold_.end(), holder.pid) != holdersTold_.end()) continue;
      holdersTold_.push_back(holder.pid);
      untold.push_back(holder);
    }
    if (error == EBUSY && (!untold.empty() || !busyTold_)) {
      busyTold_ = true;
      std::fprintf(stderr, "pathmere-cli: cannot open %s: it is busy, held by %s\n",
                   ShownDevice(port).c_str(),
                   untold.empty() ? "another program" : DescribeHolders(untold).c_str());
    } else if (error == 0 && !untold.empty()) {
      std::fprintf(stderr,
                   "pathmere-cli: %s is also open in %s, which takes sentences from this logger: fixes go "
                   "missing until only one program reads the receiver\n",
                   ShownDevice(port).c_str(), DescribeHolders(untold).c_str());
    }
  }

 private:
  // A network source or a source file: each new problem once ("gpsd at
  // 127.0.0.1:2947: Connection refused"), and each time the source is read
  // again after one, so a journal shows the gaps.
  void ExplainSource(const ReceiverPort& port) {
    const std::string& problem = port.problem();
    if (!problem.empty() && problem != sourceTold_) {
      std::fprintf(stderr, "pathmere-cli: %s\n", problem.c_str());
      sourceTold_ = problem;
      readingTold_ = false;
    } else if (problem.empty() && port.network().streaming() && !readingTold_) {
      std::fprintf(stderr, "pathmere-cli: reading %s\n", port.devicePath().c_str());
      sourceTold_.clear();
      readingTold_ = true;
    }
  }

  std::string sourceTold_;
  bool readingTold_ = false;
  bool permissionTold_ = false;
  bool busyTold_ = false;
  std::vector<int> holdersTold_;
};

}  // namespace

int RunRecordCommand(const RecordArguments& args) {
  const char* outputDir = args.outputDir ? args.outputDir->c_str() : nullptr;
  if (outputDir != nullptr && !PrepareOutputFolder(outputDir)) return 2;

  InstanceClaim claim = ClaimInstance(std::nullopt);
  switch (claim.role) {
    case StartRole::kRunningInstance:
      break;
    case StartRole::kOtherInstance:
    case StartRole::kHandedOver:
    case StartRole::kNotAnswered:
      std::fprintf(stderr, "pathmere-cli: Pathmere is already running (mark a waypoint there with "
                           "'pathmere-cli /wpth')\n");
      return 1;
    case StartRole::kWithoutChannel:
      std::fprintf(stderr, "pathmere-cli: waypoint commands from other shells are off: %s\n",
                   claim.problem.c_str());
      break;
  }
  const StopSignals stopSignals;
  if (!stopSignals.installed()) {
    std::fprintf(stderr, "pathmere-cli: cannot install the stop signals\n");
    return 1;
  }

  if (outputDir == nullptr && DefaultDeviceRoot().empty()) {
    // Every write would fail with a numbered error; say why once.
    std::fprintf(stderr, "pathmere-cli: no home folder (HOME unset and no password entry): set PATHMERE_ROOT "
                         "or pass --output DIR\n");
  }
  FileSettingsStore store;
  PosixFileSystem files = outputDir != nullptr ? PosixFileSystem(outputDir) : PosixFileSystem();
  MonotonicTickClock clock;
  RecordHost host(store, outputDir);
  const bool showStatus = args.showStatus == 1 || (args.showStatus == -1 && isatty(STDOUT_FILENO));
  ConsolePanel panel(stdout, showStatus ? stdout : nullptr);
  ReceiverPort port;
  Program program(files, clock, port, host);
  host.Attach(&program);
  program.AttachPanel(&panel);
  program.LoadSettings(store);
  if (args.port) program.SelectPort(*args.port);
  if (args.device) {
    // Any number opens the device; it only has to be a port, not "none".
    port.UseDevice(*args.device);
    program.SelectPort(0);
  }
  if (args.source) {
    port.UseSource(*args.source);
    program.SelectPort(0);
  }
  if (args.speed) program.SelectSpeed(*args.speed);
  if (args.nmeaLog) program.SetNmeaLog(true);
  if (args.gpsOnly) program.SetGpsOnly(true);
  if (outputDir != nullptr) program.SetOutputFolder(L"");

  program.Start();
  PortProblems problems;
  uint32_t nextTick = clock.NowMs() + kTickMs;
  for (;;) {
    const uint32_t now = clock.NowMs();
    const int32_t wait = static_cast<int32_t>(nextTick - now);
    pollfd fds[2] = {{stopSignals.wakeFd(), POLLIN, 0},
                     {claim.channel ? claim.channel->listenFd() : -1, POLLIN, 0}};
    const int ready = poll(fds, 2, wait > 0 ? wait : 0);
    if (ready > 0 && (fds[0].revents & POLLIN) != 0) break;
    if (ready > 0 && (fds[1].revents & POLLIN) != 0) {
      // Showing the window is left undone: there is none to show.
      claim.channel->ServeOnce([&program](int32_t code) { program.ApplyForwardedCode(code); });
    }
    if (static_cast<int32_t>(clock.NowMs() - nextTick) >= 0) {
      program.Tick();
      problems.ExplainOnce(port);
      nextTick += kTickMs;
      // After a stall, tick on from now rather than catching up in a burst.
      if (static_cast<int32_t>(clock.NowMs() - nextTick) > static_cast<int32_t>(kTickMs)) {
        nextTick = clock.NowMs() + kTickMs;
      }
    }
  }
  program.ShutDown();
  return 0;
}

}  // namespace pathmere
