#include "cli/replay_command.h"

#include <cstdio>
#include <string>

#include "app/program.h"
#include "cli/console_panel.h"
#include "cli/output_folder.h"
#include "platform/file_system_posix.h"
#include "platform/serial_posix.h"
#include "platform/tick_clock.h"

namespace pathmere {
int RunReplayCommand(const ReplayArguments& args) {
  if (!PrepareOutputFolder(args.outputDir.c_str())) return 2;
  // The output folder is the root of the writers' device: files land
  // directly in it.
  PosixFileSystem files(args.outputDir);
  MonotonicTickClock clock;
  TickHost host;  // no start-up action: the output folder is given
  ConsolePanel panel(stdout, args.showStatus ? stderr : nullptr);
  // Never opened: a replay has precedence over the port, and no port is
  // chosen.
  PosixSerialPort port;
  Program program(files, clock, port, host);
  program.AttachPanel(&panel);
  program.SetOutputFolder(L"");
  if (args.gpsOnly) program.SetGpsOnly(true);
  if (args.gpx) program.SetGpxLog(*args.gpx);

  program.Start();
  program.Tick();
  int status = 0;
  for (const std::string& file : args.files) {
    if (!program.ReplayFile(file.c_str())) {
      status = 1;
      continue;
    }
    while (program.IsReplaying()) program.Tick();
  }
  program.ShutDown();
  return status;
}

}  // namespace pathmere
