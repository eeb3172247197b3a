#include "platform/plain_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/home_folder.h"

namespace pathmere {

PlainFile& PlainFile::operator=(PlainFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    error_ = other.error_;
    other.fd_ = -1;
  }
  return *this;
}

bool PlainFile::Open(const std::filesystem::path& path) {
  Close();
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) error_ = errno;
  return fd_ >= 0;
}

void PlainFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int64_t PlainFile::Size() {
  struct stat info {};
  if (fd_ < 0 || fstat(fd_, &info) != 0) {
    error_ = fd_ < 0 ? EBADF : errno;
    return -1;
  }
  return info.st_size;
}

bool PlainFile::Append(std::string_view bytes) {
  const int64_t end = Size();
  return end >= 0 && WriteAt(end, bytes);
}

bool PlainFile::ReadAt(int64_t offset, size_t capacity, std::string* out) {
  out->resize(capacity);
  size_t got = 0;
  while (got < capacity) {
    const ssize_t n = pread(fd_, out->data() + got, capacity - got, static_cast<off_t>(offset) + got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error_ = errno;
      out->clear();
      return false;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  out->resize(got);
  return true;
}

bool PlainFile::WriteAt(int64_t offset, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n =
        pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset) + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? errno : ENOSPC;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool PlainFile::Truncate(int64_t size) {
  if (ftruncate(fd_, static_cast<off_t>(size)) == 0) return true;
  error_ = errno;
  return false;
}

bool PlainFile::Sync() {
  if (fdatasync(fd_) == 0) return true;
  error_ = errno;
  return false;
}

void SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)fsync(fd);
  ::close(fd);
}

std::filesystem::path UserStateFolder() {
  // A relative value is invalid by the XDG rules and is ignored.
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') return state;
  const std::filesystem::path home = HomeFolder();
  if (home.empty()) return {};
  return home / ".local" / "state";
}

}  // namespace pathmere
