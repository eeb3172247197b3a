#include "platform/host_lookup.h"

#include <netdb.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace pathmere {

struct HostLookup::Request {
  std::string host, port;
  int socketType = 0;
  addrinfo hints{};
  gaicb block{};
  addrinfo* numeric = nullptr;  // answered at once, without a background lookup
  bool background = false;

  ~Request() {
    if (background) {
      // A lookup that has started cannot always be stopped; its block must
      // live until it is over.
      if (gai_cancel(&block) == EAI_NOTCANCELED) {
        const gaicb* list[] = {&block};
        while (gai_error(&block) == EAI_INPROGRESS) gai_suspend(list, 1, nullptr);
      }
      if (gai_error(&block) == 0 && block.ar_result != nullptr) freeaddrinfo(block.ar_result);
    }
    if (numeric != nullptr) freeaddrinfo(numeric);
  }
};

HostLookup::HostLookup() = default;
HostLookup::~HostLookup() = default;

void HostLookup::Forget() {
  request_.reset();
  state_ = State::kIdle;
  error_ = 0;
}

void HostLookup::Start(const std::string& host, const std::string& port, int socketType, bool passive) {
  Forget();
  request_ = std::make_unique<Request>();
  Request& request = *request_;
  request.host = host;
  request.port = port;
  request.socketType = socketType;
  request.hints.ai_family = AF_UNSPEC;
  request.hints.ai_socktype = socketType;
  request.hints.ai_flags = AI_NUMERICSERV | (passive ? AI_PASSIVE : 0);

  addrinfo numericHints = request.hints;
  numericHints.ai_flags |= AI_NUMERICHOST;
  if (getaddrinfo(host.c_str(), port.c_str(), &numericHints, &request.numeric) == 0) {
    state_ = State::kDone;
    return;
  }
  request.numeric = nullptr;
  // Only names that the system's configuration knows (AI_ADDRCONFIG): no
  // IPv6 answers on a machine without IPv6.
  request.hints.ai_flags |= AI_ADDRCONFIG;
  request.block.ar_name = request.host.c_str();
  request.block.ar_service = request.port.c_str();
  request.block.ar_request = &request.hints;
  gaicb* list[] = {&request.block};
  error_ = getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr);
  if (error_ != 0) {
    state_ = State::kFailed;
    return;
  }
  request.background = true;
  state_ = State::kPending;
}

bool HostLookup::IsFor(const std::string& host, const std::string& port, int socketType) const {
  return request_ != nullptr && request_->host == host && request_->port == port &&
         request_->socketType == socketType;
}

HostLookup::State HostLookup::Wait(int waitMs) {
  if (state_ != State::kPending) return state_;
  const gaicb* list[] = {&request_->block};
  const timespec wait{waitMs / 1000, (waitMs % 1000) * 1000000L};
  if (gai_error(&request_->block) == EAI_INPROGRESS) gai_suspend(list, 1, &wait);
  const int error = gai_error(&request_->block);
  if (error == EAI_INPROGRESS) return state_;
  error_ = error;
  state_ = error == 0 ? State::kDone : State::kFailed;
  return state_;
}

const addrinfo* HostLookup::addresses() const {
  if (state_ != State::kDone) return nullptr;
  return request_->numeric != nullptr ? request_->numeric : request_->block.ar_result;
}

bool HostLookup::NotFound() const {
  return state_ == State::kFailed && (error_ == EAI_NONAME || error_ == EAI_NODATA || error_ == EAI_FAIL);
}

std::string HostLookup::problem() const {
  if (error_ == EAI_SYSTEM) return std::strerror(errno);
  return error_ != 0 ? gai_strerror(error_) : "";
}

}  // namespace pathmere
