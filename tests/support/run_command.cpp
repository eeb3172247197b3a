#include "support/run_command.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace pathmere::testing {

CommandResult RunCommand(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv) {
  CommandResult result;
  int outPipe[2];
  int errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return result;
  const pid_t pid = fork();
  if (pid == 0) {
    const int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, 0);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    close(outPipe[0]);
    close(errPipe[0]);
    for (const std::string& entry : extraEnv) putenv(const_cast<char*>(entry.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  return result;
}

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv,
                                     const std::vector<std::string>& extraEnv, int runAsUid) {
  char outTemplate[] = "/tmp/pathmere-out-XXXXXX";
  char errTemplate[] = "/tmp/pathmere-err-XXXXXX";
  const int outFd = mkstemp(outTemplate);
  const int errFd = mkstemp(errTemplate);
  outPath_ = outTemplate;
  errPath_ = errTemplate;
  pid_ = fork();
  if (pid_ == 0) {
    const int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, 0);
    dup2(outFd, 1);
    dup2(errFd, 2);
    for (const std::string& entry : extraEnv) putenv(const_cast<char*>(entry.c_str()));
    if (runAsUid >= 0 && (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(runAsUid)) != 0 ||
                          setuid(static_cast<uid_t>(runAsUid)) != 0)) {
      _exit(126);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(outFd);
  close(errFd);
}

BackgroundProcess::~BackgroundProcess() {
  if (pid_ > 0) Stop(SIGKILL);
  unlink(outPath_.c_str());
  unlink(errPath_.c_str());
}

CommandResult BackgroundProcess::Stop(int signal) {
  CommandResult result;
  if (pid_ <= 0) return result;
  kill(pid_, signal);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  result.out = Slurp(outPath_);
  result.err = Slurp(errPath_);
  return result;
}

std::string BackgroundProcess::Output() const { return Slurp(outPath_); }

}  // namespace pathmere::testing
