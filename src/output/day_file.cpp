#include "output/day_file.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "text/fixed_wide_text.h"

namespace pathmere {
namespace {

constexpr char kCreateDirectoryError[] = "(%u) CreateDirectory Error: %u \r\n";
constexpr char kFileOpenError[] = "(%u) File Open Error: %u \r\n";
constexpr char kHeaderWriteError[] = "(%u) File Header Write Error: %u \r\n";
constexpr char kSetFilePointerError[] = "(%u) Set File Pointer Error: %u \r\n";
constexpr char kFileWriteError[] = "(%u) File Write Error: %u \r\n";

}  // namespace

DayFile::DayFile(FileSystem& files, MessageLog& log, const DayFileKind& kind)
    : files_(files), log_(log), kind_(kind) {
  SetFolder(L"\\Pathmere");
}

void DayFile::SetFolder(std::wstring_view path) {
  // The folder is used up to its first NUL, as a C string would be.
  CopyWideCut(folder_, kFolderCapacity, path.substr(0, path.find(L'\0')));
  endedWithLineFeedAt_ = -1;
}

void DayFile::GetFolder(wchar_t* buffer, size_t capacity) const { CopyWideCut(buffer, capacity, folder_); }

void DayFile::SetFileDate(int32_t day, int32_t month, int32_t twoDigitYear) {
  if (day != fileDay_ || month != fileMonth_ || twoDigitYear != fileYear_) endedWithLineFeedAt_ = -1;
  fileDay_ = day;
  fileMonth_ = month;
  fileYear_ = twoDigitYear;
}

void DayFile::FormatFileName() {
  // 264 folder characters and "\yyyy-mm-dd.nmea" always fit the 285; the
  // check only guards against dates no calendar has.
  if (std::swprintf(fileName_, kFileNameCapacity, L"%ls\\%04d-%02d-%02d.%s", folder_, 2000 + fileYear_,
                    fileMonth_, fileDay_, kind_.extension) < 0) {
    fileName_[kFileNameCapacity - 1] = L'\0';
  }
}

void DayFile::Post(const char* format) { log_.PostNumbered(message_, kMessageCapacity, format, lastError_); }

void DayFile::PostFailure(const char* format, int code) {
  const bool sameAsTold = failedWrites_ > 0 && code == lastWriteCode_ && lastError_ == toldError_;
  lastWriteCode_ = code;
  if (sameAsTold) {
    ++failedWrites_;
    return;
  }
  failedWrites_ = 1;
  toldError_ = lastError_;
  Post(format);
}

void DayFile::NoteWriteWorked() {
  lastWriteCode_ = kWriteOk;
  if (failedWrites_ == 0) return;
  char text[128];
  std::snprintf(text, sizeof text, "(%u) %04d-%02d-%02d.%s written again after %u failed writes \r\n",
                log_.NextMessageNumber(), 2000 + fileYear_, fileMonth_, fileDay_, kind_.extension,
                failedWrites_);
  failedWrites_ = 0;
  log_.AppendText(kMessageLog, std::string_view(text));
}

void DayFile::PostError(const char* format, uint32_t error) {
  lastError_ = error;
  Post(format);
}

int DayFile::Fail(FileHandle file, const char* format, int code, int64_t keepBytes) {
  // The error code is taken before anything else could replace it.
  lastError_ = files_.LastError();
  endedWithLineFeedAt_ = -1;
  if (file != kInvalidFile && keepBytes >= 0) files_.Truncate(file, keepBytes);
  if (file != kInvalidFile) files_.Close(file);
  PostFailure(format, code);
  return code;
}

bool DayFile::EndsWithLineFeed(FileHandle file) {
  char last = '\n';
  uint32_t count = 0;
  if (!files_.SeekBeforeEnd(file, 1) || !files_.Read(file, &last, 1, &count) || count != 1) return true;
  return last == '\n';
}

int DayFile::Write(std::string_view data) {
  const int code = WriteSteps(data);
  if (code == kWriteOk) NoteWriteWorked();
  return code;
}

int DayFile::WriteSteps(std::string_view data) {
  FormatFileName();
  // The folder is looked at only when the file cannot be opened: it is
  // there nearly every time, and a look before each write cost a call per
  // flush. A second open after it gives the error the open really met.
  bool madeFolder = false;
  FileHandle file = files_.OpenOrCreate(fileName_);
  if (file == kInvalidFile) {
    if (files_.LookUp(folder_) != FileSystem::PathKind::kDirectory) {
      if (!files_.CreateDirectory(folder_))
        return Fail(kInvalidFile, kCreateDirectoryError, kCreateDirectoryFailed);
      madeFolder = true;
    }
    file = files_.OpenOrCreate(fileName_);
    if (file == kInvalidFile) return Fail(kInvalidFile, kFileOpenError, kOpenFailed);
  }

  // A size that cannot be read counts as not empty: better no header than
  // a header in the middle of the file.
  const int64_t size = files_.FileSize(file);
  bool headerWritten = false;
  if (kind_.headerRule != HeaderRule::kNone) {
    const bool headerDue =
        size != FileSystem::kSizeUnknown &&
        (kind_.headerRule == HeaderRule::kIntoEmptyFile ? size == 0 : size < kShortFileLimit);
    if (headerDue) {
      if (kind_.headerRule == HeaderRule::kOverShortFile && !files_.SeekToStart(file)) {
        return Fail(file, kSetFilePointerError, kSeekFailed);
      }
      char header[kHeaderScratchSize + kShortFileLimit + 2];
      size_t headerLength = kind_.composeHeader(fileDay_, fileMonth_, fileYear_, header, kHeaderScratchSize);
      char old[kShortFileLimit];
      uint32_t count = 0;
      bool ownLines = false;
      if (kind_.headerRule == HeaderRule::kOverShortFile && size > 0) {
        // A short file that is not a header cut short holds lines of its
        // own (written by hand or by another program): they follow the
        // header instead of being written over.
        if (!files_.Read(file, old, static_cast<uint32_t>(size), &count) ||
            count != static_cast<uint32_t>(size) || !files_.SeekToStart(file)) {
          return Fail(file, kSetFilePointerError, kSeekFailed);
        }
        ownLines = std::string_view(header, headerLength).substr(0, count) != std::string_view(old, count);
        if (ownLines) {
          std::memcpy(header + headerLength, old, count);
          headerLength += count;
          if (old[count - 1] != '\n') {
            std::memcpy(header + headerLength, "\r\n", 2);
            headerLength += 2;
          }
        }
      }
      uint32_t written = 0;
      if (!files_.Write(file, header, static_cast<uint32_t>(headerLength), &written) ||
          written != headerLength) {
        // Lines of the file's own are put back as they were.
        uint32_t restored = 0;
        if (ownLines && written > 0 && files_.SeekToStart(file)) files_.Write(file, old, count, &restored);
        if (ownLines && written > 0) files_.Truncate(file, count);
        // Half a header over a short file cannot be taken back; into an
        // empty one it can.
        return Fail(file, kHeaderWriteError, kHeaderWriteFailed,
                    kind_.headerRule == HeaderRule::kIntoEmptyFile && written > 0 ? 0 : -1);
      }
      headerWritten = true;
    }
  }

  // A header always ends its last line; only older content can end inside one.
  const bool lastLineCut =
      !headerWritten && size > 0 && size != endedWithLineFeedAt_ && !EndsWithLineFeed(file);
  if (!files_.SeekToEnd(file)) return Fail(file, kSetFilePointerError, kSeekFailed);
  uint32_t written = 0;
  if (lastLineCut && (!files_.Write(file, "\r\n", 2, &written) || written != 2)) {
    return Fail(file, kFileWriteError, kDataWriteFailed, written > 0 ? size : -1);
  }
  // Where the data starts, for taking a half-written block back; asked of
  // the file only after a header, which may lie over older bytes.
  const int64_t end = !headerWritten && size != FileSystem::kSizeUnknown ? size + (lastLineCut ? 2 : 0)
                                                                         : files_.FileSize(file);
  const auto length = static_cast<uint32_t>(data.size());
  if (!files_.Write(file, data.data(), length, &written) || written != length) {
    return Fail(file, kFileWriteError, kDataWriteFailed, written > 0 ? end : -1);
  }
  endedWithLineFeedAt_ =
      end != FileSystem::kSizeUnknown && !data.empty() && data.back() == '\n' ? end + length : -1;
  if (syncToDisk_) {
    // An empty file at the open was (almost always) made by it.
    Sync(file, size == 0, madeFolder);
  } else {
    files_.Close(file);
  }
  return kWriteOk;
}

void DayFile::Sync(FileHandle file, bool madeFile, bool madeFolder) {
  lastSyncError_ = 0;
  if (!files_.SyncData(file)) lastSyncError_ = files_.LastError();
  files_.Close(file);
  const std::wstring_view folder(folder_);
  if (madeFile && !files_.SyncFolder(folder) && lastSyncError_ == 0) lastSyncError_ = files_.LastError();
  // The new folder's own entry is in its parent; the device root has none
  // that is ours.
  const size_t cut = folder.rfind(L'\\');
  if (madeFolder && cut != std::wstring_view::npos && !files_.SyncFolder(folder.substr(0, cut)) &&
      lastSyncError_ == 0) {
    lastSyncError_ = files_.LastError();
  }
}

}  // namespace pathmere
