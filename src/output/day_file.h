#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "messages/message_log.h"
#include "platform/file_system.h"

namespace pathmere {

// Result codes of every writer operation. Callers mostly test for 0 only; the
// message log is what the user sees.
inline constexpr int kWriteOk = 0;
inline constexpr int kNothingToWrite = 1;
inline constexpr int kCreateDirectoryFailed = 2;
inline constexpr int kOpenFailed = 3;
inline constexpr int kHeaderWriteFailed = 4;
inline constexpr int kSeekFailed = 5;
inline constexpr int kDataWriteFailed = 6;
inline constexpr int kNoMemory = 10;
inline constexpr int kSentenceTooLong = 100;
inline constexpr int kNoDateYet = 101;

// When a file gets its header.
enum class HeaderRule {
  kNone,           // never
  kIntoEmptyFile,  // when the file is empty
  kOverShortFile,  // when it is shorter than kShortFileLimit, written at its start
};

// Composes the header of the file of a local date (year two-digit) into
// `buffer` of `capacity` bytes and returns its length, less than `capacity`.
using HeaderComposer = size_t (*)(int32_t day, int32_t month, int32_t twoDigitYear, char* buffer,
                                  size_t capacity);

// What sets one kind of day file apart from the others.
struct DayFileKind {
  const char* extension;  // without the dot
  HeaderRule headerRule;
  HeaderComposer composeHeader;  // null with HeaderRule::kNone
};

// One kind of per-day file in the output folder ("<folder>\2026-12-06.plt"):
// the folder, the day that names the file, and the one procedure that writes
// to it. The file is open only inside Write, so other programs can read it
// between writes and nothing is left open when the program stops.
class DayFile {
 public:
  static constexpr size_t kFolderCapacity = 265;
  static constexpr size_t kFileNameCapacity = 285;
  static constexpr size_t kMessageCapacity = 64;
  static constexpr size_t kHeaderScratchSize = 256;
  static constexpr int64_t kShortFileLimit = 72;

  DayFile(FileSystem& files, MessageLog& log, const DayFileKind& kind);
  DayFile(const DayFile&) = delete;
  DayFile& operator=(const DayFile&) = delete;

  // Takes effect at the next write; a longer path is cut to the capacity.
  void SetFolder(std::wstring_view path);
  // Copies the folder into `buffer` of `capacity` wide characters, cut to fit.
  void GetFolder(wchar_t* buffer, size_t capacity) const;
  // The local date that names the file; the year two-digit.
  void SetFileDate(int32_t day, int32_t month, int32_t twoDigitYear);
  // Formats fileName from folder and the file date.
  void FormatFileName();

  // Creates the folder when missing (one level), opens or creates the day's
  // file, writes the header if due, appends `data` in one write and closes.
  // `data` is whole lines, so a crash between two writes leaves whole lines;
  // a file whose last line a crash did cut short gets that line ended first,
  // so the new lines are not glued to the fragment. A write that fails half
  // way (a full disk) is cut off again, so the lines that stay pending do
  // not leave a fragment of themselves behind. Returns kWriteOk or the code
  // of the failing step, whose message is posted.
  int Write(std::string_view data);
  // The result of the last Write: kWriteOk, or the code of its failing step.
  int lastWriteCode() const { return lastWriteCode_; }

  // From now on each Write also makes its data durable before it returns
  // (and the folder's entries, when it made the file or the folder), so a
  // power cut cannot take back what was written. A failed sync leaves the
  // write a success (the data is written; only when it reaches the disk is
  // unknown) and is kept in lastSyncError.
  void SetSyncToDisk(bool on) { syncToDisk_ = on; }
  bool syncToDisk() const { return syncToDisk_; }
  // The platform's error code of the last failed sync; 0 when the last
  // Write's syncs worked.
  uint32_t lastSyncError() const { return lastSyncError_; }

  // A numbered message with lastError as its second number.
  void Post(const char* format);
  // A failed write's message, told once while the same failure goes on:
  // later ones are only counted, and the first write that works again says
  // how many failed. Also for writers with write steps of their own.
  void PostFailure(const char* format, int code);
  // A write that worked, for the same writers; ends a failure that is told.
  void NoteWriteWorked();
  // Writes failed in a row, the told one included; 0 while writes work.
  uint32_t failedWrites() const { return failedWrites_; }
  // The same after storing `error` as lastError.
  void PostError(const char* format, uint32_t error);
  void SetLastError(uint32_t error) { lastError_ = error; }

  const char* extension() const { return kind_.extension; }
  const wchar_t* folder() const { return folder_; }
  const wchar_t* fileName() const { return fileName_; }
  const wchar_t* message() const { return message_; }
  uint32_t lastError() const { return lastError_; }
  int32_t fileDay() const { return fileDay_; }
  int32_t fileMonth() const { return fileMonth_; }
  int32_t fileYear() const { return fileYear_; }  // two-digit

 private:
  int WriteSteps(std::string_view data);
  void Sync(FileHandle file, bool madeFile, bool madeFolder);
  // Posts the failure and closes the file, first cutting it back to
  // `keepBytes` when that is 0 or more.
  int Fail(FileHandle file, const char* format, int code, int64_t keepBytes = -1);
  // False only when the file's last byte could be read and is not a line feed.
  bool EndsWithLineFeed(FileHandle file);

  FileSystem& files_;
  MessageLog& log_;
  DayFileKind kind_;
  uint32_t lastError_ = 0;
  int lastWriteCode_ = kWriteOk;
  uint32_t failedWrites_ = 0;
  uint32_t toldError_ = 0;  // the error of the told failure
  bool syncToDisk_ = false;
  uint32_t lastSyncError_ = 0;
  int32_t fileDay_ = 0;
  int32_t fileMonth_ = 0;
  int32_t fileYear_ = 0;
  wchar_t folder_[kFolderCapacity] = {};
  wchar_t fileName_[kFileNameCapacity] = {};
  wchar_t message_[kMessageCapacity] = {};
  // The file's size after this writer's last write, when that write ended
  // in a line feed; -1 when unknown. At that size the last byte need not be
  // read back.
  int64_t endedWithLineFeedAt_ = -1;
};

}  // namespace pathmere
