#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pathmere {

// Codes a second start forwards to the running instance.
inline constexpr int32_t kForwardWaypoint = 100;         // "/wpth": waypoint and flush
inline constexpr int32_t kForwardWaypointAndShow = 101;  // "/wpts": the same, then show the window
inline constexpr int32_t kForwardShow = 102;             // no switch: show the window

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
  static std::filesystem::path ChooseFolder(const char* runtimeDir, const std::filesystem::path& userRuntimeBase,
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

  // The listening socket, for the caller's event loop (readable when a
  // second start is waiting); -1 when not listening.
  int listenFd() const { return listenFd_; }

  // Takes the next waiting code, if any, without blocking on an empty queue.
  // Connections of other users and ones that send no code are dropped.
  // After true the caller handles the code and then calls Reply; a new
  // PollCommand replies for it first.
  bool PollCommand(int32_t* code);
  void Reply(int32_t result = 0);
  // Handles every waiting code with `handle`, replying after each; returns
  // how many there were.
  int ServeOnce(const std::function<void(int32_t code)>& handle);

  const std::filesystem::path& socketPath() const { return socketPath_; }

 private:
  bool SomeoneHoldsTheLock() const;

  std::filesystem::path socketPath_;
  std::filesystem::path lockPath_;
  std::string listenProblem_;
  int listenFd_ = -1;
  int lockFd_ = -1;
  int clientFd_ = -1;
  uint64_t socketInode_ = 0;
};

}  // namespace pathmere
