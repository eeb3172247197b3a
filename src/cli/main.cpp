// pathmere-cli: the logger without a window.
#include <cstring>

#include "cli/forward_command.h"
#include "cli/record_command.h"
#include "cli/replay_command.h"
#include "cli/usage.h"

int main(int argc, char** argv) {
  const char* command = argc >= 2 ? argv[1] : "";
  if (std::strcmp(command, "replay") == 0) return pathmere::RunReplayCommand(argc - 2, argv + 2);
  if (std::strcmp(command, "record") == 0) return pathmere::RunRecordCommand(argc - 2, argv + 2);
  if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0) {
    pathmere::PrintUsage(stdout);
    return 0;
  }
  // Anything else is a second start, like the desktop program's.
  return pathmere::RunForwardCommand(argc, argv);
}
