#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <string_view>

extern char** environ;

namespace pathmere::testing {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                           int runAsUid, bool outputOnTerminal) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const std::string_view name = text.substr(0, text.find('='));
    const bool replaced = std::any_of(extraEnv.begin(), extraEnv.end(), [&](const std::string& extra) {
      return extra.size() > name.size() && extra.compare(0, name.size(), name) == 0 &&
             extra[name.size()] == '=';
    });
    if (!replaced) env.emplace_back(text);
  }
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  std::vector<std::string> command;
  if (runAsUid >= 0) {
    const std::string id = std::to_string(runAsUid);
    command = {"/usr/bin/setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups", "--"};
  }
  command.insert(command.end(), argv.begin(), argv.end());
  std::vector<char*> args;
  for (const std::string& a : command) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  int outPipe[2] = {-1, -1};
  int errPipe[2] = {-1, -1};
  if (outputOnTerminal) {
    // The terminal's master side is read like the pipe's read end.
    outPipe[0] = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    const char* slave = outPipe[0] >= 0 && grantpt(outPipe[0]) == 0 && unlockpt(outPipe[0]) == 0
                            ? ptsname(outPipe[0])
                            : nullptr;
    if (slave == nullptr || (outPipe[1] = open(slave, O_RDWR | O_NOCTTY | O_CLOEXEC)) < 0) return;
  } else if (pipe2(outPipe, O_CLOEXEC) != 0) {
    return;
  }
  if (pipe2(errPipe, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  out_.fd = outPipe[0];
  err_.fd = errPipe[0];
}

ChildProcess::~ChildProcess() {
  if (running()) Kill();
  if (out_.fd >= 0) close(out_.fd);
  if (err_.fd >= 0) close(err_.fd);
}

void ChildProcess::Drain(Stream* stream, short revents) {
  if (stream->fd < 0 || revents == 0) return;
  char buffer[65536];
  const ssize_t n = read(stream->fd, buffer, sizeof buffer);
  if (n > 0) {
    stream->text.append(buffer, static_cast<size_t>(n));
  } else if (n == 0 || errno != EINTR) {
    close(stream->fd);
    stream->fd = -1;
  }
}

void ChildProcess::Pump(int timeoutMs) {
  pollfd fds[2] = {{out_.fd, POLLIN, 0}, {err_.fd, POLLIN, 0}};
  if (poll(fds, 2, timeoutMs) > 0) {
    Drain(&out_, fds[0].revents);
    Drain(&err_, fds[1].revents);
  }
  if (running()) {
    const pid_t done = waitpid(pid_, &status_, WNOHANG);
    if (done == pid_) ended_ = true;
  }
}

const std::string& ChildProcess::Output() {
  // Everything waiting in the pipes, without waiting for more.
  for (size_t before = out_.text.size() + err_.text.size() + 1;
       before != out_.text.size() + err_.text.size();) {
    before = out_.text.size() + err_.text.size();
    Pump(0);
  }
  return out_.text;
}

void ChildProcess::CloseOutput() {
  if (out_.fd >= 0) close(out_.fd);
  out_.fd = -1;
}

void ChildProcess::Kill() {
  if (running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status_, 0);
    ended_ = true;
  }
  for (int i = 0; i < 100 && (out_.fd >= 0 || err_.fd >= 0); ++i) Pump(10);
}

void ChildProcess::Reap(int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (running() && std::chrono::steady_clock::now() < until) Pump(5);
  Kill();
}

CommandResult ChildProcess::Result() const {
  CommandResult result;
  if (ended_ && WIFEXITED(status_)) result.exitStatus = WEXITSTATUS(status_);
  result.out = out_.text;
  result.err = err_.text;
  return result;
}

CommandResult ChildProcess::Wait() {
  if (!started()) return {};
  // Until both pipes are closed: a program's last words come with its exit.
  while (out_.fd >= 0 || err_.fd >= 0) Pump(100);
  if (running()) {
    waitpid(pid_, &status_, 0);
    ended_ = true;
  }
  return Result();
}

void ChildProcess::Signal(int signal) {
  if (running()) kill(pid_, signal);
}

CommandResult ChildProcess::Stop(int signal) {
  if (running()) kill(pid_, signal);
  return Wait();
}

CommandResult RunCommand(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv) {
  ChildProcess child(argv, extraEnv);
  return child.Wait();
}

}  // namespace pathmere::testing
