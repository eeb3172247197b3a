#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system_posix.h"

namespace pathmere::testing {

// The real file system under a root, whose operations that change the disk
// (create a folder, open or create, write, truncate, sync, rename, remove)
// are numbered from 1 so that a test can make the k-th of them fail, once
// or from then on, with the error a full, read-only or broken disk gives. A
// failing write writes half of its bytes first, as a full disk does.
//
// It also keeps what a power cut would leave: the content of each file as
// of its last sync, and the names as of their folder's last sync. PowerCut()
// puts the files back to that (with the last unsynced write torn in, when
// asked), as the next start after the cut would find them.
class FaultyFileSystem final : public FileSystem {
 public:
  explicit FaultyFileSystem(std::string root);

  // Operation `at` and the `count - 1` after it fail with `error`; 0: none.
  void FailAt(long at, uint32_t error, long count = 1) {
    failAt_ = at;
    failCount_ = count;
    error_ = error;
  }
  // From now on every changing operation fails, until Recover().
  void FailFromNow(uint32_t error) { FailAt(operations + 1, error, 1L << 40); }
  void Recover() { failAt_ = 0; }
  // Whether an operation failed on purpose so far.
  bool injected() const { return injected_; }
  // Whether the last injected failure was of a sync, which loses nothing.
  bool injectedSync() const { return injectedSync_; }

  // The next changing operation, numbered from 1, is the cut: it and all
  // after it do nothing. Then PowerCut() makes the disk what was synced.
  void CutAt(long at) { cutAt_ = at; }
  bool cut() const { return cutAt_ > 0 && operations >= cutAt_; }
  // `torn`: the first unsynced write stays in as a prefix of itself.
  void PowerCut(bool torn);

  PathKind LookUp(std::wstring_view path) override { return files_.LookUp(path); }
  bool CreateDirectory(std::wstring_view path) override;
  FileHandle OpenOrCreate(std::wstring_view path) override;
  // A failed read tells its own error, not that of an earlier injected fault.
  FileHandle OpenExistingForRead(std::wstring_view path) override {
    const FileHandle file = files_.OpenExistingForRead(path);
    Real(file != kInvalidFile);
    return file;
  }
  int64_t FileSize(FileHandle file) override { return files_.FileSize(file); }
  bool Seek(FileHandle file, int64_t offset, SeekOrigin origin) override {
    return Real(files_.Seek(file, offset, origin));
  }
  bool Read(FileHandle file, void* buffer, uint32_t size, uint32_t* bytesRead) override {
    return Real(files_.Read(file, buffer, size, bytesRead));
  }
  bool Write(FileHandle file, const void* data, uint32_t size, uint32_t* bytesWritten) override;
  bool Close(FileHandle file) override;
  bool ListFolder(std::wstring_view path, std::vector<FolderEntry>* entries) override {
    return Real(files_.ListFolder(path, entries));
  }
  uint32_t LastError() const override { return lastError_; }
  bool Truncate(FileHandle file, int64_t size) override;
  bool SyncData(FileHandle file) override;
  bool SyncFolder(std::wstring_view path) override;
  bool Rename(std::wstring_view from, std::wstring_view to) override;
  bool Remove(std::wstring_view path) override;
  std::string DisplayPath(std::wstring_view path) const override { return files_.DisplayPath(path); }

  long operations = 0;  // changing operations so far

 private:
  // Counts one changing operation; false when it is to fail (or is cut).
  bool Go(bool sync = false);
  bool Real(bool ok) {
    if (!ok) lastError_ = files_.LastError();
    return ok;
  }
  std::string Host(std::wstring_view path) const;
  // What the file holds now on the host; nullopt when it is not there.
  static std::optional<std::string> Content(const std::string& host);
  // The first time a file is met, its content counts as synced.
  void Know(const std::string& host);

  PosixFileSystem files_;
  long failAt_ = 0;
  long failCount_ = 0;
  uint32_t error_ = 0;
  uint32_t lastError_ = 0;
  bool injected_ = false;
  bool injectedSync_ = false;
  long cutAt_ = 0;

  std::map<FileHandle, std::string> open_;  // handle -> host path
  // Per host path: the content a power cut leaves (nullopt: no file), and
  // the first write since the last sync, for a torn cut.
  struct Durable {
    std::optional<std::string> content;
    bool entrySynced = true;  // its name survives a cut
    std::optional<std::pair<int64_t, std::string>> firstUnsynced;
    // What a rename put under this name, on the disk at the folder's sync.
    std::optional<std::string> renamedIn;
  };
  std::map<std::string, Durable> durable_;
};

}  // namespace pathmere::testing
