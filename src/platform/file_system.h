#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_handle.h"
#include "text/wide_text.h"

namespace pathmere {

// The files and folders of the device, as the program sees them. Paths are
// the program's own: wide strings rooted at "\" and separated by "\"
// ("\Pathmere\2026-12-06.plt"); an empty path or "\" alone is the root. The
// implementation maps them onto the host and refuses a path that would leave
// the device root.
//
// Every operation reports failure by its result; the platform's error code of
// the last failed operation is then available from LastError() until another
// operation fails.
class FileSystem {
 public:
  enum class PathKind { kMissing, kFile, kDirectory };
  enum class SeekOrigin { kStart, kEnd };

  struct FolderEntry {
    std::wstring name;
    bool isDirectory = false;
  };

  // FileSize result when the size cannot be read.
  static constexpr int64_t kSizeUnknown = -1;

  virtual ~FileSystem() = default;

  // kMissing also when the path cannot be looked up at all (LastError says
  // why). Anything that is not a directory counts as a file.
  virtual PathKind LookUp(std::wstring_view path) = 0;
  // Creates one directory; missing parents are not created.
  virtual bool CreateDirectory(std::wstring_view path) = 0;
  // Read and write, created when missing, existing content kept.
  virtual FileHandle OpenOrCreate(std::wstring_view path) = 0;
  // Read only, and only if the file exists.
  virtual FileHandle OpenExistingForRead(std::wstring_view path) = 0;
  // Bytes in the file, or kSizeUnknown.
  virtual int64_t FileSize(FileHandle file) = 0;
  // Moves the file position to `offset` bytes from the start or the end
  // (negative: before the end). A position before the start fails.
  virtual bool Seek(FileHandle file, int64_t offset, SeekOrigin origin) = 0;
  // One read of at most `size` bytes; *bytesRead is 0 at the end of the file.
  virtual bool Read(FileHandle file, void* buffer, uint32_t size, uint32_t* bytesRead) = 0;
  // Writes `size` bytes; fails unless all of them were written. *bytesWritten
  // tells how many were.
  virtual bool Write(FileHandle file, const void* data, uint32_t size, uint32_t* bytesWritten) = 0;
  virtual bool Close(FileHandle file) = 0;
  // The entries of a folder (the pattern "*"), without "." and "..", sorted
  // by name.
  virtual bool ListFolder(std::wstring_view path, std::vector<FolderEntry>* entries) = 0;
  virtual uint32_t LastError() const = 0;

  // Cuts the file to `size` bytes. False where the platform cannot.
  virtual bool Truncate(FileHandle, int64_t) { return false; }
  // Makes the data written to `file` durable, so a power cut cannot take it
  // back. True where the platform keeps nothing back.
  virtual bool SyncData(FileHandle) { return true; }
  // The same for a folder's entries: a file or folder just made in it.
  virtual bool SyncFolder(std::wstring_view) { return true; }
  // Gives the file `from` the name `to`, replacing a file there in one step.
  // False where the platform cannot.
  virtual bool Rename(std::wstring_view, std::wstring_view) { return false; }
  // Removes a file. False where the platform cannot.
  virtual bool Remove(std::wstring_view) { return false; }

  // Where `path` is on the host, for telling the user; the program's own
  // path where the platform knows no other.
  virtual std::string DisplayPath(std::wstring_view path) const { return WideToUtf8(path); }

  bool SeekToStart(FileHandle file) { return Seek(file, 0, SeekOrigin::kStart); }
  bool SeekToEnd(FileHandle file) { return Seek(file, 0, SeekOrigin::kEnd); }
  bool SeekBeforeEnd(FileHandle file, int64_t bytes) { return Seek(file, -bytes, SeekOrigin::kEnd); }
  bool SeekTo(FileHandle file, int64_t offset) { return Seek(file, offset, SeekOrigin::kStart); }
};

}  // namespace pathmere
