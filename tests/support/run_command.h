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

// A program left running while the test goes on; its output goes to files
// so it can never block on a full pipe.
class BackgroundProcess {
 public:
  // With `runAsUid` 0 or more the program runs as that user (and group), for
  // faults that depend on permissions when the tests run as root.
  BackgroundProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {},
                    int runAsUid = -1);
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  // Sends `signal` and waits for the exit.
  CommandResult Stop(int signal);
  // The output so far.
  std::string Output() const;

 private:
  int pid_ = -1;
  std::string outPath_;
  std::string errPath_;
};

}  // namespace pathmere::testing
