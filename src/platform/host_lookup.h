#pragma once

#include <memory>
#include <string>

struct addrinfo;

namespace pathmere {

// Turns a host and port into socket addresses (IPv4 and IPv6) with
// getaddrinfo, without holding the caller: a name server that does not
// answer must not freeze a tick. A numeric address is answered at once; a
// name is looked up in the background (getaddrinfo_a) and asked after with
// Wait().
class HostLookup {
 public:
  enum class State { kIdle, kPending, kDone, kFailed };

  HostLookup();
  ~HostLookup();
  HostLookup(const HostLookup&) = delete;
  HostLookup& operator=(const HostLookup&) = delete;

  // Forgets any earlier lookup and starts this one. `passive`: addresses to
  // listen on rather than to connect to.
  void Start(const std::string& host, const std::string& port, int socketType, bool passive);
  // Whether the lookup under way or done is this one, so a caller coming
  // back on the next tick picks up the answer instead of starting again.
  bool IsFor(const std::string& host, const std::string& port, int socketType) const;
  // Waits at most `waitMs` for the answer.
  State Wait(int waitMs);
  void Forget();

  // The answer once kDone.
  const addrinfo* addresses() const;
  // "Name or service not known", ...; once kFailed.
  // Whether the lookup failed because the name does not exist.
  bool NotFound() const;
  std::string problem() const;

 private:
  struct Request;
  std::unique_ptr<Request> request_;
  State state_ = State::kIdle;
  int error_ = 0;
};

}  // namespace pathmere
