#include "support/fake_receiver.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "support/nmea_builder.h"

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

FakeReceiver::~FakeReceiver() { HangUp(); }

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

int32_t FakeReceiver::LineSpeed() const {
  // A pseudo-terminal's master reports the settings of the terminal end.
  termios line{};
  if (master_ < 0 || tcgetattr(master_, &line) != 0) return 0;
  struct Known {
    speed_t constant;
    int32_t bitsPerSecond;
  };
  static constexpr Known kKnown[] = {{B4800, 4800},   {B9600, 9600},   {B19200, 19200},
                                     {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
  for (const Known& known : kKnown) {
    if (cfgetospeed(&line) == known.constant) return known.bitsPerSecond;
  }
  return 0;
}

void FakeReceiver::HangUp() {
  if (slave_ >= 0) close(slave_);
  slave_ = -1;
  if (master_ >= 0) close(master_);
  master_ = -1;
}

// The terminal's end is not held open: the program under test would see
// this process as another reader of the receiver.
TalkingReceiver::TalkingReceiver(int32_t speed, int32_t hangUpAtSpeed) {
  thread_ = std::thread([this, speed, hangUpAtSpeed] {
    for (int i = 0; !stop_; ++i) {
      const int32_t lineSpeed = receiver_.LineSpeed();
      if (hangUpAtSpeed != 0 && lineSpeed == hangUpAtSpeed) {
        receiver_.HangUp();
        return;
      }
      if (speed != 0 && lineSpeed == speed) {
        const double time = 43200.0 + i * 0.1;
        receiver_.Offer(WithTalker(Gga(time, 1.0), "GN") + "\r\n" + Rmc({.timeOfDay = time}) + "\r\n");
      } else {
        receiver_.Offer("\x80\xfe$\x1c\x9f\xe0\xf8\x86\x18~\xe6\r\x06\x98\xff\n");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
}

TalkingReceiver::~TalkingReceiver() {
  stop_ = true;
  thread_.join();
}

}  // namespace pathmere::testing
