#include "fix/nmea_checksum.h"

#include <cstdint>
#include <cstring>

#include "text/ascii.h"

namespace pathmere {
//   $GPRMC,...,A*6A
//   ^ not in the XOR; bytes between "$" and "*" are; "6A" is read like "%x"
//   (white space first is allowed, any number of hex digits).
int VerifyChecksum(const char* sentence) {
  const auto* p = reinterpret_cast<const unsigned char*>(sentence);
  if (*p != '$') return 1;
  ++p;
  // strchr stops at the terminator too, and is far quicker than a byte loop.
  const auto* star =
      reinterpret_cast<const unsigned char*>(std::strchr(reinterpret_cast<const char*>(p), '*'));
  if (star == nullptr) return 2;
  // Eight bytes XORed at a time, then folded into one.
  uint64_t wide = 0;
  for (; star - p >= 8; p += 8) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    wide ^= word;
  }
  wide ^= wide >> 32;
  wide ^= wide >> 16;
  wide ^= wide >> 8;
  unsigned sum = static_cast<unsigned>(wide & 0xFF);
  while (p < star) sum ^= *p++;
  const unsigned char* field = ++p;
  while (IsCSpace(*p)) ++p;
  // Saturates far above 255: a value that large never matches anyway.
  uint64_t value = 0;
  int digits = 0;
  for (int d; (d = HexDigitValue(*p)) >= 0; ++p, ++digits) {
    if (value < 0x100000000ULL) value = value * 16 + static_cast<uint64_t>(d);
  }
  if (digits == 0 || (value == 0 && *field != '0')) return 3;
  return value == sum ? 0 : 4;
}

}  // namespace pathmere
