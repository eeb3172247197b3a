#pragma once

#include <cstdint>
#include <string_view>

struct addrinfo;

namespace pathmere {

// A TCP client socket that never holds its caller for long: it connects
// without blocking (a connection still under way is finished by later
// calls) and reads within a time limit.
class StreamSocket {
 public:
  enum class Progress { kConnected, kPending, kFailed };

  StreamSocket() = default;
  ~StreamSocket() { Close(); }
  StreamSocket(const StreamSocket&) = delete;
  StreamSocket& operator=(const StreamSocket&) = delete;

  // Connects to the first of `addresses` that accepts within `waitMs` in
  // all; an address that refuses at once gives way to the next. kPending
  // leaves the last attempt under way for Finish().
  Progress Connect(const addrinfo* addresses, int waitMs);
  // Waits at most `waitMs` for a pending connection.
  Progress Finish(int waitMs);
  // Bytes read, 0 when nothing came within `waitMs`, -2 when the peer
  // closed the connection or it failed.
  int32_t Read(uint8_t* buffer, int32_t size, int waitMs);
  // Sends all of `text` or fails; a few bytes on a fresh connection always
  // fit the socket's buffer.
  bool Send(std::string_view text);
  void Close();

  bool IsOpen() const { return fd_ >= 0; }
  // errno of the last failure.
  int error() const { return error_; }

 private:
  Progress Fail(int error);

  int fd_ = -1;
  int error_ = 0;
};

}  // namespace pathmere
