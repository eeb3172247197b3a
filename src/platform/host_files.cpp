#include "platform/host_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pathmere {

FileHandle OpenHostFileForRead(const char* hostPath, uint32_t* error) {
  // O_NONBLOCK so a FIFO given by mistake cannot hang the program at open.
  const int fd = open(hostPath, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    *error = static_cast<uint32_t>(errno);
    return kInvalidFile;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    *error = S_ISDIR(info.st_mode) ? static_cast<uint32_t>(EISDIR) : static_cast<uint32_t>(errno);
    close(fd);
    return kInvalidFile;
  }
  // Reads of a replay should wait for data like an ordinary file read.
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace pathmere
