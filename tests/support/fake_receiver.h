#pragma once

#include <cstddef>
#include <string>
#include <string_view>

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

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slaveName_;
};

}  // namespace pathmere::testing
