#include "platform/instance_channel.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/scoped_env.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;
using testing::TempFolder;

TEST(ForwardedCodeTest, FirstSwitchInTableOrderDecides) {
  struct Case {
    const char* commandLine;
    std::optional<int32_t> expected;
  };
  const Case cases[] = {
      {"", 102},
      {"/wpth", 100},
      {"/wpts", 101},
      {"/noup", std::nullopt},
      {"/wpts /noup", 101},
      {"/noup /wpth", 100},
      {"/wpts /wpth", 100},
      {"/WPTH", 102},
      {"x/wpthx", 100},
      {"/wpt h", 102},
  };
  for (const Case& c : cases) EXPECT_EQ(ForwardedCode(c.commandLine), c.expected) << c.commandLine;

  const char* argv[] = {"pathmere", "--verbose", "/noup"};
  EXPECT_EQ(JoinCommandLine(3, argv), "--verbose /noup");
  EXPECT_EQ(ForwardedCode(JoinCommandLine(3, argv)), std::nullopt);
  EXPECT_EQ(JoinCommandLine(1, argv), "");
}

// Serves the listener until `handled` codes came or it waited long enough.
std::vector<int32_t> Serve(InstanceChannel& listener, size_t wanted) {
  std::vector<int32_t> codes;
  for (int round = 0; codes.size() < wanted && round < 200; ++round) {
    pollfd watch{listener.listenFd(), POLLIN, 0};
    poll(&watch, 1, 50);
    listener.ServeOnce([&](int32_t code) { codes.push_back(code); });
  }
  return codes;
}

class InstanceChannelTest : public ::testing::Test {
 protected:
  TempFolder folder_;
};

TEST_F(InstanceChannelTest, SecondStartHandsItsCodeToTheRunningInstance) {
  InstanceChannel first(folder_.path());
  ASSERT_EQ(first.Listen(), InstanceChannel::ListenResult::kListening);
  EXPECT_EQ(first.socketPath(), folder_.path() / "PATHMERE-Pathmere");

  InstanceChannel second(folder_.path());
  EXPECT_EQ(second.Listen(), InstanceChannel::ListenResult::kOtherInstance);
  InstanceChannel::ForwardResult results[2];
  std::thread client([&] {
    results[0] = second.Forward(101);
    results[1] = second.Forward(100);
  });
  EXPECT_EQ(Serve(first, 2), (std::vector<int32_t>{101, 100}));
  client.join();
  EXPECT_EQ(results[0], InstanceChannel::ForwardResult::kDelivered);
  EXPECT_EQ(results[1], InstanceChannel::ForwardResult::kDelivered);

  int32_t code = 0;
  EXPECT_FALSE(first.PollCommand(&code));
}

TEST_F(InstanceChannelTest, EndedInstanceLeavesNoneBehind) {
  {
    InstanceChannel first(folder_.path());
    ASSERT_EQ(first.Listen(), InstanceChannel::ListenResult::kListening);
  }
  EXPECT_FALSE(fs::exists(folder_.path() / "PATHMERE-Pathmere"));
  InstanceChannel second(folder_.path());
  EXPECT_EQ(second.Forward(102), InstanceChannel::ForwardResult::kNoInstance);
  EXPECT_EQ(second.Listen(), InstanceChannel::ListenResult::kListening);
}

TEST_F(InstanceChannelTest, StaleSocketOfACrashedInstanceIsReplaced) {
  // A bound socket whose owner is gone: what a crash leaves behind.
  const fs::path path = folder_.path() / "PATHMERE-Pathmere";
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path.c_str());
  const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  close(stale);
  ASSERT_TRUE(fs::is_socket(path));

  InstanceChannel probe(folder_.path());
  EXPECT_EQ(probe.Forward(100), InstanceChannel::ForwardResult::kNoInstance);

  InstanceChannel first(folder_.path());
  ASSERT_EQ(first.Listen(), InstanceChannel::ListenResult::kListening);
  InstanceChannel::ForwardResult result{};
  std::thread client([&] { result = probe.Forward(100); });
  EXPECT_EQ(Serve(first, 1), std::vector<int32_t>{100});
  client.join();
  EXPECT_EQ(result, InstanceChannel::ForwardResult::kDelivered);
}

// A raw client of the channel: connects, sends what the test says.
int ConnectRaw(const fs::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path.c_str());
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// The running instance never waits for a client: ten that send nothing, one
// that sends half a code and one that sends garbage hold up neither a
// second start nor a status request, and a slow one is still served once
// its code is complete.
TEST_F(InstanceChannelTest, SilentSlowAndGarbageClientsHoldUpNobody) {
  InstanceChannel first(folder_.path());
  ASSERT_EQ(first.Listen(), InstanceChannel::ListenResult::kListening);
  std::vector<int> silent;
  for (int i = 0; i < 10; ++i) silent.push_back(ConnectRaw(first.socketPath()));
  const int half = ConnectRaw(first.socketPath());
  ASSERT_EQ(send(half, "\x65\x00", 2, 0), 2);
  const int garbage = ConnectRaw(first.socketPath());
  ASSERT_EQ(send(garbage, "\xde\xad\xbe\xef\xff\xff", 6, 0), 6);

  std::vector<int32_t> handled;
  auto handle = [&](int32_t code) { handled.push_back(code); };
  auto status = [] { return std::string("UTC:  06.12.26 12:00:30\nPort: COM3 open\n"); };
  // Until the garbage has arrived; the silent ones are not waited for.
  for (int round = 0; round < 100 && handled.empty(); ++round) {
    first.ServeOnce(handle, status);
    usleep(10000);
  }
  ASSERT_EQ(handled.size(), 1u);  // an unknown code, ignored by the program
  EXPECT_EQ(first.waitingFds().size(), 11u);

  InstanceChannel second(folder_.path());
  InstanceChannel::ForwardResult forwarded{};
  std::string text;
  InstanceChannel::StatusResult asked{};
  std::thread client([&] {
    forwarded = second.Forward(100);
    asked = second.RequestStatus(&text);
  });
  for (int round = 0; round < 200 && handled.size() < 2; ++round) {
    first.ServeOnce(handle, status);
    usleep(10000);
  }
  // The status request comes after the code; serve until it is answered.
  for (int round = 0; round < 100 && text.empty(); ++round) {
    first.ServeOnce(handle, status);
    usleep(10000);
  }
  client.join();
  EXPECT_EQ(forwarded, InstanceChannel::ForwardResult::kDelivered);
  EXPECT_EQ(asked, InstanceChannel::StatusResult::kAnswered);
  EXPECT_EQ(text, status());

  // The slow client finishes its code: it was kept, not dropped.
  ASSERT_EQ(send(half, "\x00\x00", 2, 0), 2);
  for (int round = 0; round < 100 && handled.size() < 3; ++round) {
    first.ServeOnce(handle, status);
    usleep(10000);
  }
  EXPECT_EQ(handled, (std::vector<int32_t>{static_cast<int32_t>(0xefbeadde), 100, 101}));
  int32_t reply = -1;
  EXPECT_EQ(recv(half, &reply, sizeof reply, MSG_WAITALL), static_cast<ssize_t>(sizeof reply));
  EXPECT_EQ(reply, 0);
  for (const int fd : silent) close(fd);
  close(half);
  close(garbage);
}

// An instance that does not know the status request (one without a status
// text to give, as every older one) ignores the code and replies 0; the
// client says it cannot tell instead of printing nothing.
TEST_F(InstanceChannelTest, StatusFromAnOlderInstanceOrNone) {
  InstanceChannel asker(folder_.path());
  std::string text = "stale";
  EXPECT_EQ(asker.RequestStatus(&text), InstanceChannel::StatusResult::kNoInstance);
  EXPECT_EQ(text, "");

  InstanceChannel older(folder_.path());
  ASSERT_EQ(older.Listen(), InstanceChannel::ListenResult::kListening);
  InstanceChannel::StatusResult result{};
  std::thread client([&] { result = asker.RequestStatus(&text); });
  EXPECT_EQ(Serve(older, 1), std::vector<int32_t>{kStatusRequest});
  client.join();
  EXPECT_EQ(result, InstanceChannel::StatusResult::kNotUnderstood);
}

TEST_F(InstanceChannelTest, OtherUsersAreNotServed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
  InstanceChannel first(folder_.path());
  ASSERT_EQ(first.Listen(), InstanceChannel::ListenResult::kListening);
  // Open the way on purpose, as a badly made runtime folder would.
  fs::permissions(folder_.path(), fs::perms::all);
  fs::permissions(first.socketPath(), fs::perms::all);

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(10);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, first.socketPath().c_str());
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) _exit(11);
    const int32_t code = 100;
    if (send(fd, &code, sizeof code, MSG_NOSIGNAL) != sizeof code) _exit(12);
    // The running instance hangs up (a reset, as our code stays unread)
    // without a reply.
    int32_t reply = -1;
    _exit(recv(fd, &reply, sizeof reply, MSG_WAITALL) <= 0 ? 0 : 13);
  }
  int status = 0;
  for (int round = 0; round < 400 && waitpid(child, &status, WNOHANG) == 0; ++round) {
    int32_t code = 0;
    if (first.PollCommand(&code)) {
      ADD_FAILURE() << "served code " << code << " of another user";
      first.Reply();
    }
    usleep(10000);
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(InstanceChannelTest, PrivateFolderMustBeOursAlone) {
  const fs::path made = InstanceChannel::PrivateFolderUnder(folder_.path());
  ASSERT_EQ(made, folder_.path() / ("pathmere-" + std::to_string(geteuid())));
  struct stat info {};
  ASSERT_EQ(stat(made.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_EQ(InstanceChannel::PrivateFolderUnder(folder_.path()), made);

  std::string problem;
  chmod(made.c_str(), 0755);
  EXPECT_TRUE(InstanceChannel::PrivateFolderUnder(folder_.path(), &problem).empty());
  EXPECT_NE(problem.find("open to other users (mode 0755)"), std::string::npos) << problem;

  if (geteuid() == 0) {
    chmod(made.c_str(), 0700);
    ASSERT_EQ(chown(made.c_str(), 65534, 65534), 0);
    EXPECT_TRUE(InstanceChannel::PrivateFolderUnder(folder_.path(), &problem).empty());
    EXPECT_NE(problem.find("owned by another user"), std::string::npos) << problem;
  }

  // A link planted in place of the folder is not followed.
  fs::remove(made);
  fs::create_directory(folder_.path() / "elsewhere");
  fs::create_directory_symlink(folder_.path() / "elsewhere", made);
  EXPECT_TRUE(InstanceChannel::PrivateFolderUnder(folder_.path(), &problem).empty());
  EXPECT_NE(problem.find("not a folder"), std::string::npos) << problem;
}

TEST_F(InstanceChannelTest, RuntimeFolderIsPreferred) {
  ScopedEnv runtime("XDG_RUNTIME_DIR", folder_.path().c_str());
  EXPECT_EQ(InstanceChannel::DefaultFolder(), folder_.path());
}

// Every start of one user meets the same instance, whatever its environment:
// a cron job or `env -i` has no XDG_RUNTIME_DIR, but the login session's
// folder is still there.
TEST_F(InstanceChannelTest, FolderIsTheSameForOneUserWithoutRuntimeVariable) {
  const fs::path runUser = folder_.path() / "run-user";
  const fs::path tmp = folder_.path() / "tmp";
  const fs::path own = runUser / std::to_string(geteuid());
  const fs::path privateTmp = tmp / ("pathmere-" + std::to_string(geteuid()));
  fs::create_directories(tmp);
  struct Row {
    const char* legend;
    const char* runtimeDir;
    fs::perms ownMode;  // none: the folder does not exist
    bool asLink;
    fs::path expected;
  };
  const std::string given = (folder_.path() / "given").string();
  const Row rows[] = {
      {"the variable wins", given.c_str(), fs::perms::owner_all, false, given},
      {"unset: the login session's folder", nullptr, fs::perms::owner_all, false, own},
      {"relative: ignored like unset", "run", fs::perms::owner_all, false, own},
      {"no session folder: the private one under /tmp", nullptr, fs::perms::none, false, privateTmp},
      {"session folder open to others: not used", nullptr, fs::perms::all, false, privateTmp},
      {"a link in its place: not followed", nullptr, fs::perms::owner_all, true, privateTmp},
  };
  for (const Row& row : rows) {
    fs::remove_all(runUser);
    fs::create_directories(runUser);
    if (row.asLink) {
      fs::create_directories(folder_.path() / "elsewhere");
      fs::create_directory_symlink(folder_.path() / "elsewhere", own);
    } else if (row.ownMode != fs::perms::none) {
      fs::create_directory(own);
      fs::permissions(own, row.ownMode, fs::perm_options::replace);
    }
    EXPECT_EQ(InstanceChannel::ChooseFolder(row.runtimeDir, runUser, tmp), row.expected) << row.legend;
  }
}

// A file that is no socket where the socket belongs (a user's mistake, a
// backup put back) cannot be removed for him; the first start keeps the lock
// and says why, and a second start does not run beside it.
TEST_F(InstanceChannelTest, NonSocketAtTheSocketPathStillAllowsOnlyOneInstance) {
  const fs::path path = folder_.path() / "PATHMERE-Pathmere";
  { std::ofstream(path) << "not a socket"; }
  {
    InstanceChannel first(folder_.path());
    EXPECT_EQ(first.Listen(), InstanceChannel::ListenResult::kFailed);
    EXPECT_TRUE(first.holdsInstanceLock());
    EXPECT_EQ(first.listenFd(), -1);
    EXPECT_NE(first.listenProblem().find(path.string() + " is not a socket"), std::string::npos)
        << first.listenProblem();

    InstanceChannel second(folder_.path());
    EXPECT_EQ(second.Listen(), InstanceChannel::ListenResult::kOtherInstance);
    EXPECT_EQ(second.Forward(100), InstanceChannel::ForwardResult::kFailed);
  }
  EXPECT_EQ(testing::ReadWholeFile(path), "not a socket");
  InstanceChannel later(folder_.path());
  EXPECT_EQ(later.Forward(100), InstanceChannel::ForwardResult::kNoInstance);
}

}  // namespace
}  // namespace pathmere
