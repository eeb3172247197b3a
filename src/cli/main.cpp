// pathmere-cli: the logger without a window.
#include <cstdio>
#include <cstring>

#include "cli/replay_command.h"
#include "cli/usage.h"

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "replay") == 0) {
    return pathmere::RunReplayCommand(argc - 2, argv + 2);
  }
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    pathmere::PrintUsage(stdout);
    return 0;
  }
  std::fprintf(stderr, "pathmere-cli: unknown command (see pathmere-cli --help)\n");
  return 2;
}
