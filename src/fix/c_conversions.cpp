#include "fix/c_conversions.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

namespace pathmere {
namespace {

bool IsCSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

}  // namespace

int32_t ScanFixedWidthInt(const char* text, int width) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  // Leading white space does not count against the width; the sign does.
  while (IsCSpace(*p)) ++p;
  int used = 0;
  bool negative = false;
  if (used < width && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
    ++used;
  }
  constexpr int64_t kLimit = std::numeric_limits<int32_t>::max();
  int64_t value = 0;
  bool anyDigit = false;
  while (used < width && IsDigit(*p)) {
    if (value <= kLimit) value = value * 10 + (*p - '0');
    anyDigit = true;
    ++p;
    ++used;
  }
  if (!anyDigit) return 0;
  if (value > kLimit) value = kLimit;
  return static_cast<int32_t>(negative ? -value : value);
}

double ScanDouble(const char* text) {
  // atof leaves errno to strtod as well; keep the caller's value instead.
  const int savedErrno = errno;
  const double value = std::strtod(text, nullptr);
  errno = savedErrno;
  return value;
}

int32_t ScanInt(const char* text) {
  const int savedErrno = errno;
  const long value = std::strtol(text, nullptr, 10);
  errno = savedErrno;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

const char* SkipField(const char* from) {
  for (const auto* p = reinterpret_cast<const unsigned char*>(from);; ++p) {
    if (*p == ',') return reinterpret_cast<const char*>(p + 1);
    // Control bytes, the terminator and 8-bit bytes mean line noise.
    if (*p < 0x20 || *p >= 0x80) return nullptr;
  }
}

}  // namespace pathmere
