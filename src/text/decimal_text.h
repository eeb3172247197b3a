#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace pathmere {

// Composes text into a fixed buffer the way snprintf would, for the few
// conversions the status text and the file lines use ("%d" with a width,
// "%.Nf" with a width), without snprintf's cost per call. The result is
// byte for byte what the C library prints; what does not fit is cut, and
// the buffer always ends with a NUL.
class DecimalText {
 public:
  // `capacity` counts the terminator and must be at least 1.
  DecimalText(char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) { buffer_[0] = '\0'; }

  void Append(std::string_view text) {
    if (text.empty()) return;  // its data() may be null, which memcpy must not get
    if (text.size() < capacity_ - length_) {
      std::memcpy(buffer_ + length_, text.data(), text.size());
      length_ += text.size();
      buffer_[length_] = '\0';
    } else {
      AppendCut(text);
    }
  }
  // "%0<width>d" when `zeroPad`, else "%<width>d".
  void AppendInt(int64_t value, int width = 0, bool zeroPad = false);
  // "%<width>.<decimals>f", decimals 0 to 9.
  void AppendFixed(double value, int decimals, int width = 0);
  // "%02d<separator>%02d<separator>%02d": a date as dd.mm.yy, a time as hh:mm:ss.
  void AppendTwoDigitFields(int64_t first, int64_t second, int64_t third, char separator) {
    const char between[] = {separator, '\0'};
    AppendInt(first, 2, true);
    Append(between);
    AppendInt(second, 2, true);
    Append(between);
    AppendInt(third, 2, true);
  }

  std::string_view View() const { return {buffer_, length_}; }
  size_t size() const { return length_; }
  // True once some text was cut.
  bool cut() const { return cut_; }

 private:
  void AppendCut(std::string_view text);
  void Pad(char c, int count);

  char* buffer_;
  size_t capacity_;
  size_t length_ = 0;
  bool cut_ = false;
};

}  // namespace pathmere
