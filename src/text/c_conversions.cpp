#include "text/c_conversions.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "text/ascii.h"

namespace pathmere {
namespace {

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

namespace {

constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The plain decimals receivers send ("4807.038", "-0.5", "022.4"): with at
// most 2^53 as digits and at most 22 decimals, one division of two exact
// doubles is the correctly rounded value, the very one strtod returns. False
// for anything else (exponents, hexadecimal, "inf", long digit strings, no
// digits at all), which strtod then reads.
bool ScanPlainDecimal(const unsigned char* p, double* value) {
  while (IsCSpace(*p)) ++p;
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) return false;
  constexpr uint64_t kExactLimit = uint64_t{1} << 53;
  uint64_t digits = 0;
  int decimals = 0;
  bool anyDigit = false;
  for (; IsDigit(*p); ++p) {
    digits = digits * 10 + (*p - '0');
    anyDigit = true;
    if (digits > kExactLimit) return false;
  }
  if (*p == '.') {
    for (++p; IsDigit(*p); ++p) {
      digits = digits * 10 + (*p - '0');
      anyDigit = true;
      if (digits > kExactLimit || ++decimals > 22) return false;
    }
  }
  if (!anyDigit || *p == 'e' || *p == 'E') return false;
  const double magnitude = static_cast<double>(digits) / kExactPowersOfTen[decimals];
  *value = negative ? -magnitude : magnitude;
  return true;
}

}  // namespace

double ScanDouble(const char* text) {
  double fast;
  if (ScanPlainDecimal(reinterpret_cast<const unsigned char*>(text), &fast)) return fast;
  // atof leaves errno to strtod as well; keep the caller's value instead.
  const int savedErrno = errno;
  const double value = std::strtod(text, nullptr);
  errno = savedErrno;
  return value;
}

int32_t ScanInt(std::string_view text) {
  size_t position = 0;
  while (position < text.size() && IsCSpace(static_cast<unsigned char>(text[position]))) ++position;
  bool negative = false;
  if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
    negative = text[position] == '-';
    ++position;
  }
  // One past the int32 range is enough to saturate either way.
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t value = 0;
  while (position < text.size() && IsDigit(static_cast<unsigned char>(text[position]))) {
    value = value * 10 + (text[position] - '0');
    if (value > kLimit) value = kLimit;
    ++position;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

int32_t ScanInt(const char* text) { return ScanInt(std::string_view(text)); }

const char* SkipField(const char* from) {
  for (const auto* p = reinterpret_cast<const unsigned char*>(from);; ++p) {
    if (*p == ',') return reinterpret_cast<const char*>(p + 1);
    // Control bytes, the terminator and 8-bit bytes mean line noise.
    if (*p < 0x20 || *p >= 0x80) return nullptr;
  }
}

}  // namespace pathmere
