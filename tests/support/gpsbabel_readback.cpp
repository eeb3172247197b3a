#include "support/gpsbabel_readback.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "fix/units.h"
#include "support/child_process.h"
#include "support/test_environment.h"

namespace fs = std::filesystem;

namespace pathmere::testing {
namespace {

// One point as its own line states it.
struct FilePoint {
  double latitude = 0;
  double longitude = 0;
  std::optional<double> altitudeFeet;  // none for -777 and for route points
  std::vector<double> times;           // seconds since 1970, one per time column
  std::string line;
};

// One point as GPSBabel gives it back.
struct ReadBackPoint {
  double latitude = 0;
  double longitude = 0;
  std::optional<double> elevationMetres;
  std::optional<double> time;
};

std::string FindGpsBabel() {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = dir + "/gpsbabel";
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  std::string part;
  while (std::getline(stream, part, separator)) parts.push_back(part);
  return parts;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines = Split(text, '\n');
  for (auto& line : lines) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
  }
  return lines;
}

double Number(const std::string& field) { return std::strtod(field.c_str(), nullptr); }

// Day numbers count from 1899-12-30, as map programs do.
double DayNumberToUnix(double days) { return (days - 25569.0) * 86400.0; }

// "06.12.26" and "02:56:44", UTC, years 2000 on.
double DateTimeColumnsToUnix(const std::string& date, const std::string& time) {
  int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
  std::sscanf(date.c_str(), " %d.%d.%d", &day, &month, &year);
  std::sscanf(time.c_str(), " %d:%d:%d", &hour, &minute, &second);
  std::tm tm{};
  tm.tm_year = 2000 + year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return static_cast<double>(timegm(&tm));
}

std::optional<double> AltitudeColumn(const std::string& field) {
  const double feet = Number(field);
  if (feet == -777.0) return std::nullopt;
  return feet;
}

// Track: six header lines, then "lat, lon,0, alt, days, dd.mm.yy, hh:mm:ss".
std::vector<FilePoint> TrackPoints(const std::vector<std::string>& lines) {
  std::vector<FilePoint> points;
  for (size_t i = 6; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    const auto f = Split(lines[i], ',');
    if (f.size() != 7) {
      ADD_FAILURE() << "track line with " << f.size() << " columns: " << lines[i];
      continue;
    }
    points.push_back({Number(f[0]),
                      Number(f[1]),
                      AltitudeColumn(f[3]),
                      {DayNumberToUnix(Number(f[4])), DateTimeColumnsToUnix(f[5], f[6])},
                      lines[i]});
  }
  return points;
}

// Route: "W,1,  n,  n,NAME,lat,lon,days,..." after the header lines.
std::vector<FilePoint> RoutePoints(const std::vector<std::string>& lines) {
  std::vector<FilePoint> points;
  for (const auto& line : lines) {
    if (!line.starts_with("W,")) continue;
    const auto f = Split(line, ',');
    if (f.size() < 8) {
      ADD_FAILURE() << "route line with " << f.size() << " columns: " << line;
      continue;
    }
    points.push_back({Number(f[5]), Number(f[6]), std::nullopt, {DayNumberToUnix(Number(f[7]))}, line});
  }
  return points;
}

// Waypoints: four header lines, then "-1,NAME,lat,lon,days,...,altitude ".
std::vector<FilePoint> Waypoints(const std::vector<std::string>& lines) {
  std::vector<FilePoint> points;
  for (size_t i = 4; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    const auto f = Split(lines[i], ',');
    if (f.size() != 15) {
      ADD_FAILURE() << "waypoint line with " << f.size() << " columns: " << lines[i];
      continue;
    }
    points.push_back(
        {Number(f[2]), Number(f[3]), AltitudeColumn(f[14]), {DayNumberToUnix(Number(f[4]))}, lines[i]});
  }
  return points;
}

std::string Attribute(const std::string& tag, const std::string& name) {
  const std::string key = name + "=\"";
  const size_t start = tag.find(key);
  if (start == std::string::npos) return {};
  const size_t end = tag.find('"', start + key.size());
  return tag.substr(start + key.size(), end - start - key.size());
}

std::optional<std::string> Element(const std::string& body, const std::string& name) {
  const std::string open = "<" + name + ">";
  const size_t start = body.find(open);
  if (start == std::string::npos) return std::nullopt;
  const size_t end = body.find("</" + name + ">", start);
  return body.substr(start + open.size(), end - start - open.size());
}

// "2004-08-07T03:29:09.145Z"
double GpxTimeToUnix(const std::string& text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  double second = 0;
  std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%lf", &year, &month, &day, &hour, &minute, &second);
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  return static_cast<double>(timegm(&tm)) + second;
}

std::vector<ReadBackPoint> GpxPoints(const std::string& gpx, const std::string& element) {
  std::vector<ReadBackPoint> points;
  const std::string open = "<" + element + " ";
  const std::string close = "</" + element + ">";
  for (size_t at = gpx.find(open); at != std::string::npos; at = gpx.find(open, at + 1)) {
    const size_t tagEnd = gpx.find('>', at);
    const size_t end = gpx.find(close, at);
    const std::string tag = gpx.substr(at, tagEnd - at);
    const std::string body = end == std::string::npos ? std::string() : gpx.substr(tagEnd, end - tagEnd);
    ReadBackPoint point;
    point.latitude = Number(Attribute(tag, "lat"));
    point.longitude = Number(Attribute(tag, "lon"));
    if (const auto ele = Element(body, "ele")) point.elevationMetres = Number(*ele);
    if (const auto time = Element(body, "time")) point.time = GpxTimeToUnix(*time);
    points.push_back(point);
  }
  return points;
}

void ExpectSamePoints(const fs::path& file, const std::vector<FilePoint>& written,
                      const std::vector<ReadBackPoint>& readBack) {
  ASSERT_EQ(readBack.size(), written.size()) << file << ": GPSBabel did not give back every point line";
  for (size_t i = 0; i < written.size(); ++i) {
    const FilePoint& w = written[i];
    const ReadBackPoint& r = readBack[i];
    SCOPED_TRACE(file.filename().string() + ": " + w.line);
    EXPECT_NEAR(r.latitude, w.latitude, 1e-6);
    EXPECT_NEAR(r.longitude, w.longitude, 1e-6);
    if (w.altitudeFeet) {
      ASSERT_TRUE(r.elevationMetres.has_value());
      EXPECT_NEAR(*r.elevationMetres * kFeetPerMetre, *w.altitudeFeet, 0.01);
    } else {
      EXPECT_FALSE(r.elevationMetres.has_value());
    }
    ASSERT_TRUE(r.time.has_value());
    for (const double t : w.times) EXPECT_NEAR(*r.time, t, 1.0);
  }
}

}  // namespace

bool GpsBabelFound() { return !FindGpsBabel().empty(); }

int ExpectGpsBabelReadsBack(const fs::path& folder) {
  const std::string gpsbabel = FindGpsBabel();
  if (gpsbabel.empty()) {
    if (std::getenv("PATHMERE_REQUIRE_GPSBABEL") != nullptr) ADD_FAILURE() << "gpsbabel is not installed";
    return 0;
  }
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string extension = entry.path().extension().string();
    std::vector<FilePoint> (*parse)(const std::vector<std::string>&) = nullptr;
    const char* element = nullptr;
    if (extension == ".plt") {
      parse = TrackPoints;
      element = "trkpt";
    } else if (extension == ".rte") {
      parse = RoutePoints;
      element = "rtept";
    } else if (extension == ".wpt") {
      parse = Waypoints;
      element = "wpt";
    } else {
      continue;
    }
    const auto written = parse(Lines(ReadWholeFile(entry.path())));
    const auto result =
        RunCommand({gpsbabel, "-i", "ozi", "-f", entry.path().string(), "-o", "gpx", "-F", "-"}, {"TZ=UTC"});
    EXPECT_EQ(result.exitStatus, 0) << entry.path() << "\n" << result.err;
    ExpectSamePoints(entry.path(), written, GpxPoints(result.out, element));
    ++checked;
  }
  return checked;
}

}  // namespace pathmere::testing
