#include "platform/network_source.h"

#include <netdb.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "platform/tick_clock.h"

namespace pathmere {

namespace {

// gpsd's raw NMEA for one device, or for all it serves.
std::string WatchCommand(const std::string& device) {
  std::string command = "?WATCH={\"enable\":true,\"nmea\":true";
  if (!device.empty()) command += ",\"device\":\"" + device + "\"";
  return command + "}\n";
}

}  // namespace

void NetworkSource::SetAddress(SourceAddress address) {
  ClosePort();
  address_ = std::move(address);
  haveAddress_ = true;
}

std::string NetworkSource::Describe() const {
  switch (address_.kind) {
    case SourceAddress::Kind::kGpsd:
      return "gpsd at " + address_.HostAndPort();
    case SourceAddress::Kind::kTcp:
      return "the NMEA server at " + address_.HostAndPort();
    case SourceAddress::Kind::kUdp:
      break;
  }
  return "UDP " + address_.HostAndPort();
}

int32_t NetworkSource::Fail(int32_t code, int error, std::string problem) {
  ClosePort();
  lastErrno_ = error;
  reason_ = problem;
  problem_ = Describe() + ": " + problem;
  return code;
}

int32_t NetworkSource::OpenPort(int32_t, int32_t) {
  ClosePort();
  lastErrno_ = 0;
  problem_.clear();
  reason_.clear();
  if (!haveAddress_) {
    lastErrno_ = ENOENT;
    problem_ = "no address";
    return 1;
  }
  const bool udp = address_.kind == SourceAddress::Kind::kUdp;
  const int socketType = udp ? SOCK_DGRAM : SOCK_STREAM;
  // A lookup still under way from an earlier tick is waited for again, not
  // started anew; a finished one is asked again each time, since addresses
  // change (a phone's, say).
  if (!lookup_.IsFor(address_.host, address_.port, socketType) ||
      lookup_.Wait(0) != HostLookup::State::kPending) {
    lookup_.Start(address_.host, address_.port, socketType, udp);
  }
  const uint32_t start = MonotonicNowMs();
  switch (lookup_.Wait(kOpenWaitMs)) {
    case HostLookup::State::kDone:
      break;
    case HostLookup::State::kPending:
      return Fail(7, 0, "still looking up " + address_.host);
    case HostLookup::State::kIdle:
    case HostLookup::State::kFailed:
      if (lookup_.NotFound()) return Fail(7, 0, "host " + address_.host + " not found");
      return Fail(7, 0, address_.host + ": " + lookup_.problem());
  }

  if (udp) {
    if (!datagrams_.Listen(lookup_.addresses())) {
      return Fail(8, datagrams_.error(), std::string("cannot listen: ") + std::strerror(datagrams_.error()));
    }
    state_ = State::kOpen;
    return 0;
  }
  const int32_t left = kOpenWaitMs - static_cast<int32_t>(MonotonicNowMs() - start);
  switch (stream_.Connect(lookup_.addresses(), left > 0 ? left : 0)) {
    case StreamSocket::Progress::kConnected:
      state_ = State::kConnecting;
      if (!Connected()) return Fail(6, stream_.error(), std::strerror(stream_.error()));
      return 0;
    case StreamSocket::Progress::kPending:
      state_ = State::kConnecting;
      connectStart_ = start;
      return 0;
    case StreamSocket::Progress::kFailed:
      break;
  }
  return Fail(6, stream_.error(), std::strerror(stream_.error()));
}

// The connection is made: gpsd is asked for the NMEA.
bool NetworkSource::Connected() {
  state_ = State::kOpen;
  gpsdLines_.Reset();
  if (address_.kind != SourceAddress::Kind::kGpsd) return true;
  return stream_.Send(WatchCommand(address_.device));
}

int32_t NetworkSource::ReadPort(uint8_t* buffer, int32_t size) {
  switch (state_) {
    case State::kClosed:
      return -1;
    case State::kConnecting:
      switch (stream_.Finish(kReadTimeoutMs)) {
        case StreamSocket::Progress::kConnected:
          if (Connected()) return 0;
          break;
        case StreamSocket::Progress::kPending:
          if (MonotonicNowMs() - connectStart_ < kConnectGiveUpMs) return 0;
          lastErrno_ = ETIMEDOUT;
          problem_ = Describe() + ": " + std::strerror(ETIMEDOUT);
          stream_.Close();
          return -2;
        case StreamSocket::Progress::kFailed:
          break;
      }
      lastErrno_ = stream_.error();
      problem_ = Describe() + ": " + std::strerror(lastErrno_);
      stream_.Close();
      return -2;
    case State::kOpen:
      break;
  }
  if (address_.kind == SourceAddress::Kind::kUdp) {
    const int32_t count = datagrams_.Read(buffer, size, kReadTimeoutMs);
    if (count < 0) {
      lastErrno_ = datagrams_.error();
      problem_ = Describe() + ": " + std::strerror(lastErrno_);
    }
    return count;
  }
  return ReadStream(buffer, size);
}

int32_t NetworkSource::ReadStream(uint8_t* buffer, int32_t size) {
  // A read that was all gpsd replies is followed by what is already queued,
  // so that the replies (one can be 40 KB) do not end the tick's reads
  // early; a bound keeps a flood from holding the tick.
  constexpr int kMostReplyReads = 1024;
  for (int attempt = 0; attempt < kMostReplyReads; ++attempt) {
    const int32_t count = stream_.Read(buffer, size, attempt == 0 ? kReadTimeoutMs : 0);
    if (count < 0) {
      lastErrno_ = stream_.error();
      problem_ = Describe() + (lastErrno_ == 0 ? std::string(": the connection was closed")
                                               : ": " + std::string(std::strerror(lastErrno_)));
      return count;
    }
    if (count == 0 || address_.kind != SourceAddress::Kind::kGpsd) return count;
    const size_t kept = gpsdLines_.Filter(buffer, static_cast<size_t>(count));
    if (kept > 0) return static_cast<int32_t>(kept);
  }
  return 0;
}

void NetworkSource::ClosePort() {
  stream_.Close();
  datagrams_.Close();
  state_ = State::kClosed;
}

}  // namespace pathmere
