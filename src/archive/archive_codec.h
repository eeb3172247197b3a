#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pathmere {

// The archive's compact numbers: a track point as whole units (degrees and
// day numbers to the 8 decimals the .plt lines carry, altitude in
// hundredths of a foot), stored as zigzag varints of the difference to what
// the two points before predict, so a point of a drive at one a second takes
// about 6 bytes instead of the 60 of its line.

struct ArchivePoint {
  int64_t latitude = 0;   // 1e-8 degree
  int64_t longitude = 0;  // 1e-8 degree
  int64_t time = 0;       // 1e-8 day since 1899-12-30, UTC
  bool hasAltitude = false;
  int64_t altitude = 0;  // 1e-2 foot

  bool operator==(const ArchivePoint&) const = default;
};

inline constexpr double kArchiveUnitsPerDegree = 1e8;
inline constexpr double kArchiveUnitsPerDay = 1e8;

ArchivePoint ArchivePointOf(double latitude, double longitude, double dayNumber, bool hasAltitude,
                            double altitudeFeet);
inline double LatitudeOf(const ArchivePoint& p) {
  return static_cast<double>(p.latitude) / kArchiveUnitsPerDegree;
}
inline double LongitudeOf(const ArchivePoint& p) {
  return static_cast<double>(p.longitude) / kArchiveUnitsPerDegree;
}
inline double DayNumberOf(const ArchivePoint& p) { return static_cast<double>(p.time) / kArchiveUnitsPerDay; }
// Seconds since 1970-01-01 UTC, to the nearest second.
int64_t UnixSecondsOf(double dayNumber);

// Appends varints to a string through a buffer on the stack, rather than
// growing the string a byte at a time; Flush() before the string is used.
class VarintWriter {
 public:
  explicit VarintWriter(std::string* out) : out_(out) {}
  void Put(uint64_t value) {
    if (at_ + kMaxBytes > buffer_ + sizeof buffer_) Flush();
    while (value >= 0x80) {
      *at_++ = static_cast<char>((value & 0x7F) | 0x80);
      value >>= 7;
    }
    *at_++ = static_cast<char>(value);
  }
  // Zigzag: small magnitudes of either sign take few bytes.
  void PutSigned(int64_t value) {
    Put((static_cast<uint64_t>(value) << 1) ^ static_cast<uint64_t>(value >> 63));
  }
  void Flush() {
    out_->append(buffer_, static_cast<size_t>(at_ - buffer_));
    at_ = buffer_;
  }

 private:
  static constexpr size_t kMaxBytes = 10;
  std::string* out_;
  char buffer_[1024];
  char* at_ = buffer_;
};
// Reads one varint at `*at`; false at the end or on a cut one.
bool ReadVarint(std::string_view in, size_t* at, uint64_t* value);
inline bool ReadSigned(std::string_view in, size_t* at, int64_t* value) {
  uint64_t raw = 0;
  if (!ReadVarint(in, at, &raw)) return false;
  *value = static_cast<int64_t>(raw >> 1) ^ -static_cast<int64_t>(raw & 1);
  return true;
}

// A run of points, each against the two before (the first against zero).
std::string EncodePoints(const ArchivePoint* points, size_t count);
// False when the blob is damaged.
bool DecodePoints(std::string_view blob, std::vector<ArchivePoint>* out);

}  // namespace pathmere
