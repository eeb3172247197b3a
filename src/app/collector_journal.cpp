#include "app/collector_journal.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace pathmere {

namespace {

constexpr std::wstring_view kSuffix = L".journal";
constexpr size_t kDigits = 10;
// The longest record taken back: a topic and a payload of any message the
// collector uses fit many times over.
constexpr size_t kLongestRecord = 1 << 20;

bool SegmentNumber(const std::wstring& name, uint64_t* number) {
  if (name.size() != kDigits + kSuffix.size() || name.compare(kDigits, std::wstring::npos, kSuffix) != 0)
    return false;
  uint64_t value = 0;
  for (size_t i = 0; i < kDigits; ++i) {
    if (name[i] < L'0' || name[i] > L'9') return false;
    value = value * 10 + static_cast<uint64_t>(name[i] - L'0');
  }
  *number = value;
  return true;
}

// "J TOPIC-BYTES PAYLOAD-BYTES\n" then the topic and the payload, then "\n":
// a payload may hold any byte.
std::string Record(const MqttMessage& message) {
  char head[48];
  std::snprintf(head, sizeof head, "J %zu %zu\n", message.topic.size(), message.payload.size());
  return head + message.topic + message.payload + "\n";
}

// The whole records of `text`; one cut by a crash ends the segment.
void ReadRecords(std::string_view text, std::vector<MqttMessage>* messages) {
  while (!text.empty()) {
    const size_t newline = text.find('\n');
    size_t topic = 0, payload = 0;
    if (newline == std::string_view::npos || newline > 46 ||
        std::sscanf(std::string(text.substr(0, newline)).c_str(), "J %zu %zu", &topic, &payload) != 2 ||
        topic > kLongestRecord || payload > kLongestRecord ||
        text.size() < newline + 1 + topic + payload + 1 || text[newline + 1 + topic + payload] != '\n') {
      return;
    }
    messages->push_back({std::string(text.substr(newline + 1, topic)),
                         std::string(text.substr(newline + 1 + topic, payload)), false});
    text.remove_prefix(newline + 1 + topic + payload + 1);
  }
}

}  // namespace

CollectorJournal::CollectorJournal(FileSystem& files, std::wstring folder)
    : files_(files), folder_(std::move(folder)) {}

CollectorJournal::~CollectorJournal() {
  if (file_ != kInvalidFile) files_.Close(file_);
}

std::wstring CollectorJournal::SegmentPath(uint64_t number) const {
  char name[24];
  std::snprintf(name, sizeof name, "%010" PRIu64, number);
  return folder_ + L"\\" + Utf8ToWide(name) + std::wstring(kSuffix);
}

std::vector<MqttMessage> CollectorJournal::Recover() {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::vector<MqttMessage> messages;
  std::vector<FileSystem::FolderEntry> entries;
  if (!files_.ListFolder(folder_, &entries)) return messages;
  folderMade_ = true;
  std::vector<uint64_t> numbers;
  for (const FileSystem::FolderEntry& entry : entries) {
    uint64_t number = 0;
    if (!entry.isDirectory && SegmentNumber(entry.name, &number)) numbers.push_back(number);
  }
  std::sort(numbers.begin(), numbers.end());
  for (const uint64_t number : numbers) {
    const FileHandle file = files_.OpenExistingForRead(SegmentPath(number));
    if (file == kInvalidFile) {
      held_.push_back(number);  // not read, so not removed
      continue;
    }
    std::string text;
    char buffer[65536];
    uint32_t got = 0;
    while (files_.Read(file, buffer, sizeof buffer, &got) && got > 0) text.append(buffer, got);
    files_.Close(file);
    ReadRecords(text, &messages);
    taken_.push_back(number);
    next_ = number + 1;
  }
  return messages;
}

bool CollectorJournal::Keep(const MqttMessage& message) {
  const std::lock_guard<std::mutex> lock(mutex_);
  auto fail = [&](const char* what) {
    problem_ = std::string("the journal cannot be ") + what + ": " +
               std::strerror(static_cast<int>(files_.LastError()));
    ++failures_;
    return false;
  };
  if (!folderMade_) {
    if (files_.LookUp(folder_) != FileSystem::PathKind::kDirectory && !files_.CreateDirectory(folder_))
      return fail("made");
    folderMade_ = true;
  }
  if (file_ == kInvalidFile) {
    file_ = files_.OpenOrCreate(SegmentPath(next_));
    if (file_ == kInvalidFile) return fail("opened");
    open_ = next_++;
    // A segment of a write that failed part-way is begun afresh.
    files_.Truncate(file_, 0);
    files_.SyncFolder(folder_);
  }
  const std::string record = Record(message);
  uint32_t written = 0;
  const int64_t end = files_.FileSize(file_);
  if (!files_.SeekToEnd(file_) ||
      !files_.Write(file_, record.data(), static_cast<uint32_t>(record.size()), &written)) {
    // No fragment stays behind to hide the records after it.
    if (end >= 0) files_.Truncate(file_, end);
    return fail("written");
  }
  unsynced_ = true;
  kept_.push_back(message);
  return true;
}

bool CollectorJournal::Commit() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!unsynced_) return true;
  unsynced_ = false;
  if (file_ == kInvalidFile || !files_.SyncData(file_)) {
    // What this batch appended is not durable: it must come again.
    problem_ =
        std::string("the journal cannot be synced: ") + std::strerror(static_cast<int>(files_.LastError()));
    ++failures_;
    return false;
  }
  problem_.clear();
  return true;
}

std::vector<MqttMessage> CollectorJournal::Take() {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::vector<MqttMessage> taken;
  taken.swap(kept_);
  if (file_ != kInvalidFile) {
    // Synced before it is let go; a batch still open is synced here too.
    if (unsynced_ && files_.SyncData(file_)) unsynced_ = false;
    files_.Close(file_);
    file_ = kInvalidFile;
    taken_.push_back(open_);
  }
  return taken;
}

void CollectorJournal::Written(bool kept) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!kept) {
    held_.insert(held_.end(), taken_.begin(), taken_.end());
  } else {
    for (const uint64_t number : taken_) files_.Remove(SegmentPath(number));
    if (!taken_.empty()) files_.SyncFolder(folder_);
  }
  taken_.clear();
}

std::string CollectorJournal::problem() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return problem_;
}

int64_t CollectorJournal::failures() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return failures_;
}

}  // namespace pathmere
