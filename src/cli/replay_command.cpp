#include "cli/replay_command.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "capture/program.h"
#include "cli/console_panel.h"
#include "cli/output_folder.h"
#include "cli/usage.h"
#include "platform/file_system_posix.h"
#include "platform/tick_clock.h"

namespace pathmere {
namespace {

struct ReplayArguments {
  std::vector<const char*> files;
  const char* outputDir = nullptr;
  bool showStatus = false;
  bool help = false;
};

// Fills `args`; on unusable arguments returns false with `error` set.
bool ParseReplayArguments(int argc, char** argv, ReplayArguments* args, std::string* error) {
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      args->help = true;
    } else if (std::strcmp(arg, "--output") == 0) {
      if (i + 1 >= argc) {
        *error = "--output needs a folder";
        return false;
      }
      args->outputDir = argv[++i];
    } else if (std::strncmp(arg, "--output=", 9) == 0) {
      args->outputDir = arg + 9;
    } else if (std::strcmp(arg, "--status") == 0) {
      args->showStatus = true;
    } else if (std::strcmp(arg, "--") == 0) {
      while (++i < argc) args->files.push_back(argv[i]);
    } else if (arg[0] == '-' && arg[1] != '\0') {
      *error = std::string("unknown option ") + arg;
      return false;
    } else {
      args->files.push_back(arg);
    }
  }
  if (args->help) return true;
  if (args->files.empty()) {
    *error = "replay needs at least one FILE";
    return false;
  }
  if (args->outputDir == nullptr || args->outputDir[0] == '\0') {
    *error = "replay needs --output DIR";
    return false;
  }
  return true;
}

// Replays need no start-up action: the output folder is given.
class ReplayHost final : public TickHost {
 public:
  void RunStartupAction() override {}
};

}  // namespace

int RunReplayCommand(int argc, char** argv) {
  ReplayArguments args;
  std::string error;
  if (!ParseReplayArguments(argc, argv, &args, &error)) {
    std::fprintf(stderr, "pathmere-cli: %s (see pathmere-cli --help)\n", error.c_str());
    return 2;
  }
  if (args.help) {
    PrintUsage(stdout);
    return 0;
  }

  if (!PrepareOutputFolder(args.outputDir)) return 2;
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
  for (const char* file : args.files) {
    if (!program.capture.StartReplay(file)) {
      status = 1;
      continue;
    }
    while (program.flags.IsReplaying()) program.tick.HandleTick();
  }
  program.ShutDown();
  return status;
}

}  // namespace pathmere
