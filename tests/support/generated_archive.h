#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "output/ozi_lines.h"
#include "support/day_file_headers.h"
#include "support/writer_bench.h"

namespace pathmere::testing {

// Years of days, written straight as .plt files, whose visits are known:
// every day leaves home (place 0) at 07:00 UTC plus a few minutes, drives
// at 12 m/s from place to place (an order that changes from day to day),
// stands a minute at each, and on a day with `pointsPerDay` points has one
// break of 20 minutes halfway. One point a second, 5 m of sideways wobble.
// Every 40th day also passes kArchiveRarePlace.
struct ArchivePlace {
  double latitude;
  double longitude;
};
inline constexpr ArchivePlace kArchivePlaces[] = {
    {48.13710, 11.57540}, {48.15630, 11.62060}, {48.10430, 11.60170},
    {48.17500, 11.54200}, {48.12010, 11.51300}, {48.19060, 11.61290},
};
inline constexpr int kArchivePlaceCount = static_cast<int>(std::size(kArchivePlaces));
inline constexpr ArchivePlace kArchiveRarePlace = {48.22000, 11.49000};
inline constexpr int kRareEvery = 40;

// Day numbers (days since 1899-12-30) and civil dates.
inline void CivilOfDayNumber(int64_t dayNumber, int* year, int* month, int* day) {
  const int64_t z = dayNumber - 25569 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = static_cast<int>(yoe + era * 400 + (*month <= 2 ? 1 : 0));
}
inline int64_t DayNumberOfCivil(int year, int month, int day) {
  const int y = month <= 2 ? year - 1 : year;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + 25569;
}

// The .plt text of day `index` of the archive, dated `dayNumber` (midnight).
inline std::string GeneratedArchiveDay(int index, int64_t dayNumber, int pointsPerDay) {
  constexpr double kMetresPerDegree = 111195.0;
  constexpr double kSpeed = 12.0;
  int year = 0, month = 0, day = 0;
  CivilOfDayNumber(dayNumber, &year, &month, &day);
  std::string text = TrackHeader(year, month, day);
  text.reserve(text.size() + static_cast<size_t>(pointsPerDay) * 64);
  char line[256];
  double second = 7 * 3600.0 + (index % 47) * 60.0;
  ArchivePlace at = kArchivePlaces[0];
  int leg = 0;
  int written = 0;
  const double cosLat = std::cos(at.latitude * 3.14159265358979323846 / 180.0);
  const auto point = [&](double lat, double lon) {
    const int whole = static_cast<int>(second);
    GpsFix fix = FixAt(day, month, year % 100, whole / 3600, whole / 60 % 60, whole % 60, lat, lon,
                       520.0 + 30.0 * std::sin(written / 300.0));
    text.append(line, ComposeTrackPointLine(fix, static_cast<double>(dayNumber) + whole / 86400.0, line,
                                            sizeof line));
    ++written;
    second += 1.0;
    if (written == pointsPerDay / 2 && pointsPerDay >= 1000) second += 1200.0;
  };
  while (written < pointsPerDay && second < 86399.0) {
    // Every 40th day goes by the rare place once, so some places were passed
    // on few days.
    const ArchivePlace to = index % kRareEvery == kRareEvery - 1 && leg == 1
                                ? kArchiveRarePlace
                                : kArchivePlaces[(index * 5 + leg * (1 + index % 4)) % kArchivePlaceCount];
    ++leg;
    const double north = (to.latitude - at.latitude) * kMetresPerDegree;
    const double east = (to.longitude - at.longitude) * kMetresPerDegree * cosLat;
    const double length = std::hypot(north, east);
    const int steps = static_cast<int>(length / kSpeed);
    for (int s = 1; s <= steps && written < pointsPerDay && second < 86399.0; ++s) {
      const double f = static_cast<double>(s) / steps;
      // Sideways wobble, across the way.
      const double side = 5.0 * std::sin(s * 0.7 + index);
      const double n = f * north + (length > 0 ? -east / length * side : 0.0);
      const double e = f * east + (length > 0 ? north / length * side : 0.0);
      point(at.latitude + n / kMetresPerDegree, at.longitude + e / (kMetresPerDegree * cosLat));
    }
    at = to;
    for (int s = 0; s < 60 && written < pointsPerDay && second < 86399.0; ++s) {
      point(at.latitude + 0.00001 * std::sin(s), at.longitude + 0.00001 * std::cos(s));
    }
  }
  return text;
}

// Writes `days` days from `firstDayNumber` into `dir`, one day file every
// `every` days; returns the bytes written.
inline uint64_t WriteGeneratedArchive(const std::filesystem::path& dir, int64_t firstDayNumber, int days,
                                      int pointsPerDay, int every = 1) {
  std::filesystem::create_directories(dir);
  uint64_t bytes = 0;
  for (int i = 0; i < days; ++i) {
    const int64_t dayNumber = firstDayNumber + static_cast<int64_t>(i) * every;
    int year = 0, month = 0, day = 0;
    CivilOfDayNumber(dayNumber, &year, &month, &day);
    char name[32];
    std::snprintf(name, sizeof name, "%04d-%02d-%02d.plt", year, month, day);
    const std::string text = GeneratedArchiveDay(i, dayNumber, pointsPerDay);
    FILE* f = std::fopen((dir / name).c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    bytes += text.size();
  }
  return bytes;
}

}  // namespace pathmere::testing
