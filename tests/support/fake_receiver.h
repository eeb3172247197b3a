#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

namespace pathmere::testing {

// The other end of a pseudo-terminal, posing as a GPS receiver for a logger
// that opens the terminal as its serial port (linked as COMn).
class FakeReceiver {
 public:
  FakeReceiver();
  ~FakeReceiver();
  FakeReceiver(const FakeReceiver&) = delete;
  FakeReceiver& operator=(const FakeReceiver&) = delete;

  const std::string& slaveName() const { return slaveName_; }

  // Keeps the terminal's own end open in raw mode from now on, so bytes sent
  // before the logger has opened and set up the port arrive unchanged (the
  // default line discipline would turn CR into LF), and the terminal outlives
  // a logger that is killed.
  bool HoldRawSlave();

  // Blocks while the terminal's queue is full, like a receiver that the
  // logger reads a tick at a time.
  void Send(const std::string& bytes);
  // Never blocks: how many bytes of `bytes` the terminal took.
  size_t Offer(std::string_view bytes);

  // The speed the logger set the line to, in bit/s (0 when unknown).
  int32_t LineSpeed() const;
  // Unplugged: the logger's next read fails.
  void HangUp();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slaveName_;
};

// A receiver on a thread of its own that behaves as real ones do when a
// program tries speeds: sentences (GN and GP RMC and GGA) only while the
// line runs at `speed`, noise otherwise, as bytes read at the wrong speed
// look; speed 0 sends noise at every speed. It is unplugged as soon as the
// line is set to `hangUpAtSpeed`, when that is not 0.
class TalkingReceiver {
 public:
  explicit TalkingReceiver(int32_t speed, int32_t hangUpAtSpeed = 0);
  ~TalkingReceiver();
  TalkingReceiver(const TalkingReceiver&) = delete;
  TalkingReceiver& operator=(const TalkingReceiver&) = delete;

  const std::string& slaveName() const { return receiver_.slaveName(); }

 private:
  FakeReceiver receiver_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace pathmere::testing
