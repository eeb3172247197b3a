#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pathmere::testing {

// A tile server of HTTP/1.1 on 127.0.0.1 for the map tests: a thread of
// its own accepts, each connection another (keep-alive, as clients use it),
// and the test's handler says what each request gets. It records every
// request and how many were waiting for their answers at once.
class TileServer {
 public:
  struct Request {
    std::string path;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string Header(const std::string& name) const;
  };
  struct Reply {
    int status = 200;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;  // Content-Length is added
    int delayMs = 0;                                           // before answering
    bool never = false;                                        // no answer until the server stops
  };
  using Handler = std::function<Reply(const Request&)>;

  explicit TileServer(Handler handler);  // listens on a free port
  ~TileServer();                         // stops, ending every connection
  TileServer(const TileServer&) = delete;
  TileServer& operator=(const TileServer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:PORT"
  std::string address() const;
  std::vector<Request> requests() const;
  size_t RequestCount() const;
  void ClearRequests();
  // The most requests received and not yet answered at one time.
  int mostWaiting() const { return mostWaiting_; }

 private:
  void AcceptLoop();
  void Serve(int fd);
  // Waits up to `ms` (forever below 0) for the end; true when stopping.
  bool WaitForStop(int ms);

  Handler handler_;
  int port_ = 0;
  int listen_ = -1;
  int wake_[2] = {-1, -1};  // a byte here ends every wait
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  std::vector<Request> requests_;
  std::vector<std::thread> connections_;
  std::atomic<int> waiting_{0};
  std::atomic<int> mostWaiting_{0};
  std::thread acceptor_;
};

}  // namespace pathmere::testing
