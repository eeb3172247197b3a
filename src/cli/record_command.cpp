#include "cli/record_command.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "capture/program.h"
#include "cli/console_panel.h"
#include "cli/output_folder.h"
#include "platform/file_system_posix.h"
#include "platform/instance_channel.h"
#include "platform/serial_posix.h"
#include "platform/settings_store_file.h"
#include "platform/tick_clock.h"
#include "settings/settings_operations.h"

namespace pathmere {
namespace {

constexpr uint32_t kTickMs = 1000;

// SIGINT and SIGTERM only wake the loop; shutting down happens there.
int gSignalPipe[2] = {-1, -1};

void OnStopSignal(int) {
  const char byte = 1;
  const ssize_t ignored = write(gSignalPipe[1], &byte, 1);
  (void)ignored;
}

bool InstallStopSignals() {
  if (pipe(gSignalPipe) != 0) return false;
  struct sigaction action{};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

// Without a window the start-up action can only load the stored folder;
// where there is none the writers keep their default and the user is told
// how to choose one.
class RecordHost final : public TickHost {
 public:
  RecordHost(SettingsStore& store, const char* outputDir) : store_(store), outputDir_(outputDir) {}
  void Attach(Program* program) { program_ = program; }

  void RunStartupAction() override {
    if (outputDir_ != nullptr) return;
    const int32_t result = LoadOutputDir(store_, [this](const wchar_t* folder) { program_->SetOutputFolder(folder); });
    if (result != 0) {
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

// The status area keeps the program's own "COM-port open error (1)!"; the
// terminal is told once what the user can do about a permission problem.
void ExplainPortPermissionOnce(const Program& program, bool* explained) {
  const auto* port = dynamic_cast<const PosixSerialPort*>(program.serialPort.get());
  if (*explained || port == nullptr) return;
  const int error = port->lastOpenErrno();
  if (error != EACCES && error != EPERM) return;
  *explained = true;
  const std::string group = port->deviceGroup().empty() ? "dialout" : port->deviceGroup();
  // Name the device itself; a COMn link is only how it was found.
  std::error_code ignored;
  const std::filesystem::path device = std::filesystem::canonical(port->devicePath(), ignored);
  std::string shown = device.empty() ? port->devicePath() : device.string();
  if (!device.empty() && device != port->devicePath()) shown += " (linked as " + port->devicePath() + ")";
  std::fprintf(stderr, "pathmere-cli: cannot open %s: %s; add your user to the group %s "
               "(sudo usermod -aG %s $USER) and log in again\n",
               shown.c_str(), std::strerror(error), group.c_str(), group.c_str());
}

}  // namespace

int RunRecordCommand(const RecordArguments& args) {
  const char* outputDir = args.outputDir ? args.outputDir->c_str() : nullptr;
  if (outputDir != nullptr && !PrepareOutputFolder(outputDir)) return 2;

  std::string problem;
  const auto channelFolder = InstanceChannel::DefaultFolder(&problem);
  std::unique_ptr<InstanceChannel> channel;
  if (channelFolder.empty()) {
    std::fprintf(stderr, "pathmere-cli: waypoint commands from other shells are off: %s\n", problem.c_str());
  } else {
    channel = std::make_unique<InstanceChannel>(channelFolder);
    switch (channel->Listen()) {
      case InstanceChannel::ListenResult::kListening:
        break;
      case InstanceChannel::ListenResult::kOtherInstance:
        std::fprintf(stderr, "pathmere-cli: Pathmere is already running (mark a waypoint there with "
                             "'pathmere-cli /wpth')\n");
        return 1;
      case InstanceChannel::ListenResult::kFailed:
        std::fprintf(stderr, "pathmere-cli: waypoint commands from other shells are off: cannot listen on %s\n",
                     channel->socketPath().c_str());
        channel.reset();
        break;
    }
  }
  if (!InstallStopSignals()) {
    std::fprintf(stderr, "pathmere-cli: cannot install the stop signals\n");
    return 1;
  }

  FileSettingsStore store;
  PosixFileSystem files = outputDir != nullptr ? PosixFileSystem(outputDir) : PosixFileSystem();
  MonotonicTickClock clock;
  RecordHost host(store, outputDir);
  const bool showStatus = args.showStatus == 1 || (args.showStatus == -1 && isatty(STDOUT_FILENO));
  ConsolePanel panel(stdout, showStatus ? stdout : nullptr);
  Program program(files, clock, host);
  host.Attach(&program);
  program.log.AttachPanel(&panel);
  LoadSettings(store, program.settings);
  if (args.port) program.settings.portNumber = *args.port;
  if (args.speed) program.settings.portSpeed = *args.speed;
  if (args.nmeaLog) program.settings.enableNmeaLog = 1;
  if (outputDir != nullptr) program.SetOutputFolder(L"");

  program.tick.startupState = 1;
  bool explained = false;
  uint32_t nextTick = clock.NowMs() + kTickMs;
  for (;;) {
    const uint32_t now = clock.NowMs();
    const int32_t wait = static_cast<int32_t>(nextTick - now);
    pollfd fds[2] = {{gSignalPipe[0], POLLIN, 0}, {channel ? channel->listenFd() : -1, POLLIN, 0}};
    const int ready = poll(fds, 2, wait > 0 ? wait : 0);
    if (ready > 0 && (fds[0].revents & POLLIN) != 0) break;
    if (ready > 0 && (fds[1].revents & POLLIN) != 0) {
      channel->ServeOnce([&program](int32_t code) {
        if (code == kForwardWaypoint || code == kForwardWaypointAndShow) {
          program.flags.waypointRequested = 1;
          program.flags.flushRequested = 1;
        }
        // 101 and 102 would show the window; there is none to show.
      });
    }
    if (static_cast<int32_t>(clock.NowMs() - nextTick) >= 0) {
      program.tick.HandleTick();
      ExplainPortPermissionOnce(program, &explained);
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
