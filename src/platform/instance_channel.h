#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pathmere {

// Codes a second start forwards to the running instance.
inline constexpr int32_t kForwardWaypoint = 100;         // "/wpth": waypoint and flush
inline constexpr int32_t kForwardWaypointAndShow = 101;  // "/wpts": the same, then show the window
inline constexpr int32_t kForwardShow = 102;             // no switch: show the window
// `pathmere-cli status`: the running instance answers kStatusReply, a 32-bit
// length and that many bytes of UTF-8 text instead of the plain reply 0. An
// older instance ignores the code as it ignores every unknown one and
// replies 0, which tells the client it cannot say.
inline constexpr int32_t kStatusRequest = 200;
inline constexpr int32_t kStatusReply = 200;
inline constexpr uint32_t kLongestStatusText = 65536;
// `pathmere-cli summary`: the points the running instance still holds in
// memory, answered like a status request.
inline constexpr int32_t kPendingPointsRequest = 201;

// The code for a command line: "/wpth", "/wpts" and "/noup" are looked for
// anywhere in it, case-sensitively and in that order; the first found
// decides. "/noup" forwards nothing.
std::optional<int32_t> ForwardedCode(std::string_view commandLine);
// argv[1] onwards joined by single blanks, as the one command line.
std::string JoinCommandLine(int argc, const char* const argv[]);

// The single-instance channel: a Unix-domain stream socket named from the
// window class and title, in a folder only this user can enter. The running
// instance listens; a second start connects, sends its code as a 32-bit
// number and waits until the code has been handled (the reply, 0).
//
// Beside the socket a lock file (flock) is held by the listener for its whole
// life, so two instances starting at once cannot both take over the name.
// A socket left behind by an instance that died holds no lock and gets no
// answer: it is replaced. Anything else at the socket's path is not ours to
// remove: the instance then runs without taking commands, but it keeps the
// lock, so a second start still finds it and does not run beside it.
class InstanceChannel {
 public:
  enum class ListenResult { kListening, kOtherInstance, kFailed };
  enum class ForwardResult { kDelivered, kNoInstance, kFailed };
  enum class StatusResult { kAnswered, kNoInstance, kFailed, kNotUnderstood };

  explicit InstanceChannel(std::filesystem::path folder, std::string_view windowClass = "PATHMERE",
                           std::string_view title = "Pathmere");
  // A listener removes its socket.
  ~InstanceChannel();
  InstanceChannel(const InstanceChannel&) = delete;
  InstanceChannel& operator=(const InstanceChannel&) = delete;

  // $XDG_RUNTIME_DIR, else /run/user/<uid> where it is the user's, else
  // PrivateFolderUnder("/tmp"), so that starts from cron, udev or `env -i`
  // find the instance of a login session. Empty, with the reason in
  // `problem`, when none is usable.
  static std::filesystem::path DefaultFolder(std::string* problem = nullptr);
  // The same choice from given places: `runtimeDir` is the value of
  // XDG_RUNTIME_DIR (null when unset; a relative one is ignored),
  // `userRuntimeBase` the folder holding the per-user runtime folders.
  static std::filesystem::path ChooseFolder(const char* runtimeDir,
                                            const std::filesystem::path& userRuntimeBase,
                                            const std::filesystem::path& temporaryBase,
                                            std::string* problem = nullptr);
  // <base>/pathmere-<uid>, made with mode 0700 when missing. Refused when it
  // is a link, not a folder, owned by another user or open to others.
  static std::filesystem::path PrivateFolderUnder(const std::filesystem::path& base,
                                                  std::string* problem = nullptr);

  // Becomes the running instance, or finds that another one is running.
  // kFailed with the instance lock still held when the socket's path is
  // taken by something else: the caller runs as the one instance, without
  // commands, and listenProblem() says why.
  ListenResult Listen();
  bool holdsInstanceLock() const { return lockFd_ >= 0; }
  const std::string& listenProblem() const { return listenProblem_; }

  // Second start: hands `code` over and waits (at most about 10 s) until
  // the running instance has handled it.
  ForwardResult Forward(int32_t code);
  // Asks the running instance for its status text and waits for it (at
  // most about 10 s). kNotUnderstood: an older instance that cannot say.
  StatusResult RequestStatus(std::string* text) { return RequestText(kStatusRequest, text); }
  // The same for another request answered with a text.
  StatusResult RequestText(int32_t request, std::string* text);

  // The listening socket, for the caller's event loop (readable when a
  // second start is waiting); -1 when not listening.
  int listenFd() const { return listenFd_; }
  // Connections taken that have not sent their whole code yet: the event
  // loop watches them too, or calls ServeOnce again soon.
  std::vector<int> waitingFds() const;

  // Takes the next complete code, if any, without ever waiting: not on an
  // empty queue, not on a client that is slow to send (it is looked at
  // again at the next call, and dropped after two seconds). Connections of
  // other users, and ones that close or send less than a code, are dropped.
  // After true the caller handles the code and then calls Reply (or
  // ReplyText for a status request); a new PollCommand replies for it first.
  bool PollCommand(int32_t* code);
  void Reply(int32_t result = 0);
  void ReplyText(std::string_view text);
  // Handles every complete code with `handle`, replying after each, a
  // status request with the text of `status` and a pending points request
  // with that of `pendingPoints`, where given; returns how many codes there
  // were.
  int ServeOnce(const std::function<void(int32_t code)>& handle,
                const std::function<std::string()>& status = nullptr,
                const std::function<std::string()>& pendingPoints = nullptr);

  const std::filesystem::path& socketPath() const { return socketPath_; }

 private:
  struct Waiting {
    int fd;
    uint32_t acceptedMs;
    size_t received;
    char bytes[sizeof(int32_t)];
  };

  bool SomeoneHoldsTheLock() const;
  // Connects, waiting for an instance that is starting; kDelivered when
  // connected (*fd is then open, with the reply time-outs set).
  ForwardResult ConnectToInstance(int* fd);
  void AcceptWaiting();

  std::filesystem::path socketPath_;
  std::filesystem::path lockPath_;
  std::string listenProblem_;
  int listenFd_ = -1;
  int lockFd_ = -1;
  int clientFd_ = -1;
  std::vector<Waiting> waiting_;
  uint64_t socketInode_ = 0;
};

}  // namespace pathmere
