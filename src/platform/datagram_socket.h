#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct addrinfo;

namespace pathmere {

// A UDP socket that listens for datagrams and hands out their bytes in
// arrival order. A read packs as many whole datagrams as fit in its buffer,
// since on a boat's network each sentence is usually a datagram of its own;
// one that does not fit is held and its rest handed out first by the
// following reads, so no other datagram ever lands inside it. Memory stays
// at one datagram; a flood waits in the kernel's buffer (which drops what it
// cannot hold, as UDP does: dropped() counts it).
class DatagramSocket {
 public:
  // Asked of the kernel for the receive queue: a second of a busy network
  // between two ticks. The kernel caps it at net.core.rmem_max.
  static constexpr int kReceiveBufferBytes = 4 << 20;
  // Datagrams taken by one read at most, empty ones included, so a flood of
  // empty datagrams cannot hold a read for ever.
  static constexpr int kMaxDatagramsPerRead = 1024;

  DatagramSocket() = default;
  ~DatagramSocket() { Close(); }
  DatagramSocket(const DatagramSocket&) = delete;
  DatagramSocket& operator=(const DatagramSocket&) = delete;

  // Listens on the first of `addresses` that can be bound; false with
  // error() otherwise.
  bool Listen(const addrinfo* addresses);
  // Bytes handed out, 0 when nothing came within `waitMs`, -2 on a failure.
  int32_t Read(uint8_t* buffer, int32_t size, int waitMs);
  void Close();

  int error() const { return error_; }
  // Datagrams the kernel dropped because its queue was full, since Listen;
  // stays 0 where the kernel does not tell.
  uint32_t dropped() const { return dropped_; }

 private:
  // The largest UDP payload over IPv4 or IPv6 (without jumbograms).
  static constexpr size_t kLargestDatagram = 65535;

  // Takes the next datagram from the kernel: 1 taken, 0 none queued, -1
  // failed (error_ set).
  int Receive();

  int fd_ = -1;
  int error_ = 0;
  std::vector<uint8_t> datagram_;
  size_t fill_ = 0, used_ = 0;
  uint32_t dropped_ = 0;
};

}  // namespace pathmere
