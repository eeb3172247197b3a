#include "output/outbox.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace pathmere {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSegmentSuffix = ".jsonl";
constexpr size_t kSegmentDigits = 10;
// "segment offset\n", fixed width, so that rewriting it in place is one
// small write within a sector.
constexpr size_t kCursorSize = 42;
// No message of ours comes near this; a line longer than it is not one.
constexpr size_t kLongestLine = 64 * 1024;

bool ParseSegmentName(const std::string& name, uint64_t* number) {
  if (name.size() != kSegmentDigits + std::strlen(kSegmentSuffix)) return false;
  if (name.compare(kSegmentDigits, std::string::npos, kSegmentSuffix) != 0) return false;
  uint64_t value = 0;
  for (size_t i = 0; i < kSegmentDigits; ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
    value = value * 10 + static_cast<uint64_t>(name[i] - '0');
  }
  *number = value;
  return true;
}

int32_t CountLines(std::string_view text) {
  return static_cast<int32_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

Outbox::Outbox(fs::path folder) : Outbox(std::move(folder), Limits{}) {}

Outbox::Outbox(fs::path folder, Limits limits) : folder_(std::move(folder)), limits_(limits) {
  limits_.linesPerSegment = std::max(limits_.linesPerSegment, 1);
  limits_.maxSegments = std::max(limits_.maxSegments, 1);
  std::error_code ec;
  fs::create_directories(folder_, ec);
  if (ec) {
    Fail("cannot create " + folder_.string(), ec.value());
    return;
  }
  LoadSegments();
  if (usable()) LoadCursor();
}

fs::path Outbox::SegmentPath(uint64_t number) const {
  char name[32];
  std::snprintf(name, sizeof name, "%010" PRIu64 "%s", number, kSegmentSuffix);
  return folder_ / name;
}

bool Outbox::Fail(const std::string& what, int error) {
  problem_ = what + ": " + std::strerror(error);
  return false;
}

void Outbox::LoadSegments() {
  std::vector<uint64_t> numbers;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder_, ec)) {
    uint64_t number = 0;
    if (ParseSegmentName(entry.path().filename().string(), &number)) numbers.push_back(number);
  }
  if (ec) {
    Fail("cannot read " + folder_.string(), ec.value());
    return;
  }
  std::sort(numbers.begin(), numbers.end());
  for (const uint64_t number : numbers) {
    std::error_code sizeError;
    const auto size = static_cast<int64_t>(fs::file_size(SegmentPath(number), sizeError));
    segments_.push_back({number, limits_.linesPerSegment, sizeError ? 0 : size});
  }
  if (segments_.empty()) {
    StartSegment();
    return;
  }
  Segment& last = segments_.back();
  if (!tail_.Open(SegmentPath(last.number))) {
    Fail("cannot open " + SegmentPath(last.number).string(), tail_.error());
    return;
  }
  std::string text;
  if (!tail_.ReadAt(0, static_cast<size_t>(last.size), &text)) {
    Fail("cannot read " + SegmentPath(last.number).string(), tail_.error());
    return;
  }
  // A line cut by a crash or a power cut is no message: cut it off, so the
  // next one starts on a line of its own.
  const size_t whole = text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1;
  if (whole < text.size()) tail_.Truncate(static_cast<int64_t>(whole));
  last.size = static_cast<int64_t>(whole);
  last.lines = CountLines(std::string_view(text).substr(0, whole));
}

void Outbox::LoadCursor() {
  const fs::path path = folder_ / "cursor";
  if (!cursorFile_.Open(path)) {
    Fail("cannot open " + path.string(), cursorFile_.error());
    return;
  }
  std::string text;
  unsigned long long segment = 0;
  long long offset = 0;
  cursor_ = {segments_.front().number, 0};
  if (cursorFile_.ReadAt(0, kCursorSize, &text) &&
      std::sscanf(text.c_str(), "%llu %lld", &segment, &offset) == 2) {
    cursor_ = {segment, offset};
  }
  // A cursor before what is kept starts at the oldest line, one beyond it
  // at the end; inside a segment it never passes its end.
  if (cursor_.segment < segments_.front().number) cursor_ = {segments_.front().number, 0};
  if (cursor_.segment > segments_.back().number) cursor_ = end();
  if (const Segment* in = Find(cursor_.segment); in == nullptr) {
    cursor_ = {segments_.front().number, 0};
  } else {
    cursor_.offset = std::clamp<int64_t>(cursor_.offset, 0, in->size);
  }
  Acknowledge(cursor_);
}

void Outbox::WriteCursor() {
  char text[kCursorSize + 1];
  std::snprintf(text, sizeof text, "%020" PRIu64 " %020" PRId64 "\n", cursor_.segment, cursor_.offset);
  if (cursorFile_.open() && cursorFile_.WriteAt(0, std::string_view(text, kCursorSize))) cursorDirty_ = true;
}

bool Outbox::StartSegment() {
  const uint64_t number = segments_.empty() ? 1 : segments_.back().number + 1;
  if (!tail_.Open(SegmentPath(number)))
    return Fail("cannot create " + SegmentPath(number).string(), tail_.error());
  segments_.push_back({number, 0, 0});
  SyncFolder(folder_);
  while (static_cast<int32_t>(segments_.size()) > limits_.maxSegments) DropOldest();
  // A cursor at the end of the segment before is at the start of this one.
  if (cursorFile_.open()) Acknowledge(cursor_);
  return true;
}

void Outbox::DropOldest() {
  const Segment oldest = segments_.front();
  if (cursor_.segment <= oldest.number) {
    std::string text;
    PlainFile file;
    int32_t before = 0;
    if (cursor_.segment == oldest.number && file.Open(SegmentPath(oldest.number)) &&
        file.ReadAt(0, static_cast<size_t>(cursor_.offset), &text)) {
      before = CountLines(text);
    }
    dropped_ += oldest.lines - before;
    droppedUntold_ = true;
    cursor_ = {segments_[1].number, 0};
    WriteCursor();
  }
  if (reader_.open() && readerSegment_ == oldest.number) reader_.Close();
  std::error_code ignored;
  fs::remove(SegmentPath(oldest.number), ignored);
  segments_.pop_front();
  SyncFolder(folder_);
}

bool Outbox::Append(std::string_view message) {
  if (!usable()) return false;
  if (segments_.back().lines >= limits_.linesPerSegment && !StartSegment()) return false;
  Segment& tail = segments_.back();
  std::string line(message);
  line += '\n';
  if (!tail_.WriteAt(tail.size, line)) {
    const int error = tail_.error();
    tail_.Truncate(tail.size);  // no fragment stays behind
    return Fail("cannot write " + SegmentPath(tail.number).string(), error);
  }
  problem_.clear();
  tail.size += static_cast<int64_t>(line.size());
  ++tail.lines;
  tailDirty_ = true;
  return true;
}

const Outbox::Segment* Outbox::Find(uint64_t number) const {
  for (const Segment& segment : segments_) {
    if (segment.number == number) return &segment;
  }
  return nullptr;
}

uint64_t Outbox::NextNumber(uint64_t number) const {
  for (const Segment& segment : segments_) {
    if (segment.number > number) return segment.number;
  }
  return number + 1;
}

Outbox::Position Outbox::end() const {
  if (segments_.empty()) return {};
  return {segments_.back().number, segments_.back().size};
}

bool Outbox::ReadNext(Position* position, std::string* message) {
  for (;;) {
    if (!segments_.empty() && position->segment < segments_.front().number)
      *position = {segments_.front().number, 0};
    const Segment* segment = Find(position->segment);
    if (segment == nullptr) return false;
    if (position->offset >= segment->size) {
      if (segment == &segments_.back()) return false;
      *position = {NextNumber(segment->number), 0};
      continue;
    }
    if (!reader_.open() || readerSegment_ != segment->number) {
      if (!reader_.Open(SegmentPath(segment->number))) return false;
      readerSegment_ = segment->number;
    }
    const auto want = static_cast<size_t>(std::min<int64_t>(segment->size - position->offset, kLongestLine));
    if (!reader_.ReadAt(position->offset, want, message)) return false;
    const size_t newline = message->find('\n');
    if (newline == std::string::npos) {
      // Not one of ours: skip the rest of this segment.
      position->offset = segment->size;
      continue;
    }
    message->resize(newline);
    position->offset += static_cast<int64_t>(newline) + 1;
    return true;
  }
}

void Outbox::Acknowledge(const Position& position) {
  cursor_ = position;
  // Past the end of a finished segment is the start of the next one.
  for (;;) {
    const Segment* segment = Find(cursor_.segment);
    if (segment == nullptr || segment == &segments_.back() || cursor_.offset < segment->size) break;
    cursor_ = {NextNumber(cursor_.segment), 0};
  }
  RemoveBehindCursor();
  WriteCursor();
}

void Outbox::RemoveBehindCursor() {
  bool removed = false;
  while (segments_.size() > 1 && segments_.front().number < cursor_.segment) {
    if (reader_.open() && readerSegment_ == segments_.front().number) reader_.Close();
    std::error_code ignored;
    fs::remove(SegmentPath(segments_.front().number), ignored);
    segments_.pop_front();
    removed = true;
  }
  if (removed) SyncFolder(folder_);
}

bool Outbox::Sync() {
  bool ok = true;
  if (tailDirty_) ok = tail_.Sync() && ok;
  if (cursorDirty_) ok = cursorFile_.Sync() && ok;
  tailDirty_ = cursorDirty_ = false;
  return ok;
}

int64_t Outbox::Waiting() const {
  int64_t waiting = 0;
  for (const Segment& segment : segments_) {
    if (segment.number < cursor_.segment) continue;
    if (segment.number > cursor_.segment) {
      waiting += segment.lines;
      continue;
    }
    PlainFile file;
    std::string text;
    if (file.Open(SegmentPath(segment.number)) &&
        file.ReadAt(cursor_.offset, static_cast<size_t>(segment.size - cursor_.offset), &text)) {
      waiting += CountLines(text);
    }
  }
  return waiting;
}

bool Outbox::TakeDroppedNotice() {
  const bool untold = droppedUntold_;
  droppedUntold_ = false;
  return untold;
}

}  // namespace pathmere
