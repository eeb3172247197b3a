#include "output/outbox.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "platform/file_system_posix.h"

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

constexpr std::wstring_view kCursorPath = L"\\cursor";

bool ParseSegmentName(const std::wstring& name, uint64_t* number) {
  if (name.size() != kSegmentDigits + std::strlen(kSegmentSuffix)) return false;
  if (WideToUtf8(std::wstring_view(name).substr(kSegmentDigits)) != kSegmentSuffix) return false;
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

Outbox::Outbox(fs::path folder, Limits limits)
    : ownFiles_(std::make_unique<PosixFileSystem>(folder.string())),
      files_(*ownFiles_),
      folder_(std::move(folder)),
      limits_(limits) {
  std::error_code ec;
  fs::create_directories(folder_, ec);
  if (ec) {
    problem_ = "cannot create " + folder_.string() + ": " + ec.message();
    return;
  }
  Open();
}

Outbox::Outbox(FileSystem& files, fs::path shown, Limits limits)
    : files_(files), folder_(std::move(shown)), limits_(limits) {
  Open();
}

Outbox::~Outbox() {
  for (const FileHandle file : {tail_, cursorFile_, reader_}) {
    if (file != kInvalidFile) files_.Close(file);
  }
}

void Outbox::Open() {
  limits_.linesPerSegment = std::max(limits_.linesPerSegment, 1);
  limits_.maxSegments = std::max(limits_.maxSegments, 1);
  LoadSegments();
  if (usable()) LoadCursor();
}

std::wstring Outbox::SegmentPath(uint64_t number) const {
  char name[32];
  std::snprintf(name, sizeof name, "\\%010" PRIu64 "%s", number, kSegmentSuffix);
  return Utf8ToWide(name);
}

std::string Outbox::Shown(std::wstring_view path) const {
  return (folder_ / WideToUtf8(path.substr(1))).string();
}

bool Outbox::Fail(const std::string& what, uint32_t error) {
  problem_ = what + ": " + std::strerror(static_cast<int>(error));
  return false;
}

bool Outbox::ReadAt(FileHandle file, int64_t offset, size_t capacity, std::string* out) const {
  out->clear();
  if (!files_.SeekTo(file, offset)) return false;
  char buffer[16384];
  while (out->size() < capacity) {
    uint32_t got = 0;
    const auto want = static_cast<uint32_t>(std::min(sizeof buffer, capacity - out->size()));
    if (!files_.Read(file, buffer, want, &got)) return false;
    if (got == 0) break;
    out->append(buffer, got);
  }
  return true;
}

bool Outbox::WriteAt(FileHandle file, int64_t offset, std::string_view bytes) const {
  uint32_t written = 0;
  return files_.SeekTo(file, offset) &&
         files_.Write(file, bytes.data(), static_cast<uint32_t>(bytes.size()), &written);
}

void Outbox::Reopen(FileHandle* file, const std::wstring& path) {
  if (*file != kInvalidFile) files_.Close(*file);
  *file = files_.OpenOrCreate(path);
}

void Outbox::LoadSegments() {
  std::vector<uint64_t> numbers;
  std::vector<FileSystem::FolderEntry> entries;
  if (!files_.ListFolder(L"", &entries)) {
    Fail("cannot read " + folder_.string(), files_.LastError());
    return;
  }
  for (const FileSystem::FolderEntry& entry : entries) {
    uint64_t number = 0;
    if (!entry.isDirectory && ParseSegmentName(entry.name, &number)) numbers.push_back(number);
  }
  std::sort(numbers.begin(), numbers.end());
  for (const uint64_t number : numbers) {
    int64_t size = 0;
    if (const FileHandle file = files_.OpenExistingForRead(SegmentPath(number)); file != kInvalidFile) {
      size = std::max<int64_t>(files_.FileSize(file), 0);
      files_.Close(file);
    }
    segments_.push_back({number, limits_.linesPerSegment, size});
  }
  if (segments_.empty()) {
    StartSegment();
    return;
  }
  Segment& last = segments_.back();
  Reopen(&tail_, SegmentPath(last.number));
  if (tail_ == kInvalidFile) {
    Fail("cannot open " + Shown(SegmentPath(last.number)), files_.LastError());
    return;
  }
  std::string text;
  if (!ReadAt(tail_, 0, static_cast<size_t>(last.size), &text)) {
    Fail("cannot read " + Shown(SegmentPath(last.number)), files_.LastError());
    return;
  }
  // A line cut by a crash or a power cut is no message: cut it off, so the
  // next one starts on a line of its own.
  const size_t whole = text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1;
  if (whole < text.size()) files_.Truncate(tail_, static_cast<int64_t>(whole));
  last.size = static_cast<int64_t>(whole);
  last.lines = CountLines(std::string_view(text).substr(0, whole));
}

void Outbox::LoadCursor() {
  Reopen(&cursorFile_, std::wstring(kCursorPath));
  if (cursorFile_ == kInvalidFile) {
    Fail("cannot open " + Shown(kCursorPath), files_.LastError());
    return;
  }
  std::string text;
  unsigned long long segment = 0;
  long long offset = 0;
  cursor_ = {segments_.front().number, 0};
  if (ReadAt(cursorFile_, 0, kCursorSize, &text) &&
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
  if (cursorFile_ != kInvalidFile && WriteAt(cursorFile_, 0, std::string_view(text, kCursorSize)))
    cursorDirty_ = true;
}

bool Outbox::StartSegment() {
  const uint64_t number = segments_.empty() ? 1 : segments_.back().number + 1;
  // The last segment stays open until the next one is there: a segment that
  // cannot be made (a full disk) leaves the outbox as it was, to try again.
  const FileHandle next = files_.OpenOrCreate(SegmentPath(number));
  if (next == kInvalidFile) return Fail("cannot create " + Shown(SegmentPath(number)), files_.LastError());
  if (tail_ != kInvalidFile) files_.Close(tail_);
  tail_ = next;
  // A segment of a start that failed part-way holds nothing of ours.
  files_.Truncate(tail_, 0);
  segments_.push_back({number, 0, 0});
  files_.SyncFolder(L"");
  while (static_cast<int32_t>(segments_.size()) > limits_.maxSegments) DropOldest();
  // A cursor at the end of the segment before is at the start of this one.
  if (cursorFile_ != kInvalidFile) Acknowledge(cursor_);
  return true;
}

void Outbox::DropOldest() {
  const Segment oldest = segments_.front();
  if (cursor_.segment <= oldest.number) {
    std::string text;
    int32_t before = 0;
    if (cursor_.segment == oldest.number) {
      if (const FileHandle file = files_.OpenExistingForRead(SegmentPath(oldest.number));
          file != kInvalidFile) {
        if (ReadAt(file, 0, static_cast<size_t>(cursor_.offset), &text)) before = CountLines(text);
        files_.Close(file);
      }
    }
    dropped_ += oldest.lines - before;
    droppedUntold_ = true;
    cursor_ = {segments_[1].number, 0};
    WriteCursor();
  }
  if (reader_ != kInvalidFile && readerSegment_ == oldest.number) {
    files_.Close(reader_);
    reader_ = kInvalidFile;
  }
  files_.Remove(SegmentPath(oldest.number));
  segments_.pop_front();
  files_.SyncFolder(L"");
}

bool Outbox::WriteLine(const std::string& line) {
  if (segments_.back().lines >= limits_.linesPerSegment && !StartSegment()) return false;
  Segment& tail = segments_.back();
  if (!WriteAt(tail_, tail.size, line)) {
    const uint32_t error = files_.LastError();
    files_.Truncate(tail_, tail.size);  // no fragment stays behind
    return Fail("cannot write " + Shown(SegmentPath(tail.number)), error);
  }
  tail.size += static_cast<int64_t>(line.size());
  ++tail.lines;
  tailDirty_ = true;
  return true;
}

bool Outbox::Opened() const {
  return !segments_.empty() && tail_ != kInvalidFile && cursorFile_ != kInvalidFile;
}

void Outbox::OpenAgain() {
  if (Opened() || (ownFiles_ != nullptr && !fs::is_directory(folder_))) return;
  for (FileHandle* file : {&tail_, &cursorFile_, &reader_}) {
    if (*file != kInvalidFile) files_.Close(*file);
    *file = kInvalidFile;
  }
  segments_.clear();
  problem_.clear();
  Open();
}

bool Outbox::WriteUnwritten() {
  OpenAgain();
  if (!Opened()) return unwritten_.empty();
  while (!unwritten_.empty()) {
    if (!WriteLine(unwritten_.front())) return false;
    unwritten_.pop_front();
  }
  problem_.clear();
  return true;
}

bool Outbox::Append(std::string_view message) {
  std::string line(message);
  line += '\n';
  // An outbox that could not be opened (a full or read-only disk at the
  // start) is tried again; meanwhile the line waits with the others.
  OpenAgain();
  if (!Opened() && ownFiles_ != nullptr && !fs::is_directory(folder_)) {
    // No folder to keep it in at all.
    ++lost_;
    return false;
  }
  if (Opened() && WriteUnwritten() && WriteLine(line)) {
    problem_.clear();
    return true;
  }
  // Kept for when the disk takes writes again; the oldest go first.
  if (unwritten_.size() >= kUnwrittenKept) {
    unwritten_.pop_front();
    ++lost_;
  }
  unwritten_.push_back(std::move(line));
  return false;
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
    if (reader_ == kInvalidFile || readerSegment_ != segment->number) {
      if (reader_ != kInvalidFile) files_.Close(reader_);
      reader_ = files_.OpenExistingForRead(SegmentPath(segment->number));
      if (reader_ == kInvalidFile) return false;
      readerSegment_ = segment->number;
    }
    const auto want = static_cast<size_t>(std::min<int64_t>(segment->size - position->offset, kLongestLine));
    if (!ReadAt(reader_, position->offset, want, message)) return false;
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
    if (reader_ != kInvalidFile && readerSegment_ == segments_.front().number) {
      files_.Close(reader_);
      reader_ = kInvalidFile;
    }
    files_.Remove(SegmentPath(segments_.front().number));
    segments_.pop_front();
    removed = true;
  }
  if (removed) files_.SyncFolder(L"");
}

bool Outbox::Sync() {
  bool ok = WriteUnwritten();
  if (tailDirty_) ok = files_.SyncData(tail_) && ok;
  if (cursorDirty_) ok = files_.SyncData(cursorFile_) && ok;
  tailDirty_ = cursorDirty_ = false;
  return ok;
}

int64_t Outbox::Waiting() const {
  auto waiting = static_cast<int64_t>(unwritten_.size());
  for (const Segment& segment : segments_) {
    if (segment.number < cursor_.segment) continue;
    if (segment.number > cursor_.segment) {
      waiting += segment.lines;
      continue;
    }
    std::string text;
    if (const FileHandle file = files_.OpenExistingForRead(SegmentPath(segment.number));
        file != kInvalidFile) {
      if (ReadAt(file, cursor_.offset, static_cast<size_t>(segment.size - cursor_.offset), &text))
        waiting += CountLines(text);
      files_.Close(file);
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
