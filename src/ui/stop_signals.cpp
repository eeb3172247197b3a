#include "ui/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace pathmere {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
int gWakePipe[2] = {-1, -1};

void OnStopSignal(int) {
  const char byte = 1;
  const ssize_t ignored = write(gWakePipe[1], &byte, 1);
  (void)ignored;
}

}  // namespace

StopSignals::StopSignals(std::function<void()> onStop, QObject* parent)
    : QObject(parent), onStop_(std::move(onStop)) {
  if (gWakePipe[0] >= 0 || pipe2(gWakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
  notifier_ = new QSocketNotifier(gWakePipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (read(gWakePipe[0], bytes, sizeof bytes) > 0) {
    }
    onStop_();
  });
}

StopSignals::~StopSignals() {
  if (notifier_ == nullptr) return;
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
  delete notifier_;
  close(gWakePipe[0]);
  close(gWakePipe[1]);
  gWakePipe[0] = gWakePipe[1] = -1;
}

}  // namespace pathmere
