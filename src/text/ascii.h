#pragma once

namespace pathmere {

// Character classes of the "C" locale, without a locale lookup per byte:
// sentences, settings files and route files are ASCII whatever the user's
// locale says.

// isspace: blank, tab, line feed, vertical tab, form feed, carriage return.
inline bool IsCSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The value of a hexadecimal digit of either case, -1 for any other byte.
inline int HexDigitValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace pathmere
