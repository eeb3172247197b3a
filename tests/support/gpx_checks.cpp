#include "support/gpx_checks.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "fix/fix_time.h"
#include "fix/units.h"
#include "output/gpx_lines.h"
#include "output/gpx_mend.h"
#include "output/ozi_line_reader.h"
#include "support/child_process.h"
#include "support/test_environment.h"

namespace pathmere::testing {
namespace {

namespace fs = std::filesystem;

int Count(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

struct GpxPoint {
  double latitude;
  double longitude;
  bool hasAltitude;
  double altitude;
  double dayNumber;
};

std::vector<GpxPoint> TrackPointsOf(const std::string& document) {
  static const std::regex kPoint(
      R"re(<trkpt lat="(-?\d+\.\d{9})" lon="(-?\d+\.\d{9})">(?:<ele>(-?\d+(?:\.\d{1,3})?)</ele>)?)re"
      R"re(<time>(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d(?:\.\d{1,3})?)Z</time>)re");
  std::vector<GpxPoint> points;
  for (auto it = std::sregex_iterator(document.begin(), document.end(), kPoint); it != std::sregex_iterator();
       ++it) {
    const std::smatch& m = *it;
    GpxPoint point{std::stod(m[1]), std::stod(m[2]), m[3].matched, m[3].matched ? std::stod(m[3]) : 0.0, 0.0};
    point.dayNumber = FixTimeToDays(std::stoi(m[6]), std::stoi(m[5]), std::stoi(m[4]), std::stoi(m[7]),
                                    std::stoi(m[8]), 0) +
                      std::stod(m[9]) / 86400.0;
    points.push_back(point);
  }
  return points;
}

// A program by its name on the PATH, as a shell finds it.
std::string Program(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = dir + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return name;
}

CommandResult Run(std::vector<std::string> argv) {
  argv[0] = Program(argv[0]);
  return RunCommand(argv);
}

int ReaderCount(const std::vector<std::string>& argv, const std::string& what) {
  const auto result = Run(argv);
  EXPECT_EQ(result.exitStatus, 0) << argv[0] << ": " << result.err;
  return Count(result.out, what);
}

}  // namespace

std::string CheckKilledGpx(const std::string& gpx, const std::string& plt) {
  const GpxShape shape = InspectGpx(gpx);
  if (!shape.own) return "the GPX file cannot be mended";
  const std::vector<GpxPoint> points =
      TrackPointsOf(gpx.substr(0, shape.keep) + std::string(GpxMendingTail(shape)));
  size_t at = 0;
  std::istringstream lines(plt);
  int number = 0;
  for (std::string line; std::getline(lines, line);) {
    TrackLine parsed;
    // A last line without its end may be cut anywhere.
    if (++number <= 6 || lines.eof() || !ParseTrackPointLine(line, &parsed)) continue;
    while (at < points.size() && std::fabs(points[at].dayNumber - parsed.dayNumber) > 2e-8) ++at;
    if (at == points.size()) return "the GPX file lacks the .plt's point on line " + std::to_string(number);
    ++at;
  }
  return "";
}

fs::path GpxSchema() {
  const char* given = std::getenv("PATHMERE_GPX_SCHEMA");
  if (given != nullptr && given[0] != '\0') return fs::exists(given) ? fs::path(given) : fs::path();
  const char* home = std::getenv("HOME");
  const fs::path cached =
      fs::path(home != nullptr ? home : "") / ".cache/pathmere-tests/Topografix_gpx11.xsd";
  return fs::exists(cached) ? cached : fs::path();
}

int GpxTrackPoints(const std::string& document) { return Count(document, "<trkpt "); }

bool GpxIsValid(const fs::path& gpx, std::string* problem) {
  const fs::path schema = GpxSchema();
  if (schema.empty() && std::getenv("PATHMERE_REQUIRE_GPX_SCHEMA") != nullptr) {
    *problem = "GPX schema missing: run scripts/fetch-gpx-schema.sh";
    return false;
  }
  std::vector<std::string> argv = {"xmllint", "--noout", "--nonet"};
  if (!schema.empty()) argv.insert(argv.end(), {"--schema", schema.string()});
  argv.push_back(gpx.string());
  const auto result = Run(argv);
  *problem = result.err;
  return result.exitStatus == 0;
}

int ExpectGpxMatchesOziFiles(const fs::path& folder) {
  int checked = 0;
  const bool gpxpy = Run({"python3", "-c", "import gpxpy"}).exitStatus == 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".plt") continue;
    const fs::path gpx = fs::path(entry.path()).replace_extension(".gpx");
    SCOPED_TRACE(gpx.string());
    if (!fs::exists(gpx)) {
      ADD_FAILURE() << "no GPX file beside " << entry.path();
      continue;
    }
    ++checked;
    std::string problem;
    EXPECT_TRUE(GpxIsValid(gpx, &problem)) << problem;
    const std::string document = ReadWholeFile(gpx);
    const std::vector<GpxPoint> points = TrackPointsOf(document);
    EXPECT_EQ(static_cast<int>(points.size()), GpxTrackPoints(document)) << "a point of an unexpected form";

    std::vector<TrackLine> lines;
    std::istringstream plt(ReadWholeFile(entry.path()));
    int number = 0;
    for (std::string line; std::getline(plt, line);) {
      TrackLine parsed;
      if (++number > 6 && ParseTrackPointLine(line, &parsed)) lines.push_back(parsed);
    }
    if (points.size() != lines.size()) {
      ADD_FAILURE() << points.size() << " GPX points for " << lines.size() << " .plt lines";
      continue;
    }
    for (size_t i = 0; i < lines.size(); ++i) {
      // The .plt keeps 8 decimals of degrees and of days, 2 of feet.
      EXPECT_NEAR(points[i].latitude, lines[i].latitude, 1e-8) << i;
      const double longitudeApart = std::remainder(points[i].longitude - lines[i].longitude, 360.0);
      EXPECT_NEAR(longitudeApart, 0.0, 1e-8) << i;
      EXPECT_LT(points[i].longitude, 180.0) << i;
      EXPECT_NEAR(points[i].dayNumber, lines[i].dayNumber, 2e-8) << i;
      EXPECT_EQ(points[i].hasAltitude, lines[i].hasAltitude) << i;
      if (lines[i].hasAltitude) {
        EXPECT_NEAR(points[i].altitude * kFeetPerMetre, lines[i].altitudeFeet, 0.01) << i;
      }
    }

    const fs::path wpt = fs::path(entry.path()).replace_extension(".wpt");
    const int waypoints = fs::exists(wpt) ? Count(ReadWholeFile(wpt), "\n") - 4 : 0;
    EXPECT_EQ(Count(document, "<wpt "), waypoints);
    EXPECT_EQ(ReaderCount({"gpsbabel", "-i", "gpx", "-f", gpx.string(), "-o", "gpx", "-F", "-"}, "<trkpt "),
              static_cast<int>(points.size()));
    EXPECT_EQ(ReaderCount({"gpsbabel", "-i", "gpx", "-f", gpx.string(), "-o", "gpx", "-F", "-"}, "<wpt "),
              waypoints);
    if (gpxpy) {
      const auto result =
          Run({"python3", "-c",
               "import gpxpy, sys\n"
               "g = gpxpy.parse(open(sys.argv[1]))\n"
               "print(sum(len(s.points) for t in g.tracks for s in t.segments), len(g.waypoints))\n",
               gpx.string()});
      EXPECT_EQ(result.out, std::to_string(points.size()) + " " + std::to_string(waypoints) + "\n")
          << result.err;
    }
  }
  return checked;
}

}  // namespace pathmere::testing
