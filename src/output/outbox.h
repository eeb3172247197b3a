#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace pathmere {

// The messages not yet acknowledged by the broker, on disk, so that an
// outage, a broker restart, a logger restart or a power cut loses none of
// them. The folder holds numbered segment files ("0000000001.jsonl", one
// message a line, appended) and "cursor": the segment and byte offset of the
// first line the broker has not acknowledged. The cursor moves only over
// acknowledged lines, so after a crash what was in flight is sent again
// (at least once, never lost). A segment wholly behind the cursor is
// removed. Beyond `maxSegments` segments the oldest is dropped, and that is
// told once. A message that cannot be written (a full or read-only disk)
// waits in memory, up to kUnwrittenKept, and goes to disk, in order, before
// the next one once a write works again.
class Outbox {
 public:
  struct Position {
    uint64_t segment = 0;
    int64_t offset = 0;
    bool operator==(const Position&) const = default;
  };
  struct Limits {
    int32_t linesPerSegment = 3600;  // an hour at one point a second
    int32_t maxSegments = 720;       // 30 days of them
  };
  // Messages kept in memory while the disk takes none: a day at one a second.
  static constexpr size_t kUnwrittenKept = 86400;

  // Opens (and creates) the folder, mends a last line cut by a crash, and
  // reads the cursor. problem() tells when it cannot.
  explicit Outbox(std::filesystem::path folder);
  Outbox(std::filesystem::path folder, Limits limits);
  // The same in the root of `files` (a file system of the outbox's own);
  // `shown` names the folder in messages.
  Outbox(FileSystem& files, std::filesystem::path shown, Limits limits);
  ~Outbox();
  Outbox(const Outbox&) = delete;
  Outbox& operator=(const Outbox&) = delete;

  bool usable() const { return problem_.empty(); }
  const std::string& problem() const { return problem_; }
  const std::filesystem::path& folder() const { return folder_; }

  // One message (no line break in it) at the end. False when it could not
  // be written (problem() says why); it then waits in memory (unwritten()),
  // or, beyond kUnwrittenKept or with no usable folder, is lost (lost()).
  bool Append(std::string_view message);
  // The messages waiting in memory to disk; true when none is left.
  bool WriteUnwritten();
  int64_t unwritten() const { return static_cast<int64_t>(unwritten_.size()); }
  // Messages not kept for the broker since the start.
  int64_t lost() const { return lost_; }
  // The next line at or after `*position` into `*message`, `*position`
  // moved past it; false when there is none.
  bool ReadNext(Position* position, std::string* message);
  // Where sending starts: the cursor.
  Position cursor() const { return cursor_; }
  Position end() const;
  bool AtEnd(const Position& position) const { return position == end(); }
  // The broker has acknowledged everything before `position`.
  void Acknowledge(const Position& position);
  // The appended lines and the cursor made durable (the day files' moments).
  bool Sync();
  // Messages after the cursor, counted (for the status report).
  int64_t Waiting() const;
  // Lines dropped for room since the start, and whether that is still to
  // be told (true once, then false).
  int64_t dropped() const { return dropped_; }
  bool TakeDroppedNotice();

 private:
  struct Segment {
    uint64_t number = 0;
    int32_t lines = 0;
    int64_t size = 0;
  };
  std::wstring SegmentPath(uint64_t number) const;
  std::string Shown(std::wstring_view path) const;
  bool Fail(const std::string& what, uint32_t error);
  bool ReadAt(FileHandle file, int64_t offset, size_t capacity, std::string* out) const;
  bool WriteAt(FileHandle file, int64_t offset, std::string_view bytes) const;
  void Reopen(FileHandle* file, const std::wstring& path);
  bool WriteLine(const std::string& line);
  void Open();
  bool Opened() const;  // segments and files to keep messages in
  // Opens the outbox again where the start could not.
  void OpenAgain();
  void LoadSegments();
  void LoadCursor();
  void WriteCursor();
  bool StartSegment();
  void DropOldest();
  void RemoveBehindCursor();
  const Segment* Find(uint64_t number) const;
  uint64_t NextNumber(uint64_t number) const;

  std::unique_ptr<FileSystem> ownFiles_;  // with a folder of the host given
  FileSystem& files_;
  std::filesystem::path folder_;
  Limits limits_;
  std::string problem_;
  std::deque<Segment> segments_;
  FileHandle tail_ = kInvalidFile;  // the last segment, appended to
  FileHandle cursorFile_ = kInvalidFile;
  FileHandle reader_ = kInvalidFile;
  std::deque<std::string> unwritten_;  // lines, with their line feeds
  int64_t lost_ = 0;
  uint64_t readerSegment_ = 0;
  Position cursor_;
  bool tailDirty_ = false;
  bool cursorDirty_ = false;
  int64_t dropped_ = 0;
  bool droppedUntold_ = false;
};

}  // namespace pathmere
