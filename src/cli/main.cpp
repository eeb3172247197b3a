// pathmere-cli: the logger without a window.
#include <cstdio>

#include "cli/archive_command.h"
#include "cli/collect_command.h"
#include "cli/command_line.h"
#include "cli/forward_command.h"
#include "cli/gpx_command.h"
#include "cli/ports_command.h"
#include "cli/record_command.h"
#include "cli/replay_command.h"
#include "cli/status_command.h"
#include "cli/summary_command.h"
#include "cli/usage.h"
#include "platform/serial_posix.h"

int main(int argc, char** argv) {
  const pathmere::CommandLine command = pathmere::ParseCommandLine(argc, argv);
  if (!command.usable()) {
    std::fprintf(stderr, "pathmere-cli: %s (see pathmere-cli --help)\n", command.error.c_str());
    return 2;
  }
  switch (command.kind) {
    case pathmere::CommandKind::kHelp:
      pathmere::PrintUsage(stdout);
      return 0;
    case pathmere::CommandKind::kVersion:
      pathmere::PrintVersion(stdout);
      return 0;
    case pathmere::CommandKind::kReplay:
      return pathmere::RunReplayCommand(command.replay);
    case pathmere::CommandKind::kRecord:
      return pathmere::RunRecordCommand(command.record);
    case pathmere::CommandKind::kPorts:
      return pathmere::RunPortsCommand(
          command.ports, pathmere::SerialDeviceSurvey(pathmere::PosixSerialPort::DefaultPortsFolder()),
          stdout);
    case pathmere::CommandKind::kStatus:
      return pathmere::RunStatusCommand();
    case pathmere::CommandKind::kGpx:
      return pathmere::RunGpxCommand(command.gpx, stdout, stderr);
    case pathmere::CommandKind::kSummary:
      return pathmere::RunSummaryCommand(command.summary, stdout, stderr);
    case pathmere::CommandKind::kCollect:
      return pathmere::RunCollectCommand(command.collect);
    case pathmere::CommandKind::kArchive:
      return pathmere::RunArchiveCommand(command.archive, stdout, stderr);
    case pathmere::CommandKind::kForward:
      break;
  }
  return pathmere::RunForwardCommand(command.forwardCode, command.unknownSwitches);
}
