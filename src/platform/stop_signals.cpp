#include "platform/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace pathmere {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
// The handler can reach only what is global.
int gWakePipe[2] = {-1, -1};

void OnStopSignal(int) {
  const char byte = 1;
  const ssize_t ignored = write(gWakePipe[1], &byte, 1);
  (void)ignored;
}

void SetHandlers(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = handler == SIG_DFL ? 0 : SA_RESTART;
  for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
}

}  // namespace

StopSignals::StopSignals() {
  if (gWakePipe[0] >= 0 || pipe2(gWakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  SetHandlers(OnStopSignal);
  signal(SIGPIPE, SIG_IGN);
  installed_ = true;
}

StopSignals::~StopSignals() {
  if (!installed_) return;
  SetHandlers(SIG_DFL);
  signal(SIGPIPE, SIG_DFL);
  close(gWakePipe[0]);
  close(gWakePipe[1]);
  gWakePipe[0] = gWakePipe[1] = -1;
}

int StopSignals::wakeFd() const { return installed_ ? gWakePipe[0] : -1; }

bool StopSignals::TakeStop() {
  if (!installed_) return false;
  bool stopped = false;
  char bytes[16];
  while (read(gWakePipe[0], bytes, sizeof bytes) > 0) stopped = true;
  return stopped;
}

}  // namespace pathmere
