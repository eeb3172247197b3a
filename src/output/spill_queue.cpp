#include "output/spill_queue.h"

#include <algorithm>

namespace pathmere {

size_t CountLines(std::string_view text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

size_t CountOccurrences(std::string_view text, std::string_view needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::string_view::npos;
       at = text.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

size_t SpillQueue::Occurrences(std::string_view needle) const {
  size_t count = 0;
  for (const Batch& batch : batches_) count += CountOccurrences(batch.text, needle);
  return count;
}

void SpillQueue::Push(Date date, std::string_view text, bool segmentOpenAfter, std::string_view head) {
  if (text.empty()) return;
  const size_t count = CountLines(text);
  if (!batches_.empty() && batches_.back().date == date) {
    Batch& last = batches_.back();
    last.text.append(text);
    last.lines += count;
    last.segmentOpenAfter = segmentOpenAfter;
  } else {
    batches_.push_back({date, std::string(text), count, segmentOpenAfter, std::string(head)});
  }
  lines_ += count;
  bytes_ += text.size();
  if (lines_ > lineLimit_) DropOldest(lines_ - lineLimit_);
}

void SpillQueue::PopFront() {
  lines_ -= batches_.front().lines;
  bytes_ -= batches_.front().text.size();
  batches_.pop_front();
}

size_t SpillQueue::droppedLines() const {
  size_t total = 0;
  for (const Dropped& d : dropped_) total += d.lines;
  return total;
}

void SpillQueue::DropOldest(size_t count) {
  while (count > 0 && !batches_.empty()) {
    Batch& oldest = batches_.front();
    // Cut after `count` lines, then on to the end of the unit they are in.
    size_t cut = 0;
    for (size_t n = 0; n < count && cut < oldest.text.size(); ++n) {
      const size_t end = oldest.text.find('\n', cut);
      cut = end == std::string::npos ? oldest.text.size() : end + 1;
    }
    if (unitEnd_ != "\n" && cut < oldest.text.size()) {
      const size_t next = oldest.text.find(unitEnd_, cut >= unitEnd_.size() ? cut - unitEnd_.size() : 0);
      cut = next == std::string::npos ? oldest.text.size() : next + unitEnd_.size();
    }
    const size_t lines = CountLines(std::string_view(oldest.text).substr(0, cut));
    if (dropped_.empty() || !(dropped_.back().date == oldest.date)) dropped_.push_back({oldest.date, 0});
    dropped_.back().lines += lines;
    count -= std::min(count, lines);
    lines_ -= lines;
    bytes_ -= cut;
    if (cut >= oldest.text.size()) {
      batches_.pop_front();
    } else {
      oldest.text.erase(0, cut);
      oldest.lines -= lines;
    }
  }
}

}  // namespace pathmere
