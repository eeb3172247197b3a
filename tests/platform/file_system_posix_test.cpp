#include "platform/file_system_posix.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/user_config_folder.h"
#include "support/scoped_env.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::ReadWholeFile;
using testing::ScopedEnv;
using testing::TempFolder;

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

TEST(PosixFileSystemTest, MapsDevicePathsBelowTheRoot) {
  PosixFileSystem files("/data/dev/");
  struct Row {
    const char* legend;
    std::wstring device;
    std::string host;
  };
  const Row rows[] = {
      {"empty path is the root", L"", "/data/dev"},
      {"backslash alone is the root", L"\\", "/data/dev"},
      {"day file", L"\\Pathmere\\2026-12-06.plt", "/data/dev/Pathmere/2026-12-06.plt"},
      {"no leading backslash", L"Pathmere", "/data/dev/Pathmere"},
      {"doubled and trailing separators", L"\\\\Pathmere\\\\x\\", "/data/dev/Pathmere/x"},
      {"blanks and dots inside names", L"\\My Tracks\\a..b\\.hidden", "/data/dev/My Tracks/a..b/.hidden"},
      {"wide characters as UTF-8", L"\\Fahrt\u00e4\u20ac\U0001F600",
       "/data/dev/Fahrt\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80"},
  };
  for (const Row& row : rows) {
    std::string host;
    int error = 0;
    EXPECT_TRUE(files.HostPath(row.device, &host, &error)) << row.legend;
    EXPECT_EQ(host, row.host) << row.legend;
  }
}

TEST(PosixFileSystemTest, RefusesPathsThatWouldLeaveTheRoot) {
  TempFolder temp;
  fs::create_directory(temp.path() / "root");
  PosixFileSystem files((temp.path() / "root").string());
  struct Row {
    const char* legend;
    std::wstring device;
    int error;
  };
  const Row rows[] = {
      {"parent", L"\\..\\escaped", EINVAL},
      {"parent at the end", L"\\Pathmere\\..", EINVAL},
      {"current folder", L"\\.\\escaped", EINVAL},
      {"slash inside a name", L"\\..\\/escaped", EINVAL},
      {"slash smuggling a parent", L"\\a/../../escaped", EINVAL},
      {"embedded NUL", std::wstring(L"\\a\0b", 4), EINVAL},
      {"lone surrogate", L"\\a\xD800", EILSEQ},
  };
  for (const Row& row : rows) {
    EXPECT_FALSE(files.CreateDirectory(row.device)) << row.legend;
    EXPECT_EQ(files.LastError(), static_cast<uint32_t>(row.error)) << row.legend;
    EXPECT_EQ(files.OpenOrCreate(row.device), kInvalidFile) << row.legend;
    EXPECT_EQ(files.LookUp(row.device), FileSystem::PathKind::kMissing) << row.legend;
  }
  EXPECT_FALSE(fs::exists(temp.path() / "escaped"));
  EXPECT_TRUE(fs::is_empty(temp.path() / "root"));
}

TEST(PosixFileSystemTest, DefaultRootIsPathmereRootElseHome) {
  const char* oldRoot = std::getenv("PATHMERE_ROOT");
  const std::string savedRoot = oldRoot != nullptr ? oldRoot : "";
  setenv("PATHMERE_ROOT", "/srv/logger", 1);
  EXPECT_EQ(PosixFileSystem().deviceRoot(), "/srv/logger");
  setenv("PATHMERE_ROOT", "", 1);
  EXPECT_EQ(PosixFileSystem().deviceRoot(), PosixFileSystem(std::getenv("HOME")).deviceRoot());
  if (oldRoot != nullptr) {
    setenv("PATHMERE_ROOT", savedRoot.c_str(), 1);
  } else {
    unsetenv("PATHMERE_ROOT");
  }
}

// The day files and the settings must end up in the same home, whatever
// state HOME is in.
TEST(PosixFileSystemTest, DeviceRootAndConfigFolderAgreeOnTheHome) {
  const ScopedEnv noRoot("PATHMERE_ROOT", nullptr);
  const ScopedEnv noConfig("XDG_CONFIG_HOME", nullptr);
  const passwd* user = getpwuid(getuid());
  const std::string account = user != nullptr && user->pw_dir[0] == '/' ? user->pw_dir : "";
  struct Row {
    const char* legend;
    const char* home;  // nullptr: unset
    std::string root;
  };
  const Row rows[] = {
      {"HOME unset", nullptr, account},
      {"HOME empty", "", account},
      {"HOME relative", "walker", account},
      {"HOME absolute but missing", "/nonexistent/walker", "/nonexistent/walker"},
      {"HOME set", "/srv/walker", "/srv/walker"},
  };
  for (const Row& row : rows) {
    const ScopedEnv home("HOME", row.home);
    EXPECT_EQ(DefaultDeviceRoot(), row.root) << row.legend;
    const fs::path config = row.root.empty() ? fs::path() : fs::path(row.root) / ".config" / "Brenix";
    EXPECT_EQ(BrenixConfigFolder(), config) << row.legend;
  }

  // With no home at all there is no root, and nothing is written anywhere.
  PosixFileSystem homeless("");
  EXPECT_FALSE(homeless.CreateDirectory(L"\\Pathmere"));
  EXPECT_EQ(homeless.LastError(), static_cast<uint32_t>(ENOENT));
  EXPECT_EQ(homeless.OpenOrCreate(L"\\Pathmere\\2026-12-06.plt"), kInvalidFile);
  EXPECT_EQ(homeless.LookUp(L"\\"), FileSystem::PathKind::kMissing);
  if (geteuid() != 0) return;
  // A user without a password entry, as in a container started under a bare
  // user number, and without HOME, has no home.
  uid_t stranger = 60000;
  while (getpwuid(stranger) != nullptr) ++stranger;
  const ScopedEnv noHome("HOME", nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const bool none = setuid(stranger) == 0 && DefaultDeviceRoot().empty() && BrenixConfigFolder().empty() &&
                      PosixFileSystem().deviceRoot().empty();
    _exit(none ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(PosixFileSystemTest, LooksUpAndCreatesOneFolderLevel) {
  TempFolder temp;
  PosixFileSystem files(temp.path().string());
  WriteFile(temp.path() / "file", "x");
  EXPECT_EQ(files.LookUp(L"\\"), FileSystem::PathKind::kDirectory);
  EXPECT_EQ(files.LookUp(L"\\file"), FileSystem::PathKind::kFile);
  EXPECT_EQ(files.LookUp(L"\\none"), FileSystem::PathKind::kMissing);
  EXPECT_EQ(files.LastError(), static_cast<uint32_t>(ENOENT));

  EXPECT_TRUE(files.CreateDirectory(L"\\Pathmere"));
  EXPECT_TRUE(fs::is_directory(temp.path() / "Pathmere"));
  EXPECT_FALSE(files.CreateDirectory(L"\\Pathmere"));
  EXPECT_EQ(files.LastError(), static_cast<uint32_t>(EEXIST));
  EXPECT_FALSE(files.CreateDirectory(L"\\a\\b"));
  EXPECT_EQ(files.LastError(), static_cast<uint32_t>(ENOENT));
  EXPECT_FALSE(fs::exists(temp.path() / "a"));
}

TEST(PosixFileSystemTest, OpenSizeSeekReadWrite) {
  TempFolder temp;
  PosixFileSystem files(temp.path().string());
  const FileHandle file = files.OpenOrCreate(L"\\day.plt");
  ASSERT_NE(file, kInvalidFile);
  EXPECT_EQ(files.FileSize(file), 0);
  uint32_t count = 0;
  ASSERT_TRUE(files.Write(file, "0123456789", 10, &count));
  EXPECT_EQ(count, 10u);
  EXPECT_EQ(files.FileSize(file), 10);

  char buffer[16] = {};
  ASSERT_TRUE(files.SeekBeforeEnd(file, 4));
  ASSERT_TRUE(files.Read(file, buffer, sizeof buffer, &count));
  EXPECT_EQ(std::string(buffer, count), "6789");
  ASSERT_TRUE(files.Read(file, buffer, sizeof buffer, &count));
  EXPECT_EQ(count, 0u);  // end of file
  ASSERT_TRUE(files.SeekTo(file, 2));
  ASSERT_TRUE(files.Read(file, buffer, 3, &count));
  EXPECT_EQ(std::string(buffer, count), "234");
  ASSERT_TRUE(files.SeekToStart(file));
  ASSERT_TRUE(files.Write(file, "AB", 2, &count));
  ASSERT_TRUE(files.SeekToEnd(file));
  ASSERT_TRUE(files.Write(file, "Z", 1, &count));
  EXPECT_FALSE(files.SeekBeforeEnd(file, 100));
  EXPECT_EQ(files.LastError(), static_cast<uint32_t>(EINVAL));
  EXPECT_TRUE(files.Close(file));
  EXPECT_EQ(ReadWholeFile(temp.path() / "day.plt"), "AB23456789Z");

  // Opening again keeps the content.
  const FileHandle again = files.OpenOrCreate(L"\\day.plt");
  EXPECT_EQ(files.FileSize(again), 11);
  files.Close(again);
  EXPECT_EQ(files.FileSize(again), FileSystem::kSizeUnknown);
  EXPECT_EQ(files.LastError(), static_cast<uint32_t>(EBADF));
}

TEST(PosixFileSystemTest, OpenExistingForReadRefusesWhatIsNoFile) {
  TempFolder temp;
  PosixFileSystem files(temp.path().string());
  EXPECT_EQ(files.OpenExistingForRead(L"\\missing.rte"), kInvalidFile);
  EXPECT_EQ(files.LastError(), static_cast<uint32_t>(ENOENT));
  EXPECT_FALSE(fs::exists(temp.path() / "missing.rte"));

  fs::create_directory(temp.path() / "folder.rte");
  EXPECT_EQ(files.OpenExistingForRead(L"\\folder.rte"), kInvalidFile);
  EXPECT_EQ(files.LastError(), static_cast<uint32_t>(EISDIR));
  EXPECT_EQ(files.OpenOrCreate(L"\\folder.rte"), kInvalidFile);
  EXPECT_EQ(files.LastError(), static_cast<uint32_t>(EISDIR));

  WriteFile(temp.path() / "read.nmea", "$GPRMC");
  const FileHandle file = files.OpenExistingForRead(L"\\read.nmea");
  ASSERT_NE(file, kInvalidFile);
  uint32_t count = 0;
  EXPECT_FALSE(files.Write(file, "x", 1, &count));
  EXPECT_EQ(files.LastError(), static_cast<uint32_t>(EBADF));
  files.Close(file);
}

// A FIFO in place of a file must not hang the program's one thread, neither
// on opening nor on reading.
TEST(PosixFileSystemTest, FifoNeverBlocks) {
  TempFolder temp;
  PosixFileSystem files(temp.path().string());
  ASSERT_EQ(mkfifo((temp.path() / "pipe").c_str(), 0600), 0);
  const FileHandle reader = files.OpenExistingForRead(L"\\pipe");
  ASSERT_NE(reader, kInvalidFile);
  char buffer[8];
  uint32_t count = 99;
  EXPECT_TRUE(files.Read(reader, buffer, sizeof buffer, &count));
  EXPECT_EQ(count, 0u);  // no writer: end of file
  files.Close(reader);

  const FileHandle both = files.OpenOrCreate(L"\\pipe");
  ASSERT_NE(both, kInvalidFile);
  EXPECT_FALSE(files.SeekToEnd(both));
  EXPECT_EQ(files.LastError(), static_cast<uint32_t>(ESPIPE));
  EXPECT_FALSE(files.Read(both, buffer, sizeof buffer, &count));  // empty, writer present
  EXPECT_EQ(files.LastError(), static_cast<uint32_t>(EAGAIN));
  files.Close(both);
}

TEST(PosixFileSystemTest, WriteToAFullDeviceReportsItsError) {
  TempFolder temp;
  PosixFileSystem files(temp.path().string());
  fs::create_symlink("/dev/full", temp.path() / "full.plt");
  const FileHandle file = files.OpenOrCreate(L"\\full.plt");
  ASSERT_NE(file, kInvalidFile);
  uint32_t count = 99;
  EXPECT_FALSE(files.Write(file, "abc", 3, &count));
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(files.LastError(), static_cast<uint32_t>(ENOSPC));
  files.Close(file);
}

TEST(PosixFileSystemTest, ListsFolderEntriesSortedWithKind) {
  TempFolder temp;
  PosixFileSystem files(temp.path().string());
  fs::create_directories(temp.path() / "top" / "Tracks");
  fs::create_directory(temp.path() / "top" / "\xc3\x84rger");
  WriteFile(temp.path() / "top" / "b.plt", "");
  fs::create_directory_symlink(temp.path() / "top" / "Tracks", temp.path() / "top" / "link");
  WriteFile(temp.path() / "top" / "bad\xff", "");      // not UTF-8: cannot be named again
  WriteFile(temp.path() / "top" / "back\\slash", "");  // holds the separator
  std::vector<FileSystem::FolderEntry> entries;
  ASSERT_TRUE(files.ListFolder(L"\\top", &entries));
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].name, L"Tracks");
  EXPECT_TRUE(entries[0].isDirectory);
  EXPECT_EQ(entries[1].name, L"b.plt");
  EXPECT_FALSE(entries[1].isDirectory);
  EXPECT_EQ(entries[2].name, L"link");
  EXPECT_TRUE(entries[2].isDirectory);
  EXPECT_EQ(entries[3].name, L"\u00c4rger");
  EXPECT_TRUE(entries[3].isDirectory);

  EXPECT_FALSE(files.ListFolder(L"\\top\\b.plt", &entries));
  EXPECT_EQ(files.LastError(), static_cast<uint32_t>(ENOTDIR));
  EXPECT_FALSE(files.ListFolder(L"\\nothing", &entries));
  EXPECT_EQ(files.LastError(), static_cast<uint32_t>(ENOENT));
}

}  // namespace
}  // namespace pathmere
