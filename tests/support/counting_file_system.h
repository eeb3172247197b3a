#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_system_posix.h"

namespace pathmere::testing {

// The real file system under a root, counting the calls that cost a flash
// card: opens, writes and syncs. Whether data was synced is the one thing
// a test cannot see in the files themselves.
class CountingFileSystem final : public FileSystem {
 public:
  explicit CountingFileSystem(std::string root) : files_(std::move(root)) {}

  struct Counts {
    long opens = 0;        // OpenOrCreate
    long writes = 0;       // Write calls (header, line-end repair, data)
    long bytes = 0;        // bytes they wrote
    long dataSyncs = 0;    // SyncData
    long folderSyncs = 0;  // SyncFolder
  };

  PathKind LookUp(std::wstring_view path) override { return files_.LookUp(path); }
  bool CreateDirectory(std::wstring_view path) override { return files_.CreateDirectory(path); }
  FileHandle OpenOrCreate(std::wstring_view path) override {
    ++counts.opens;
    return files_.OpenOrCreate(path);
  }
  FileHandle OpenExistingForRead(std::wstring_view path) override { return files_.OpenExistingForRead(path); }
  int64_t FileSize(FileHandle file) override { return files_.FileSize(file); }
  bool Seek(FileHandle file, int64_t offset, SeekOrigin origin) override {
    return files_.Seek(file, offset, origin);
  }
  bool Read(FileHandle file, void* buffer, uint32_t size, uint32_t* bytesRead) override {
    return files_.Read(file, buffer, size, bytesRead);
  }
  bool Write(FileHandle file, const void* data, uint32_t size, uint32_t* bytesWritten) override {
    ++counts.writes;
    counts.bytes += size;
    return files_.Write(file, data, size, bytesWritten);
  }
  bool Close(FileHandle file) override { return files_.Close(file); }
  bool ListFolder(std::wstring_view path, std::vector<FolderEntry>* entries) override {
    return files_.ListFolder(path, entries);
  }
  uint32_t LastError() const override { return files_.LastError(); }
  bool SyncData(FileHandle file) override {
    ++counts.dataSyncs;
    return files_.SyncData(file);
  }
  bool SyncFolder(std::wstring_view path) override {
    ++counts.folderSyncs;
    syncedFolders.emplace_back(path);
    return files_.SyncFolder(path);
  }

  bool Truncate(FileHandle file, int64_t size) override { return files_.Truncate(file, size); }
  bool Rename(std::wstring_view from, std::wstring_view to) override { return files_.Rename(from, to); }
  bool Remove(std::wstring_view path) override { return files_.Remove(path); }

  Counts counts;
  std::vector<std::wstring> syncedFolders;

 private:
  PosixFileSystem files_;
};

}  // namespace pathmere::testing
