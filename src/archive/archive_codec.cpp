#include "archive/archive_codec.h"

#include <algorithm>
#include <cmath>

namespace pathmere {

ArchivePoint ArchivePointOf(double latitude, double longitude, double dayNumber, bool hasAltitude,
                            double altitudeFeet) {
  ArchivePoint p;
  p.latitude = std::llround(latitude * kArchiveUnitsPerDegree);
  p.longitude = std::llround(longitude * kArchiveUnitsPerDegree);
  p.time = std::llround(dayNumber * kArchiveUnitsPerDay);
  p.hasAltitude = hasAltitude;
  // Held within what any receiver could report, so no difference of two
  // altitudes overflows.
  p.altitude = hasAltitude ? std::llround(std::clamp(altitudeFeet, -1.0e8, 1.0e8) * 100.0) : 0;
  return p;
}

int64_t UnixSecondsOf(double dayNumber) { return std::llround((dayNumber - 25569.0) * 86400.0); }

bool ReadVarint(std::string_view in, size_t* at, uint64_t* value) {
  uint64_t result = 0;
  for (int shift = 0; shift < 64 && *at < in.size(); shift += 7) {
    const auto byte = static_cast<uint8_t>(in[(*at)++]);
    result |= static_cast<uint64_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) {
      *value = result;
      return true;
    }
  }
  return false;
}

// Each number against its prediction from the two points before (the
// same step again), so a steady drive or a steady second costs a byte or two.
std::string EncodePoints(const ArchivePoint* points, size_t count) {
  std::string out;
  out.reserve(count * 7);
  VarintWriter writer(&out);
  ArchivePoint before, step;
  int64_t altitudeBefore = 0;
  for (size_t i = 0; i < count; ++i) {
    const ArchivePoint& p = points[i];
    writer.PutSigned(p.latitude - before.latitude - step.latitude);
    writer.PutSigned(p.longitude - before.longitude - step.longitude);
    writer.PutSigned(p.time - before.time - step.time);
    // 0: no altitude; else 1 + the zigzag of the change since the last one.
    if (p.hasAltitude) {
      const int64_t change = p.altitude - altitudeBefore;
      writer.Put(((static_cast<uint64_t>(change) << 1) ^ static_cast<uint64_t>(change >> 63)) + 1);
      altitudeBefore = p.altitude;
    } else {
      writer.Put(0);
    }
    step.latitude = p.latitude - before.latitude;
    step.longitude = p.longitude - before.longitude;
    step.time = p.time - before.time;
    before = p;
  }
  writer.Flush();
  return out;
}

bool DecodePoints(std::string_view blob, std::vector<ArchivePoint>* out) {
  size_t at = 0;
  ArchivePoint p, step;
  int64_t altitudeBefore = 0;
  while (at < blob.size()) {
    int64_t dLat = 0, dLon = 0, dTime = 0;
    uint64_t altitude = 0;
    if (!ReadSigned(blob, &at, &dLat) || !ReadSigned(blob, &at, &dLon) || !ReadSigned(blob, &at, &dTime) ||
        !ReadVarint(blob, &at, &altitude)) {
      return false;
    }
    step.latitude += dLat;
    step.longitude += dLon;
    step.time += dTime;
    p.latitude += step.latitude;
    p.longitude += step.longitude;
    p.time += step.time;
    p.hasAltitude = altitude != 0;
    if (p.hasAltitude) {
      const uint64_t raw = altitude - 1;
      altitudeBefore += static_cast<int64_t>(raw >> 1) ^ -static_cast<int64_t>(raw & 1);
      p.altitude = altitudeBefore;
    } else {
      p.altitude = 0;
    }
    out->push_back(p);
  }
  return true;
}

}  // namespace pathmere
