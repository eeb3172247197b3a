#include "platform/file_system_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/home_folder.h"
#include "text/wide_text.h"

namespace pathmere {
namespace {

constexpr wchar_t kSeparator = L'\\';

}  // namespace

std::string DefaultDeviceRoot() {
  const char* root = std::getenv("PATHMERE_ROOT");
  if (root != nullptr && root[0] != '\0') return root;
  // Without any home there is no root: "/" would scatter the day files over
  // the system's top folder, or fail there for lack of rights in a way that
  // looks like a broken disk.
  return HomeFolder().string();
}

PosixFileSystem::PosixFileSystem(std::string deviceRoot) : root_(std::move(deviceRoot)) {
  while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

bool PosixFileSystem::HostPath(std::wstring_view path, std::string* hostPath, int* error) const {
  if (root_.empty()) {
    *error = ENOENT;
    return false;
  }
  std::string result = root_;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(kSeparator, start);
    if (end == std::wstring_view::npos) end = path.size();
    const std::wstring_view component = path.substr(start, end - start);
    start = end + 1;
    if (component.empty()) continue;  // leading, doubled or trailing separator
    if (component == L"." || component == L".." ||
        component.find_first_of(std::wstring_view(L"/\0", 2)) != std::wstring_view::npos) {
      *error = EINVAL;
      return false;
    }
    if (result.back() != '/') result.push_back('/');
    for (const wchar_t c : component) {
      if (!AppendUtf8(static_cast<char32_t>(c), &result)) {
        *error = EILSEQ;
        return false;
      }
    }
  }
  *hostPath = std::move(result);
  return true;
}

bool PosixFileSystem::Fail(int error) {
  lastError_ = static_cast<uint32_t>(error);
  return false;
}

bool PosixFileSystem::MapOrFail(std::wstring_view path, std::string* hostPath) {
  int error = 0;
  if (HostPath(path, hostPath, &error)) return true;
  return Fail(error);
}

FileSystem::PathKind PosixFileSystem::LookUp(std::wstring_view path) {
  std::string host;
  if (!MapOrFail(path, &host)) return PathKind::kMissing;
  struct stat info {};
  if (stat(host.c_str(), &info) != 0) {
    Fail(errno);
    return PathKind::kMissing;
  }
  return S_ISDIR(info.st_mode) ? PathKind::kDirectory : PathKind::kFile;
}

bool PosixFileSystem::CreateDirectory(std::wstring_view path) {
  std::string host;
  if (!MapOrFail(path, &host)) return false;
  if (mkdir(host.c_str(), 0777) != 0) return Fail(errno);
  return true;
}

// Non-blocking, so that a FIFO or a device where a file is expected can never
// hang the program's one thread; regular files are not affected by it.
FileHandle PosixFileSystem::Open(std::wstring_view path, int flags) {
  std::string host;
  if (!MapOrFail(path, &host)) return kInvalidFile;
  const int fd = open(host.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) {
    Fail(errno);
    return kInvalidFile;
  }
  // Linux opens a directory read-only without complaint; the device did not.
  // For writing, open itself refuses it (EISDIR).
  struct stat info {};
  if ((flags & O_ACCMODE) == O_RDONLY && fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    close(fd);
    Fail(EISDIR);
    return kInvalidFile;
  }
  return fd;
}

FileHandle PosixFileSystem::OpenOrCreate(std::wstring_view path) { return Open(path, O_RDWR | O_CREAT); }

FileHandle PosixFileSystem::OpenExistingForRead(std::wstring_view path) { return Open(path, O_RDONLY); }

int64_t PosixFileSystem::FileSize(FileHandle file) {
  struct stat info {};
  if (fstat(file, &info) != 0) {
    Fail(errno);
    return kSizeUnknown;
  }
  return static_cast<int64_t>(info.st_size);
}

bool PosixFileSystem::Seek(FileHandle file, int64_t offset, SeekOrigin origin) {
  const int whence = origin == SeekOrigin::kStart ? SEEK_SET : SEEK_END;
  if (lseek(file, static_cast<off_t>(offset), whence) < 0) return Fail(errno);
  return true;
}

bool PosixFileSystem::Read(FileHandle file, void* buffer, uint32_t size, uint32_t* bytesRead) {
  *bytesRead = 0;
  ssize_t n;
  do {
    n = read(file, buffer, size);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return Fail(errno);
  *bytesRead = static_cast<uint32_t>(n);
  return true;
}

bool PosixFileSystem::Write(FileHandle file, const void* data, uint32_t size, uint32_t* bytesWritten) {
  // A short write is followed by another, so that a full disk reports its own
  // error rather than a mere shortfall.
  const auto* bytes = static_cast<const char*>(data);
  uint32_t done = 0;
  while (done < size) {
    const ssize_t n = write(file, bytes + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      *bytesWritten = done;
      return Fail(errno);
    }
    if (n == 0) {
      *bytesWritten = done;
      return Fail(EIO);
    }
    done += static_cast<uint32_t>(n);
  }
  *bytesWritten = done;
  return true;
}

bool PosixFileSystem::Close(FileHandle file) {
  // Not retried on EINTR: on Linux the descriptor is gone either way.
  if (close(file) != 0) return Fail(errno);
  return true;
}

std::string PosixFileSystem::DisplayPath(std::wstring_view path) const {
  std::string host;
  int error = 0;
  return HostPath(path, &host, &error) ? host : FileSystem::DisplayPath(path);
}

bool PosixFileSystem::Truncate(FileHandle file, int64_t size) {
  if (ftruncate(file, static_cast<off_t>(size)) != 0) return Fail(errno);
  return true;
}

bool PosixFileSystem::SyncData(FileHandle file) {
  int result;
  do {
    result = fdatasync(file);
  } while (result != 0 && errno == EINTR);
  if (result != 0) return Fail(errno);
  return true;
}

bool PosixFileSystem::SyncFolder(std::wstring_view path) {
  std::string host;
  if (!MapOrFail(path, &host)) return false;
  const int fd = open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Fail(errno);
  // Some file systems cannot sync a folder (EINVAL); their entries are as
  // durable as they get.
  const bool synced = fsync(fd) == 0 || errno == EINVAL;
  const int error = errno;
  close(fd);
  return synced || Fail(error);
}

bool PosixFileSystem::Rename(std::wstring_view from, std::wstring_view to) {
  std::string hostFrom;
  std::string hostTo;
  if (!MapOrFail(from, &hostFrom) || !MapOrFail(to, &hostTo)) return false;
  if (rename(hostFrom.c_str(), hostTo.c_str()) != 0) return Fail(errno);
  return true;
}

bool PosixFileSystem::Remove(std::wstring_view path) {
  std::string host;
  if (!MapOrFail(path, &host)) return false;
  if (unlink(host.c_str()) != 0) return Fail(errno);
  return true;
}

bool PosixFileSystem::ListFolder(std::wstring_view path, std::vector<FolderEntry>* entries) {
  entries->clear();
  std::string host;
  if (!MapOrFail(path, &host)) return false;
  DIR* folder = opendir(host.c_str());
  if (folder == nullptr) return Fail(errno);
  bool ok = true;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(folder);
    if (entry == nullptr) {
      if (errno != 0) ok = Fail(errno);
      break;
    }
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    FolderEntry item;
    // A name that is not UTF-8 or holds the program's separator could not be
    // named again in a device path, so it is not offered.
    if (!DecodeUtf8(name, &item.name) || item.name.find(kSeparator) != std::wstring::npos) continue;
    if (entry->d_type == DT_DIR) {
      item.isDirectory = true;
    } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat info {};
      item.isDirectory = fstatat(dirfd(folder), entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
    }
    entries->push_back(std::move(item));
  }
  closedir(folder);
  std::sort(entries->begin(), entries->end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return ok;
}

}  // namespace pathmere
