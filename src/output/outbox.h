#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/plain_file.h"

namespace pathmere {

// The messages not yet acknowledged by the broker, on disk, so that an
// outage, a broker restart, a logger restart or a power cut loses none of
// them. The folder holds numbered segment files ("0000000001.jsonl", one
// message a line, appended) and "cursor": the segment and byte offset of the
// first line the broker has not acknowledged. The cursor moves only over
// acknowledged lines, so after a crash what was in flight is sent again
// (at least once, never lost). A segment wholly behind the cursor is
// removed. Beyond `maxSegments` segments the oldest is dropped, and that is
// told once.
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

  // Opens (and creates) the folder, mends a last line cut by a crash, and
  // reads the cursor. problem() tells when it cannot.
  explicit Outbox(std::filesystem::path folder);
  Outbox(std::filesystem::path folder, Limits limits);

  bool usable() const { return problem_.empty(); }
  const std::string& problem() const { return problem_; }
  const std::filesystem::path& folder() const { return folder_; }

  // One message (no line break in it) at the end. False when it could not
  // be written (problem() says why); the message is then not kept.
  bool Append(std::string_view message);
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
  std::filesystem::path SegmentPath(uint64_t number) const;
  bool Fail(const std::string& what, int error);
  void LoadSegments();
  void LoadCursor();
  void WriteCursor();
  bool StartSegment();
  void DropOldest();
  void RemoveBehindCursor();
  const Segment* Find(uint64_t number) const;
  uint64_t NextNumber(uint64_t number) const;

  std::filesystem::path folder_;
  Limits limits_;
  std::string problem_;
  std::deque<Segment> segments_;
  PlainFile tail_;  // the last segment, appended to
  PlainFile cursorFile_;
  PlainFile reader_;
  uint64_t readerSegment_ = 0;
  Position cursor_;
  bool tailDirty_ = false;
  bool cursorDirty_ = false;
  int64_t dropped_ = 0;
  bool droppedUntold_ = false;
};

}  // namespace pathmere
