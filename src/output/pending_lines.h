#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pathmere {

// Lines waiting for their day's file, in an area of fixed capacity that the
// owner supplies (and may attach only when it first needs it). The text is
// always NUL-terminated, so the capacity counts the terminator.
class PendingLines {
 public:
  void Attach(char* area, size_t capacity) {
    area_ = area;
    capacity_ = capacity;
    Clear();
  }
  bool HasArea() const { return area_ != nullptr; }

  // Adds the line that `compose(buffer, capacity)` writes into the rest of
  // the area. The composer returns the line's length, or 0 for a line that
  // did not fit, which is then left out whole. True when added.
  template <typename Compose>
  bool Add(Compose&& compose) {
    if (area_ == nullptr) return false;
    const size_t length = compose(area_ + fill_, capacity_ - fill_);
    if (length == 0) {
      area_[fill_] = '\0';
      return false;
    }
    fill_ += length;
    return true;
  }
  void Clear() {
    fill_ = 0;
    if (area_ != nullptr) area_[0] = '\0';
  }

  int32_t fill() const { return static_cast<int32_t>(fill_); }
  size_t capacity() const { return capacity_; }
  std::string_view View() const { return {area_ != nullptr ? area_ : "", fill_}; }
  // The text, NUL-terminated (empty before an area exists).
  const char* text() const { return area_ != nullptr ? area_ : ""; }

 private:
  char* area_ = nullptr;
  size_t capacity_ = 0;
  size_t fill_ = 0;
};

}  // namespace pathmere
