#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace pathmere {

// One file of the host by its own path (not the device's), for the program's
// state beside the day files: appended to, read at an offset, a small record
// rewritten in place, made durable on request. Every call reports failure by
// its result; errno() then tells why.
class PlainFile {
 public:
  PlainFile() = default;
  ~PlainFile() { Close(); }
  PlainFile(const PlainFile&) = delete;
  PlainFile& operator=(const PlainFile&) = delete;
  PlainFile(PlainFile&& other) noexcept : fd_(other.fd_), error_(other.error_) { other.fd_ = -1; }
  PlainFile& operator=(PlainFile&& other) noexcept;

  // Read and write, created (mode 0600) when missing, content kept.
  bool Open(const std::filesystem::path& path);
  void Close();
  bool open() const { return fd_ >= 0; }
  // Bytes in the file, or -1.
  int64_t Size();
  // All of `bytes` at the end, in one write where the kernel allows.
  bool Append(std::string_view bytes);
  // Up to `capacity` bytes from `offset` into `out` (replacing it); an
  // empty result at the end.
  bool ReadAt(int64_t offset, size_t capacity, std::string* out);
  // All of `bytes` at `offset`, nothing else touched.
  bool WriteAt(int64_t offset, std::string_view bytes);
  bool Truncate(int64_t size);
  bool Sync();
  int error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

// Makes the entries of `folder` (a file just made or removed) durable.
void SyncFolder(const std::filesystem::path& folder);

// $XDG_STATE_HOME, else ~/.local/state; empty when neither is known.
std::filesystem::path UserStateFolder();

}  // namespace pathmere
