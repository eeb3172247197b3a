#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace pathmere {

// $PATHMERE_ROOT if set and not empty, else the home folder (home_folder.h),
// else empty: no root.
std::string DefaultDeviceRoot();

// The device's files on a POSIX host: "\A\B" is <root>/A/B, the wide
// characters written as UTF-8. A component "." or "..", or one holding "/"
// or a NUL, would reach outside the root and is refused with EINVAL; so is a
// character that is not a Unicode scalar value (EILSEQ). Error codes are
// errno values. With an empty root every path is refused with ENOENT, so
// that a user without a home folder sees each write fail with its numbered
// message instead of files appearing under "/".
class PosixFileSystem final : public FileSystem {
 public:
  PosixFileSystem() : PosixFileSystem(DefaultDeviceRoot()) {}
  explicit PosixFileSystem(std::string deviceRoot);

  const std::string& deviceRoot() const { return root_; }
  // The host path of a device path; false (and *error set) when refused.
  bool HostPath(std::wstring_view path, std::string* hostPath, int* error) const;

  PathKind LookUp(std::wstring_view path) override;
  bool CreateDirectory(std::wstring_view path) override;
  FileHandle OpenOrCreate(std::wstring_view path) override;
  FileHandle OpenExistingForRead(std::wstring_view path) override;
  int64_t FileSize(FileHandle file) override;
  bool Seek(FileHandle file, int64_t offset, SeekOrigin origin) override;
  bool Read(FileHandle file, void* buffer, uint32_t size, uint32_t* bytesRead) override;
  bool Write(FileHandle file, const void* data, uint32_t size, uint32_t* bytesWritten) override;
  bool Close(FileHandle file) override;
  bool ListFolder(std::wstring_view path, std::vector<FolderEntry>* entries) override;
  uint32_t LastError() const override { return lastError_; }
  bool Truncate(FileHandle file, int64_t size) override;
  // fdatasync, and fsync of the folder.
  bool SyncData(FileHandle file) override;
  bool SyncFolder(std::wstring_view path) override;
  bool Rename(std::wstring_view from, std::wstring_view to) override;
  bool Remove(std::wstring_view path) override;
  std::string DisplayPath(std::wstring_view path) const override;

 private:
  bool Fail(int error);
  bool MapOrFail(std::wstring_view path, std::string* hostPath);
  FileHandle Open(std::wstring_view path, int flags);

  std::string root_;
  uint32_t lastError_ = 0;
};

}  // namespace pathmere
