#include "support/fake_receiver.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace pathmere::testing {

FakeReceiver::FakeReceiver() {
  // Close-on-exec, so that programs started by other test threads do not
  // keep the terminal alive.
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  grantpt(master_);
  unlockpt(master_);
  char name[128] = {};
  if (ptsname_r(master_, name, sizeof name) == 0) slaveName_ = name;
}

FakeReceiver::~FakeReceiver() {
  if (slave_ >= 0) close(slave_);
  close(master_);
}

bool FakeReceiver::HoldRawSlave() {
  if (slave_ < 0) slave_ = open(slaveName_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) return false;
  termios line{};
  if (tcgetattr(slave_, &line) != 0) return false;
  cfmakeraw(&line);
  return tcsetattr(slave_, TCSANOW, &line) == 0;
}

void FakeReceiver::Send(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(master_, bytes.data() + done, std::min<size_t>(1024, bytes.size() - done));
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
}

size_t FakeReceiver::Offer(std::string_view bytes) {
  const int flags = fcntl(master_, F_GETFL);
  fcntl(master_, F_SETFL, flags | O_NONBLOCK);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  fcntl(master_, F_SETFL, flags);
  return done;
}

}  // namespace pathmere::testing
