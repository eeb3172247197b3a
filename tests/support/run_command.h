#pragma once

#include <string>
#include <vector>

namespace pathmere::testing {

struct CommandResult {
  int exitStatus = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Runs a program with extra environment entries ("TZ=UTC"), standard input
// from /dev/null, and collects its output.
CommandResult RunCommand(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extraEnv = {});

}  // namespace pathmere::testing
