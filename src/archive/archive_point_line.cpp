#include "archive/archive_point_line.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "output/ozi_line_reader.h"

namespace pathmere {
namespace {

constexpr uint64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// The eight bytes at `p` when all are digits, as one number, in a few
// multiplications instead of a step for each digit: the eight decimals the
// writers give a position and a day number.
[[gnu::always_inline]] inline bool EightDigits(const char* p, uint64_t* value) {
  if constexpr (std::endian::native != std::endian::little) return false;
  uint64_t chunk = 0;
  std::memcpy(&chunk, p, sizeof chunk);
  // A digit's high half is 3, and adding 6 to it leaves that so.
  constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0;
  constexpr uint64_t kThrees = 0x3030303030303030;
  if ((chunk & kHigh) != kThrees || ((chunk + 0x0606060606060606) & kHigh) != kThrees) return false;
  chunk -= kThrees;  // the first digit, the most significant, in the lowest byte
  chunk = (chunk * 10 + (chunk >> 8)) & 0x00FF00FF00FF00FF;
  chunk = (chunk * 100 + (chunk >> 16)) & 0x0000FFFF0000FFFF;
  *value = (chunk * 10000 + (chunk >> 32)) & 0xFFFFFFFF;
  return true;
}

// A field that is blanks, an optional minus, digits, and optionally a point
// and digits, up to its comma, as a whole number of 10^-`decimals` units;
// past the comma, or null for anything else (more decimals, too many
// digits, another spelling), which the slow way then reads. With at most
// `decimals` decimals the units are exact, and so is what rounding the
// parsed double to them gives. The text at `p` must hold an LF further on:
// every loop stops there, so none needs to know where the text ends; `end`
// only says whether eight bytes can be read at once.
// Inlined, so that each field's own decimals and digits are constants.
[[gnu::always_inline]] inline const char* PlainUnits(const char* p, const char* end, int decimals,
                                                     int maxWholeDigits, int64_t* units) {
  while (*p == ' ') ++p;
  const bool negative = *p == '-';
  p += negative ? 1 : 0;
  // Unsigned, so that a run of digits too long to keep wraps harmlessly
  // before its length turns it down.
  uint64_t value = 0;
  const char* digits = p;
  while (IsDigit(*p)) value = value * 10 + static_cast<uint64_t>(*p++ - '0');
  const ptrdiff_t whole = p - digits;
  if (whole == 0 || whole > maxWholeDigits) return nullptr;
  ptrdiff_t fraction = 0;
  if (*p == '.') {
    digits = ++p;
    uint64_t eight = 0;
    if (decimals == 8 && end - p >= 8 && EightDigits(p, &eight)) {
      value = value * 100000000 + eight;
      p += 8;
    }
    while (IsDigit(*p)) value = value * 10 + static_cast<uint64_t>(*p++ - '0');
    fraction = p - digits;
    if (fraction == 0 || fraction > decimals) return nullptr;
  }
  while (*p == ' ') ++p;
  if (*p != ',') return nullptr;
  const auto magnitude = static_cast<int64_t>(value * kPowersOfTen[decimals - fraction]);
  *units = negative ? -magnitude : magnitude;
  return p + 1;
}

// Past the comma that ends a field of any text; null at the line's end.
const char* SkipField(const char* p) {
  while (*p != ',') {
    if (*p == '\n') return nullptr;
    ++p;
  }
  return p + 1;
}

// The bytes of `word` equal to `c`, as the high bit of each.
uint64_t BytesEqual(uint64_t word, char c) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
  const uint64_t x = word ^ (0x0101010101010101 * static_cast<unsigned char>(c));
  return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// How many bytes BytesEqual found: their bits summed in the top byte (a
// multiplication, where popcount may be a call).
int CountOf(uint64_t matches) { return static_cast<int>(((matches >> 7) * 0x0101010101010101) >> 56); }

// The LF that ends the line at `p` when the line's rest is two fields (the
// date and the time, of any text), or null. A CR before the LF is part of
// the last, as it is of the line the slow way trims. Eight bytes at a time
// while `end` allows, then byte by byte.
const char* LastTwoFields(const char* p, const char* end) {
  int commas = 0;
  if constexpr (std::endian::native == std::endian::little) {
    while (end - p >= 8) {
      uint64_t word = 0;
      std::memcpy(&word, p, sizeof word);
      const uint64_t lf = BytesEqual(word, '\n');
      uint64_t comma = BytesEqual(word, ',');
      if (lf != 0) {
        comma &= (lf & (~lf + 1)) - 1;  // those before the first LF
        commas += CountOf(comma);
        return commas == 1 ? p + std::countr_zero(lf) / 8 : nullptr;
      }
      commas += CountOf(comma);
      if (commas > 1) return nullptr;
      p += 8;
    }
  }
  for (; *p != '\n'; ++p) commas += *p == ',' ? 1 : 0;
  return commas == 1 ? p : nullptr;
}

// The line at `p` when it is seven fields of which the position, altitude
// and day number are plain decimals: its LF, or null (the slow way then
// decides). As PlainUnits, the text must hold an LF further on.
const char* FastPoint(const char* p, const char* end, ArchivePoint* out) {
  constexpr int64_t kDegree = 100000000;
  ArchivePoint point;
  int64_t altitude = 0;
  if ((p = PlainUnits(p, end, 8, 3, &point.latitude)) == nullptr) return nullptr;
  if ((p = PlainUnits(p, end, 8, 3, &point.longitude)) == nullptr) return nullptr;
  if ((p = SkipField(p)) == nullptr) return nullptr;
  if ((p = PlainUnits(p, end, 2, 12, &altitude)) == nullptr) return nullptr;
  if ((p = PlainUnits(p, end, 8, 6, &point.time)) == nullptr) return nullptr;
  if ((p = LastTwoFields(p, end)) == nullptr) return nullptr;
  if (point.latitude > 90 * kDegree || point.latitude < -90 * kDegree || point.longitude > 180 * kDegree ||
      point.longitude < -180 * kDegree || point.time < kDegree || point.time > 110000 * kDegree) {
    return nullptr;
  }
  // Feet in hundredths, held as ArchivePointOf holds them; -777 is "unknown".
  constexpr int64_t kHeld = 10000000000;
  point.hasAltitude = altitude != -77700;
  point.altitude = !point.hasAltitude ? 0 : altitude > kHeld ? kHeld : altitude < -kHeld ? -kHeld : altitude;
  *out = point;
  return p;
}

bool SlowPoint(std::string_view line, ArchivePoint* out) {
  TrackLine parsed;
  if (!ParseTrackPointLine(line, &parsed)) return false;
  *out = ArchivePointOf(parsed.latitude, parsed.longitude, parsed.dayNumber, parsed.hasAltitude,
                        parsed.altitudeFeet);
  return true;
}

}  // namespace

bool ParseArchivePointLine(std::string_view line, ArchivePoint* out) {
  // A copy with the LF FastPoint needs; the lines the writers make are far
  // shorter, and a longer one goes the slow way.
  char text[160];
  if (line.size() < sizeof text) {
    std::memcpy(text, line.data(), line.size());
    text[line.size()] = '\n';
    ArchivePoint point;
    const char* end = FastPoint(text, text + line.size() + 1, &point);
    // Taken only when what follows its LF is the line's end, which the slow
    // way trims.
    if (end != nullptr) {
      while (end < text + line.size() && (*end == '\n' || *end == '\r')) ++end;
      if (end == text + line.size()) {
        *out = point;
        return true;
      }
    }
  }
  return SlowPoint(line, out);
}

size_t ParseArchivePoints(std::string_view text, std::vector<ArchivePoint>* points) {
  const size_t whole = text.rfind('\n') + 1;  // 0 when there is no LF
  const char* p = text.data();
  const char* const stop = p + whole;
  while (p < stop) {
    ArchivePoint point;
    const char* end = FastPoint(p, stop, &point);
    if (end == nullptr) {
      end = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(stop - p)));
      if (!SlowPoint(std::string_view(p, static_cast<size_t>(end - p)), &point)) {
        p = end + 1;
        continue;
      }
    }
    points->push_back(point);
    p = end + 1;
  }
  return whole;
}

}  // namespace pathmere
