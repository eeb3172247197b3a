#include "cli/replay_command.h"

#include <cstdio>
#include <string>

#include "capture/program.h"
#include "cli/console_panel.h"
#include "cli/output_folder.h"
#include "platform/file_system_posix.h"
#include "platform/tick_clock.h"

namespace pathmere {
namespace {

// Replays need no start-up action: the output folder is given.
class ReplayHost final : public TickHost {
 public:
  void RunStartupAction() override {}
};

}  // namespace

int RunReplayCommand(const ReplayArguments& args) {
  if (!PrepareOutputFolder(args.outputDir.c_str())) return 2;
  // The output folder is the root of the writers' device: files land
  // directly in it.
  PosixFileSystem files(args.outputDir);
  MonotonicTickClock clock;
  ReplayHost host;
  ConsolePanel panel(stdout, args.showStatus ? stderr : nullptr);
  Program program(files, clock, host);
  program.log.AttachPanel(&panel);
  program.SetOutputFolder(L"");

  program.tick.startupState = 1;
  program.tick.HandleTick();
  int status = 0;
  for (const std::string& file : args.files) {
    if (!program.capture.StartReplay(file.c_str())) {
      status = 1;
      continue;
    }
    while (program.flags.IsReplaying()) program.tick.HandleTick();
  }
  program.ShutDown();
  return status;
}

}  // namespace pathmere
