#include "text/decimal_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace pathmere {
namespace {

// gcc and clang on every target we build for have it; ISO C++ does not.
__extension__ typedef unsigned __int128 Wide;

constexpr uint64_t kPowersOfTen[] = {1,      10,      100,      1000,      10000,
                                     100000, 1000000, 10000000, 100000000, 1000000000};

// "00" to "99": two digits per division halves the work of every number.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

char* PairBefore(char* end, uint64_t pair) {
  end -= 2;
  std::memcpy(end, kDigitPairs + 2 * pair, 2);
  return end;
}

// Decimal digits of `value`, written backwards from `end`; returns the start.
char* DigitsBefore(char* end, uint64_t value) {
  while (value >= 100) {
    end = PairBefore(end, value % 100);
    value /= 100;
  }
  if (value >= 10) return PairBefore(end, value);
  *--end = static_cast<char>('0' + value);
  return end;
}

// Exactly `count` digits of `value` (below 10^count), zeros first.
char* FixedDigitsBefore(char* end, uint64_t value, int count) {
  for (; count >= 2; count -= 2) {
    end = PairBefore(end, value % 100);
    value /= 100;
  }
  if (count == 1) *--end = static_cast<char>('0' + value % 10);
  return end;
}

// |value| x 10^decimals rounded to the nearest integer, ties to even: the
// exact rounding glibc applies to the exact binary value. False when the
// value is not finite or too large for 64-bit digits; the caller then asks
// snprintf.
bool ScaleExactly(double value, int decimals, Wide* scaled) {
  if (!std::isfinite(value) || std::fabs(value) >= 9007199254740992.0) return false;
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
  int exponent;
  if (biased == 0) {
    exponent = -1074;  // subnormal
  } else {
    mantissa |= uint64_t{1} << 52;
    exponent = biased - 1075;
  }
  // |value| = mantissa x 2^exponent, below 2^53.
  const Wide product = static_cast<Wide>(mantissa) * kPowersOfTen[decimals];
  if (exponent >= 0) {
    *scaled = product << exponent;
    return true;
  }
  const int shift = -exponent;
  if (shift >= 127) {
    *scaled = 0;  // far below half a unit of the last place
    return true;
  }
  Wide quotient = product >> shift;
  const Wide remainder = product - (quotient << shift);
  const Wide half = static_cast<Wide>(1) << (shift - 1);
  if (remainder > half || (remainder == half && (quotient & 1) != 0)) ++quotient;
  *scaled = quotient;
  return true;
}

}  // namespace

void DecimalText::AppendCut(std::string_view text) {
  const size_t room = capacity_ - 1 - length_;
  const size_t n = text.size() < room ? text.size() : room;
  if (n < text.size()) cut_ = true;
  if (n == 0) return;
  std::memcpy(buffer_ + length_, text.data(), n);
  length_ += n;
  buffer_[length_] = '\0';
}

void DecimalText::Pad(char c, int count) {
  if (count <= 0) return;
  char fill[64];
  while (count > 0) {
    const int n = count < static_cast<int>(sizeof fill) ? count : static_cast<int>(sizeof fill);
    std::memset(fill, c, static_cast<size_t>(n));
    Append(std::string_view(fill, static_cast<size_t>(n)));
    count -= n;
  }
}

void DecimalText::AppendInt(int64_t value, int width, bool zeroPad) {
  if (value >= 0 && value < 100 && width == 2) {
    // Dates and times: the one case that runs many times per fix.
    const char pair[2] = {value < 10 ? (zeroPad ? '0' : ' ') : static_cast<char>('0' + value / 10),
                          static_cast<char>('0' + value % 10)};
    Append(std::string_view(pair, 2));
    return;
  }
  char digits[24];
  char* const end = digits + sizeof digits;
  const bool negative = value < 0;
  // Negated in unsigned arithmetic, so the most negative value works too.
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char* start = DigitsBefore(end, magnitude);
  const int length = static_cast<int>(end - start) + (negative ? 1 : 0);
  if (zeroPad) {
    if (negative) Append("-");
    Pad('0', width - length);
  } else {
    Pad(' ', width - length);
    if (negative) Append("-");
  }
  Append(std::string_view(start, static_cast<size_t>(end - start)));
}

void DecimalText::AppendFixed(double value, int decimals, int width) {
  if (decimals < 0) decimals = 0;
  if (decimals > 9) decimals = 9;
  Wide scaled;
  if (!ScaleExactly(value, decimals, &scaled)) {
    // Infinities, NaN and huge values: rare enough for the C library. 330
    // characters hold every finite double with nine decimals.
    char text[400];
    const int n = std::snprintf(text, sizeof text, "%*.*f", width, decimals, value);
    if (n > 0)
      Append(std::string_view(
          text, static_cast<size_t>(n) < sizeof text ? static_cast<size_t>(n) : sizeof text - 1));
    return;
  }
  // Below 2^53 x 10^9 + 1, so the whole part fits 64 bits.
  const uint64_t unit = kPowersOfTen[decimals];
  uint64_t whole, fraction;
  if (scaled >> 64 == 0) {
    // The usual case, without a 128-bit division.
    whole = static_cast<uint64_t>(scaled) / unit;
    fraction = static_cast<uint64_t>(scaled) % unit;
  } else {
    whole = static_cast<uint64_t>(scaled / unit);
    fraction = static_cast<uint64_t>(scaled % unit);
  }
  char text[48];
  char* const end = text + sizeof text;
  char* start = end;
  if (decimals > 0) {
    start = FixedDigitsBefore(start, fraction, decimals);
    *--start = '.';
  }
  start = DigitsBefore(start, whole);
  // The C library keeps the sign of negative zero and of values that round
  // to zero ("-0.0").
  if (std::signbit(value)) *--start = '-';
  Pad(' ', width - static_cast<int>(end - start));
  Append(std::string_view(start, static_cast<size_t>(end - start)));
}

}  // namespace pathmere
