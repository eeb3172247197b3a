#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct addrinfo;

namespace pathmere {

// A UDP socket that listens for datagrams and hands out their bytes in
// arrival order, each datagram whole: one larger than a read's buffer is
// held and handed out over the following reads. Memory stays at one
// datagram; a flood waits in the kernel's buffer (which drops what it
// cannot hold, as UDP does).
class DatagramSocket {
 public:
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

 private:
  // The largest UDP payload over IPv4 or IPv6 (without jumbograms).
  static constexpr size_t kLargestDatagram = 65535;

  int fd_ = -1;
  int error_ = 0;
  std::vector<uint8_t> datagram_;
  size_t fill_ = 0, used_ = 0;
};

}  // namespace pathmere
