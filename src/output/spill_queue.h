#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace pathmere {

// The lines a writer could not write when its fixed area had to be emptied
// (a full area, a day change), kept in memory behind the area until a write
// works again. Each batch keeps the local date of the file it belongs to, so
// lines taken before midnight still go to the old day's file.
class SpillQueue {
 public:
  // 24 hours of sentences at 10 a second; of track points at 1 Hz it holds
  // ten days. Beyond it the oldest lines are dropped, and counted.
  static constexpr size_t kLineLimit = 864'000;

  struct Date {
    int32_t day = 0;
    int32_t month = 0;
    int32_t year = 0;  // two-digit
    bool operator==(const Date&) const = default;
  };
  struct Batch {
    Date date;
    std::string text;  // whole lines
    size_t lines = 0;
    // Free for the owner: the GPX writer keeps whether a segment is open
    // after the batch's lines, and the head of a file the batch makes.
    bool segmentOpenAfter = false;
    std::string head;
  };
  // Lines dropped beyond the limit, per file date.
  struct Dropped {
    Date date;
    size_t lines = 0;
  };

  // `unitEnd` ends the smallest piece that may be dropped alone: a line, or
  // for the GPX writer a whole point.
  explicit SpillQueue(size_t lineLimit = kLineLimit, std::string_view unitEnd = "\n")
      : lineLimit_(lineLimit), unitEnd_(unitEnd) {}

  // Keeps `text` (whole lines) for the file of `date`, behind what is
  // already kept; joins the last batch when it is the same date's.
  void Push(Date date, std::string_view text, bool segmentOpenAfter = false, std::string_view head = {});
  bool empty() const { return batches_.empty(); }
  const Batch& front() const { return batches_.front(); }
  void PopFront();
  size_t lines() const { return lines_; }
  size_t bytes() const { return bytes_; }
  const std::vector<Dropped>& dropped() const { return dropped_; }
  size_t droppedLines() const;
  // How often `needle` occurs in the kept text (the GPX writer's points).
  size_t Occurrences(std::string_view needle) const;

 private:
  void DropOldest(size_t count);

  size_t lineLimit_;
  std::string_view unitEnd_;
  std::deque<Batch> batches_;
  size_t lines_ = 0;
  size_t bytes_ = 0;
  std::vector<Dropped> dropped_;
};

// "\n"-ended lines in `text`.
size_t CountLines(std::string_view text);
size_t CountOccurrences(std::string_view text, std::string_view needle);

}  // namespace pathmere
