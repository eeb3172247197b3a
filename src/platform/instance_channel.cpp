#include "platform/instance_channel.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

namespace pathmere {

namespace fs = std::filesystem;

namespace {

// How long a second start waits for the running instance, which looks at
// the channel at least once a second, even inside modal dialogs.
constexpr int kReplyTimeoutSeconds = 10;
// How long the running instance keeps a connection that has not sent its
// code yet: long enough for a client that was preempted. It never waits for
// one; it looks again at its next chance.
constexpr int kCodeTimeoutMs = 2000;
// Connections taken at once; more wait in the socket's backlog.
constexpr size_t kMostWaiting = 16;

uint32_t NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}
// An instance that holds the lock but has not bound its socket yet is
// waited for this many times 50 ms.
constexpr int kStartingInstanceRetries = 40;

std::string SafeNamePart(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '/' || c == '\0') c = '_';
  }
  return out;
}

bool FillAddress(const fs::path& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  const std::string& text = path.native();
  if (text.size() >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, text.c_str(), text.size() + 1);
  return true;
}

void SetTimeout(int fd, int option, int milliseconds) {
  timeval limit{};
  limit.tv_sec = milliseconds / 1000;
  limit.tv_usec = (milliseconds % 1000) * 1000;
  (void)setsockopt(fd, SOL_SOCKET, option, &limit, sizeof limit);
}

bool SendCode(int fd, int32_t value) {
  return send(fd, &value, sizeof value, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof value);
}

bool ReceiveCode(int fd, int32_t* value) {
  ssize_t got;
  do {
    got = recv(fd, value, sizeof *value, MSG_WAITALL);
  } while (got < 0 && errno == EINTR);
  return got == static_cast<ssize_t>(sizeof *value);
}

enum class Connect { kConnected, kNobody, kFailed };

Connect ConnectTo(const fs::path& path, int* fd) {
  sockaddr_un address;
  if (!FillAddress(path, &address)) return Connect::kFailed;
  *fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (*fd < 0) return Connect::kFailed;
  if (connect(*fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    return Connect::kConnected;
  }
  const int error = errno;
  close(*fd);
  *fd = -1;
  return (error == ENOENT || error == ECONNREFUSED) ? Connect::kNobody : Connect::kFailed;
}

}  // namespace

std::optional<int32_t> ForwardedCode(std::string_view commandLine) {
  if (commandLine.find("/wpth") != std::string_view::npos) return kForwardWaypoint;
  if (commandLine.find("/wpts") != std::string_view::npos) return kForwardWaypointAndShow;
  if (commandLine.find("/noup") != std::string_view::npos) return std::nullopt;
  return kForwardShow;
}

std::string JoinCommandLine(int argc, const char* const argv[]) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  return line;
}

InstanceChannel::InstanceChannel(fs::path folder, std::string_view windowClass, std::string_view title) {
  const std::string name = SafeNamePart(windowClass) + "-" + SafeNamePart(title);
  socketPath_ = folder / name;
  lockPath_ = folder / (name + ".lock");
}

InstanceChannel::~InstanceChannel() {
  if (clientFd_ >= 0) close(clientFd_);
  for (const Waiting& client : waiting_) close(client.fd);
  if (listenFd_ >= 0) {
    close(listenFd_);
    // Only our own socket: never one that replaced it.
    struct stat info {};
    if (lstat(socketPath_.c_str(), &info) == 0 && info.st_ino == socketInode_) unlink(socketPath_.c_str());
  }
  if (lockFd_ >= 0) close(lockFd_);
}

fs::path InstanceChannel::DefaultFolder(std::string* problem) {
  return ChooseFolder(std::getenv("XDG_RUNTIME_DIR"), "/run/user", "/tmp", problem);
}

fs::path InstanceChannel::ChooseFolder(const char* runtimeDir, const fs::path& userRuntimeBase,
                                       const fs::path& temporaryBase, std::string* problem) {
  if (runtimeDir != nullptr && runtimeDir[0] == '/') return runtimeDir;
  // What XDG_RUNTIME_DIR names in a login session; the login manager makes
  // it, owned by the user and closed to others. lstat: never through a link.
  const uid_t user = geteuid();
  const fs::path own = userRuntimeBase / std::to_string(user);
  struct stat info {};
  if (lstat(own.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == user &&
      (info.st_mode & 077) == 0) {
    return own;
  }
  return PrivateFolderUnder(temporaryBase, problem);
}

fs::path InstanceChannel::PrivateFolderUnder(const fs::path& base, std::string* problem) {
  const uid_t user = geteuid();
  const fs::path folder = base / ("pathmere-" + std::to_string(user));
  auto refuse = [&](const std::string& why) {
    if (problem != nullptr) *problem = folder.string() + ": " + why;
    return fs::path();
  };
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return refuse(std::strerror(errno));
  // lstat: a link planted by someone else must not lead us elsewhere.
  struct stat info {};
  if (lstat(folder.c_str(), &info) != 0) return refuse(std::strerror(errno));
  if (!S_ISDIR(info.st_mode)) return refuse("not a folder");
  if (info.st_uid != user) return refuse("owned by another user");
  if ((info.st_mode & 077) != 0) {
    char mode[64];
    std::snprintf(mode, sizeof mode, "open to other users (mode %04o)", info.st_mode & 07777);
    return refuse(mode);
  }
  return folder;
}

bool InstanceChannel::SomeoneHoldsTheLock() const {
  const int fd = open(lockPath_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(fd);
  return held;
}

InstanceChannel::ListenResult InstanceChannel::Listen() {
  if (listenFd_ >= 0) return ListenResult::kListening;
  if (lockFd_ >= 0) return ListenResult::kFailed;  // the one instance, without commands
  const int lock = open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lock < 0) {
    listenProblem_ = "cannot open " + lockPath_.string() + ": " + std::strerror(errno);
    return ListenResult::kFailed;
  }
  if (flock(lock, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(lock);
    if (error == EWOULDBLOCK) return ListenResult::kOtherInstance;
    listenProblem_ = "cannot lock " + lockPath_.string() + ": " + std::strerror(error);
    return ListenResult::kFailed;
  }

  // Whatever socket is there belongs to no lock holder. If something still
  // answers on it (its lock file was removed under it), it is the running
  // instance all the same.
  struct stat info {};
  if (lstat(socketPath_.c_str(), &info) == 0) {
    int probe = -1;
    if (ConnectTo(socketPath_, &probe) == Connect::kConnected) {
      close(probe);
      close(lock);
      return ListenResult::kOtherInstance;
    }
    if (!S_ISSOCK(info.st_mode)) {
      // Not ours to remove. The lock stays held, so no second instance runs.
      listenProblem_ = socketPath_.string() + " is not a socket (remove it to take commands again)";
      lockFd_ = lock;
      return ListenResult::kFailed;
    }
    if (unlink(socketPath_.c_str()) != 0) {
      listenProblem_ = "cannot replace " + socketPath_.string() + ": " + std::strerror(errno);
      close(lock);
      return ListenResult::kFailed;
    }
  }

  sockaddr_un address;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0 || !FillAddress(socketPath_, &address) ||
      bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0 ||
      lstat(socketPath_.c_str(), &info) != 0) {
    listenProblem_ = "cannot listen on " + socketPath_.string() + ": " + std::strerror(errno);
    if (fd >= 0) close(fd);
    close(lock);
    return ListenResult::kFailed;
  }
  socketInode_ = info.st_ino;
  listenFd_ = fd;
  lockFd_ = lock;
  return ListenResult::kListening;
}

InstanceChannel::ForwardResult InstanceChannel::ConnectToInstance(int* fd) {
  Connect connected = ConnectTo(socketPath_, fd);
  // An instance that is just starting holds the lock before its socket
  // answers.
  for (int retry = 0; connected == Connect::kNobody && retry < kStartingInstanceRetries; ++retry) {
    if (!SomeoneHoldsTheLock()) return ForwardResult::kNoInstance;
    // An instance runs, but something that is not its socket took the name:
    // it cannot take commands, and waiting would not change that.
    struct stat info {};
    if (lstat(socketPath_.c_str(), &info) == 0 && !S_ISSOCK(info.st_mode)) return ForwardResult::kFailed;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    connected = ConnectTo(socketPath_, fd);
  }
  if (connected == Connect::kNobody) return ForwardResult::kNoInstance;
  if (connected == Connect::kFailed) return ForwardResult::kFailed;
  SetTimeout(*fd, SO_SNDTIMEO, kReplyTimeoutSeconds * 1000);
  SetTimeout(*fd, SO_RCVTIMEO, kReplyTimeoutSeconds * 1000);
  return ForwardResult::kDelivered;
}

InstanceChannel::ForwardResult InstanceChannel::Forward(int32_t code) {
  int fd = -1;
  const ForwardResult connected = ConnectToInstance(&fd);
  if (connected != ForwardResult::kDelivered) return connected;
  int32_t reply = -1;
  const bool delivered = SendCode(fd, code) && ReceiveCode(fd, &reply);
  close(fd);
  return delivered ? ForwardResult::kDelivered : ForwardResult::kFailed;
}

InstanceChannel::StatusResult InstanceChannel::RequestText(int32_t request, std::string* text) {
  text->clear();
  int fd = -1;
  switch (ConnectToInstance(&fd)) {
    case ForwardResult::kDelivered:
      break;
    case ForwardResult::kNoInstance:
      return StatusResult::kNoInstance;
    case ForwardResult::kFailed:
      return StatusResult::kFailed;
  }
  int32_t reply = -1;
  uint32_t length = 0;
  StatusResult result = StatusResult::kFailed;
  if (SendCode(fd, request) && ReceiveCode(fd, &reply)) {
    if (reply != kStatusReply) {
      result = StatusResult::kNotUnderstood;  // an older instance: code ignored, plain reply
    } else if (ReceiveCode(fd, reinterpret_cast<int32_t*>(&length)) && length <= kLongestStatusText) {
      text->resize(length);
      ssize_t got = 0;
      do {
        got = recv(fd, text->data(), length, MSG_WAITALL);
      } while (got < 0 && errno == EINTR);
      if (got == static_cast<ssize_t>(length)) result = StatusResult::kAnswered;
    }
  }
  close(fd);
  if (result != StatusResult::kAnswered) text->clear();
  return result;
}

void InstanceChannel::AcceptWaiting() {
  while (waiting_.size() < kMostWaiting) {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;  // EAGAIN: nobody else waiting
    }
    // The folder already keeps other users out; this holds even where it
    // does not (a shared XDG_RUNTIME_DIR, a root-made folder).
    ucred peer{};
    socklen_t length = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != geteuid()) {
      close(fd);
      continue;
    }
    waiting_.push_back({fd, NowMs(), 0, {}});
  }
}

bool InstanceChannel::PollCommand(int32_t* code) {
  Reply(0);
  if (listenFd_ < 0) return false;
  AcceptWaiting();
  // Nothing here waits: a client that has not sent its whole code yet stays
  // for a later call, until it has had long enough.
  const uint32_t now = NowMs();
  for (size_t i = 0; i < waiting_.size();) {
    Waiting& client = waiting_[i];
    ssize_t got;
    do {
      got = recv(client.fd, client.bytes + client.received, sizeof client.bytes - client.received,
                 MSG_DONTWAIT);
    } while (got < 0 && errno == EINTR);
    if (got > 0) client.received += static_cast<size_t>(got);
    const bool complete = client.received == sizeof client.bytes;
    const bool gone = got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    if (complete) {
      clientFd_ = client.fd;
      std::memcpy(code, client.bytes, sizeof client.bytes);
      waiting_.erase(waiting_.begin() + static_cast<ptrdiff_t>(i));
      return true;
    }
    if (gone || now - client.acceptedMs > static_cast<uint32_t>(kCodeTimeoutMs)) {
      close(client.fd);
      waiting_.erase(waiting_.begin() + static_cast<ptrdiff_t>(i));
      continue;
    }
    ++i;
  }
  return false;
}

std::vector<int> InstanceChannel::waitingFds() const {
  std::vector<int> fds;
  for (const Waiting& client : waiting_) fds.push_back(client.fd);
  return fds;
}

void InstanceChannel::Reply(int32_t result) {
  if (clientFd_ < 0) return;
  // A second start that gave up waiting is no reason to fail. The socket
  // does not block: four bytes always fit its buffer.
  (void)send(clientFd_, &result, sizeof result, MSG_NOSIGNAL | MSG_DONTWAIT);
  close(clientFd_);
  clientFd_ = -1;
}

void InstanceChannel::ReplyText(std::string_view text) {
  if (clientFd_ < 0) return;
  if (text.size() > kLongestStatusText) text = text.substr(0, kLongestStatusText);
  std::string message(2 * sizeof(int32_t), '\0');
  const int32_t reply = kStatusReply;
  const uint32_t length = static_cast<uint32_t>(text.size());
  std::memcpy(message.data(), &reply, sizeof reply);
  std::memcpy(message.data() + sizeof reply, &length, sizeof length);
  message.append(text);
  // Far below the socket's buffer; a client that cannot take it is dropped.
  (void)send(clientFd_, message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  close(clientFd_);
  clientFd_ = -1;
}

int InstanceChannel::ServeOnce(const std::function<void(int32_t code)>& handle,
                               const std::function<std::string()>& status,
                               const std::function<std::string()>& pendingPoints) {
  int handled = 0;
  int32_t code = 0;
  while (PollCommand(&code)) {
    if (code == kStatusRequest && status) {
      ReplyText(status());
    } else if (code == kPendingPointsRequest && pendingPoints) {
      ReplyText(pendingPoints());
    } else {
      handle(code);
      Reply(0);
    }
    ++handled;
  }
  return handled;
}

}  // namespace pathmere
