#include "fix/nmea_checksum.h"

#include <cstdint>

#include "text/ascii.h"

namespace pathmere {
//   $GPRMC,...,A*6A
//   ^ not in the XOR; bytes between "$" and "*" are; "6A" is read like "%x"
//   (white space first is allowed, any number of hex digits).
int VerifyChecksum(const char* sentence) {
  const auto* p = reinterpret_cast<const unsigned char*>(sentence);
  if (*p != '$') return 1;
  ++p;
  unsigned sum = 0;
  while (*p != '*') {
    if (*p == '\0') return 2;
    sum ^= *p++;
  }
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
