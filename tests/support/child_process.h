#pragma once

#include <string>
#include <vector>

namespace pathmere::testing {

struct CommandResult {
  int exitStatus = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};

// A program the test starts: standard input from /dev/null, standard output
// and error through pipes. Started with posix_spawn, which is safe while
// other threads of the test run (a forked child of a threaded process may
// not even allocate). `extraEnv` entries ("TZ=UTC") replace or add to the
// test's environment. With `runAsUid` 0 or more it runs as that user and
// group (through setpriv), for faults that depend on permissions when the
// tests run as root. With `outputOnTerminal` standard output is a
// pseudo-terminal, as in an interactive shell. A child still running at the
// end is killed.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {},
               int runAsUid = -1, bool outputOnTerminal = false);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  int pid() const { return pid_; }
  bool running() const { return pid_ > 0 && !ended_; }
  // What it wrote so far (collected by Pump and the calls below).
  const std::string& out() const { return out_.text; }
  const std::string& err() const { return err_.text; }
  // The wait status once it has ended.
  int status() const { return status_; }

  // Collects output for up to `timeoutMs` (returns early when some came) and
  // notices an exit.
  void Pump(int timeoutMs);
  // Standard output so far, after collecting what is waiting.
  const std::string& Output();
  // Stops reading standard output, as a reader that went away (`| head`):
  // the program's next write to it fails with a broken pipe.
  void CloseOutput();
  // SIGKILL unless it has ended already; waits for the end and collects the
  // last output.
  void Kill();
  // Gives it up to `ms` to end by itself before killing it.
  void Reap(int ms);
  // Waits for the end, collecting everything it writes.
  CommandResult Wait();
  // Sends `signal` and returns at once.
  void Signal(int signal);
  // Sends `signal`, then waits for the end.
  CommandResult Stop(int signal);

 private:
  struct Stream {
    int fd = -1;
    std::string text;
  };
  static void Drain(Stream* stream, short revents);
  CommandResult Result() const;

  int pid_ = -1;
  bool ended_ = false;
  int status_ = 0;
  Stream out_;
  Stream err_;
};

// Runs a program to its end (see ChildProcess) and returns what it wrote.
CommandResult RunCommand(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {});

}  // namespace pathmere::testing
