#include "support/faulty_file_system.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace pathmere::testing {
namespace {

std::string FolderOf(const std::string& host) { return std::filesystem::path(host).parent_path().string(); }

}  // namespace

FaultyFileSystem::FaultyFileSystem(std::string root) : files_(std::move(root)) {}

bool FaultyFileSystem::Go(bool sync) {
  ++operations;
  if (cutAt_ > 0 && operations >= cutAt_) {
    lastError_ = EIO;
    return false;
  }
  if (failAt_ > 0 && operations >= failAt_ && operations < failAt_ + failCount_) {
    injected_ = true;
    injectedSync_ = sync;
    lastError_ = error_;
    return false;
  }
  return true;
}

std::string FaultyFileSystem::Host(std::wstring_view path) const {
  std::string host;
  int error = 0;
  return files_.HostPath(path, &host, &error) ? host : std::string();
}

std::optional<std::string> FaultyFileSystem::Content(const std::string& host) {
  std::ifstream in(host, std::ios::binary);
  if (!in || std::filesystem::is_directory(host)) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void FaultyFileSystem::Know(const std::string& host) {
  if (!host.empty() && durable_.find(host) == durable_.end()) durable_[host] = {Content(host), true, {}, {}};
}

bool FaultyFileSystem::CreateDirectory(std::wstring_view path) {
  return Go() && Real(files_.CreateDirectory(path));
}

FileHandle FaultyFileSystem::OpenOrCreate(std::wstring_view path) {
  const std::string host = Host(path);
  Know(host);
  if (!Go()) return kInvalidFile;
  const FileHandle file = files_.OpenOrCreate(path);
  if (file == kInvalidFile) {
    lastError_ = files_.LastError();
    return file;
  }
  open_[file] = host;
  // A new file's name is not on the disk until its folder is synced.
  if (!durable_[host].content) durable_[host].entrySynced = false;
  return file;
}

bool FaultyFileSystem::Write(FileHandle file, const void* data, uint32_t size, uint32_t* bytesWritten) {
  *bytesWritten = 0;
  const auto it = open_.find(file);
  const off_t at = lseek(file, 0, SEEK_CUR);
  if (!Go()) {
    // A full disk takes part of the write before it says no.
    if (lastError_ == ENOSPC && size > 1 && !cut()) {
      files_.Write(file, data, size / 2, bytesWritten);
      lastError_ = ENOSPC;
    }
    return false;
  }
  if (it != open_.end()) {
    Durable& d = durable_[it->second];
    if (!d.firstUnsynced) d.firstUnsynced.emplace(at, std::string(static_cast<const char*>(data), size));
  }
  return Real(files_.Write(file, data, size, bytesWritten));
}

bool FaultyFileSystem::Close(FileHandle file) {
  open_.erase(file);
  return Real(files_.Close(file));
}

bool FaultyFileSystem::Truncate(FileHandle file, int64_t size) {
  return Go() && Real(files_.Truncate(file, size));
}

bool FaultyFileSystem::SyncData(FileHandle file) {
  if (!Go(true)) return false;
  if (const auto it = open_.find(file); it != open_.end()) {
    Durable& d = durable_[it->second];
    d.content = Content(it->second);
    d.firstUnsynced.reset();
  }
  // The model above is what a cut leaves; the host's own sync would only
  // make the walk slow.
  return true;
}

bool FaultyFileSystem::SyncFolder(std::wstring_view path) {
  if (!Go(true)) return false;
  const std::string folder = Host(path);
  for (auto& [host, d] : durable_) {
    if (FolderOf(host) != folder) continue;
    if (d.renamedIn) {
      d.content = std::move(d.renamedIn);
      d.renamedIn.reset();
      d.entrySynced = true;
    }
    // The names in it are as they are now: renamed and removed files too.
    const bool there = std::filesystem::exists(host);
    if (!there) {
      d.content.reset();
      d.entrySynced = true;
    } else if (!d.entrySynced || !d.content) {
      d.entrySynced = true;
      if (!d.content) d.content = std::string();
    }
  }
  return true;
}

bool FaultyFileSystem::Rename(std::wstring_view from, std::wstring_view to) {
  const std::string hostFrom = Host(from), hostTo = Host(to);
  Know(hostFrom);
  Know(hostTo);
  if (!Go()) return false;
  if (!Real(files_.Rename(from, to))) return false;
  // The new name holds what the old one did; on the disk only once the
  // folder is synced, which SyncFolder records.
  Durable& target = durable_[hostTo];
  target.renamedIn = durable_[hostFrom].content;
  target.firstUnsynced.reset();
  return true;
}

bool FaultyFileSystem::Remove(std::wstring_view path) {
  Know(Host(path));
  return Go() && Real(files_.Remove(path));
}

void FaultyFileSystem::PowerCut(bool torn) {
  for (auto& [host, d] : durable_) {
    std::optional<std::string> content = d.entrySynced ? d.content : std::nullopt;
    if (torn && content && d.firstUnsynced) {
      const auto& [at, data] = *d.firstUnsynced;
      const size_t keep = data.size() / 2;
      if (static_cast<size_t>(at) <= content->size()) {
        content->resize(std::max(content->size(), static_cast<size_t>(at) + keep));
        content->replace(static_cast<size_t>(at), keep, data, 0, keep);
      }
    }
    std::error_code ignored;
    if (content) {
      std::ofstream(host, std::ios::binary | std::ios::trunc) << *content;
    } else {
      std::filesystem::remove(host, ignored);
    }
    d = {content, true, {}, {}};
  }
  cutAt_ = 0;
  failAt_ = 0;
}

}  // namespace pathmere::testing
