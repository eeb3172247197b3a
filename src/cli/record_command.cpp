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
#include "app/logger_report.h"
#include "app/pending_points.h"
#include "app/port_watch.h"
#include "app/program.h"
#include "app/publishing.h"
#include "app/state_lines.h"
#include "app/status_report.h"
#include "cli/console_panel.h"
#include "cli/output_folder.h"
#include "platform/device_holders.h"
#include "platform/file_system_posix.h"
#include "platform/instance_channel.h"
#include "platform/receiver_port.h"
#include "platform/serial_devices.h"
#include "platform/serial_posix.h"
#include "platform/service_notifier.h"
#include "platform/settings_store_file.h"
#include "platform/stop_signals.h"
#include "platform/tick_clock.h"
#include "text/wide_text.h"

namespace pathmere {
namespace {

constexpr uint32_t kTickMs = 1000;

// Without a window the start-up action can only load the stored folder;
// where there is none the writers keep their default and the user is told
// which problem the stored one has and how to choose one.
class RecordHost final : public TickHost {
 public:
  RecordHost(FileSettingsStore& store, const char* outputDir) : store_(store), outputDir_(outputDir) {}
  void Attach(Program* program) { program_ = program; }

  void RunStartupAction() override {
    if (outputDir_ != nullptr) return;
    OutputDirCheck check;
    if (program_->LoadOutputFolder(store_, &check) == 0) return;
    std::fprintf(stderr,
                 "pathmere-cli: %s, writing to \\Pathmere in the home folder (choose one in the desktop "
                 "program, or pass --output DIR)\n",
                 OutputDirProblemText(check).c_str());
  }

 private:
  std::string OutputDirProblemText(const OutputDirCheck& check) const {
    const std::string where = "OutputDir in " + store_.filePath().string();
    switch (check.problem) {
      case OutputDirProblem::kNone:
      case OutputDirProblem::kNoKey:
      case OutputDirProblem::kMissing:
        break;
      case OutputDirProblem::kStoreUnreadable:
        return "the settings file " + store_.filePath().string() +
               " cannot be read (not a regular file, or no "
               "permission)";
      case OutputDirProblem::kWrongType:
        return "the stored output folder (" + where + ") is not a text";
      case OutputDirProblem::kTooLong:
        return "the stored output folder (" + where + ") is longer than 259 characters";
      case OutputDirProblem::kNotRooted:
        if (check.stored.empty()) return "the stored output folder (" + where + ") is empty";
        return "the stored output folder \"" + WideToUtf8(check.stored) + "\" (" + where +
               ") does not begin with a backslash";
    }
    return "no output folder chosen yet";
  }

  FileSettingsStore& store_;
  const char* outputDir_;
  Program* program_ = nullptr;
};

// A port number the logger can open something for: none (-1), COM0 to
// COM15, or one with an entry of its own in the ports folder.
bool IsPortThatCanBe(int32_t number) {
  if (number < 0) return number == -1;
  return !SerialDeviceSurvey(PosixSerialPort::DefaultPortsFolder()).DeviceOf(number).empty();
}

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
  std::string absoluteOutputDir;
  if (args.outputDir && !PrepareOutputFolder(args.outputDir->c_str(), &absoluteOutputDir)) return 2;
  const char* outputDir = args.outputDir ? absoluteOutputDir.c_str() : nullptr;
  std::string publishError;
  const std::optional<PublishTarget> publishTarget = LoadPublishTarget(args.publishUrl, &publishError);
  if (!publishError.empty()) {
    std::fprintf(stderr, "pathmere-cli: cannot publish: %s\n", publishError.c_str());
    return 2;
  }

  InstanceClaim claim = ClaimInstance(std::nullopt);
  switch (claim.role) {
    case StartRole::kRunningInstance:
      break;
    case StartRole::kOtherInstance:
    case StartRole::kHandedOver:
    case StartRole::kNotAnswered:
      std::fprintf(stderr,
                   "pathmere-cli: Pathmere is already running (mark a waypoint there with "
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
    std::fprintf(stderr,
                 "pathmere-cli: no home folder (HOME unset and no password entry): set PATHMERE_ROOT "
                 "or pass --output DIR\n");
  }
  FileSettingsStore store;
  PosixFileSystem files = outputDir != nullptr ? PosixFileSystem(outputDir) : PosixFileSystem();
  MonotonicTickClock clock;
  RecordHost host(store, outputDir);
  const bool showStatus = args.showStatus == 1 || (args.showStatus == -1 && isatty(STDOUT_FILENO));
  // The status area is kept also where it is not shown, for `status`.
  ConsolePanel panel(stdout, showStatus ? stdout : nullptr, true);
  ReceiverPort port;
  PortWatch watchedPort(port, clock, &port);
  Program program(files, clock, watchedPort, host);
  // Where no status area is shown (a journal, a log file), a line for each
  // change of state instead.
  StateLines stateLines(watchedPort, clock);
  host.Attach(&program);
  program.AttachPanel(&panel);
  program.LoadSettings(store);
  if (!store.problem().empty()) std::fprintf(stderr, "pathmere-cli: %s\n", store.problem().c_str());
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
  if (!args.device && !args.source && !IsPortThatCanBe(program.settings().portNumber)) {
    // Retried every second for ever, it would only ever fail.
    const int32_t number = program.settings().portNumber;
    const std::string where =
        args.port ? "--port " + std::to_string(number) : "the stored PortNumber " + std::to_string(number);
    std::fprintf(stderr,
                 "pathmere-cli: %s cannot be a port: COM0 to COM15 are, and any COMn entry in %s, or none\n",
                 where.c_str(), PosixSerialPort::DefaultPortsFolder().c_str());
    return 2;
  }
  if (args.speed) program.SelectSpeed(*args.speed);
  if (args.nmeaLog) program.SetNmeaLog(true);
  if (args.gpsOnly) program.SetGpsOnly(true);
  if (args.gpx) program.SetGpxLog(*args.gpx);
  if (args.flushSeconds) program.SetFlushSeconds(*args.flushSeconds);
  if (outputDir != nullptr) program.SetOutputFolder(L"");
  // Publishing is off until a target is configured.
  std::unique_ptr<Publishing> publishing;
  if (publishTarget) {
    publishing = std::make_unique<Publishing>(*publishTarget);
    if (!publishing->outbox().usable()) {
      std::fprintf(stderr, "pathmere-cli: outbox: %s\n", publishing->outbox().problem().c_str());
    }
    program.AttachPublisher(&publishing->publisher());
  }

  DayFileCensus census;
  auto statusReport = [&] {
    return ComposeStatusReport(
        {program, files, clock, &watchedPort, panel.statusText(), "pathmere-cli record"}, census);
  };
  auto pendingPoints = [&] { return ComposePendingPoints(program, files); };
  // Showing the window is left undone: there is none to show.
  auto applyCode = [&program](int32_t code) { program.ApplyForwardedCode(code); };

  // Under systemd (Type=notify): ready after the start-up tick, a watchdog
  // ping from every tick, and the state in one line whenever it changes.
  ServiceNotifier systemd;
  std::string toldStatus;
  auto notify = [&](std::string message) {
    if (!systemd.enabled()) return;
    const std::string status = ComposeServiceStatus(program, watchedPort, files, census);
    if (status != toldStatus) message += "\nSTATUS=" + status;
    if (systemd.Send(message)) toldStatus = status;
  };

  program.Start();
  PortProblems problems;
  bool ready = false;
  uint32_t nextTick = clock.NowMs() + kTickMs;
  for (;;) {
    const uint32_t now = clock.NowMs();
    const int32_t wait = static_cast<int32_t>(nextTick - now);
    // The stop signals, the channel, and its clients that have not sent
    // their code yet: none of them is ever waited for beyond the tick.
    std::vector<pollfd> fds = {{stopSignals.wakeFd(), POLLIN, 0},
                               {claim.channel ? claim.channel->listenFd() : -1, POLLIN, 0}};
    if (claim.channel) {
      for (const int fd : claim.channel->waitingFds()) fds.push_back({fd, POLLIN, 0});
    }
    const int events = poll(fds.data(), fds.size(), wait > 0 ? wait : 0);
    if (events > 0 && (fds[0].revents & POLLIN) != 0) break;
    if (claim.channel) claim.channel->ServeOnce(applyCode, statusReport, pendingPoints);
    if (static_cast<int32_t>(clock.NowMs() - nextTick) >= 0) {
      program.Tick();
      problems.ExplainOnce(port);
      if (publishing) {
        for (const std::string& note : publishing->publisher().TakeNotes()) {
          std::fprintf(stderr, "pathmere-cli: %s\n", note.c_str());
        }
      }
      for (const std::string& line : stateLines.Observe(program)) {
        if (!showStatus) panel.PrintNote(line);
      }
      notify(ready ? "WATCHDOG=1" : "READY=1\nWATCHDOG=1");
      ready = true;
      nextTick += kTickMs;
      // After a stall, tick on from now rather than catching up in a burst.
      if (static_cast<int32_t>(clock.NowMs() - nextTick) > static_cast<int32_t>(kTickMs)) {
        nextTick = clock.NowMs() + kTickMs;
      }
    }
  }
  if (systemd.enabled()) systemd.Send("STOPPING=1");
  if (program.ShutDown() != 0) {
    // systemd and scripts must see that data was lost.
    std::fprintf(stderr, "pathmere-cli: not everything could be written at shut-down: %s\n",
                 DescribeUnwritten(program).c_str());
    return 1;
  }
  return 0;
}

}  // namespace pathmere
