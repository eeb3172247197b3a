// The archive index against the day files themselves: "which days passed
// here, and when" as a brute-force scan of every file finds it, however the
// index came about (built once, grown with the day, after edits, after
// being deleted or damaged).
#include "archive/archive_index.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include <gtest/gtest.h>

#include "app/track_projection.h"
#include "archive/archive_codec.h"
#include "output/ozi_line_reader.h"
#include "support/child_process.h"
#include "support/generated_archive.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;

constexpr int kDays = 24;
constexpr int kPoints = 2400;
const int64_t kFirstDay = testing::DayNumberOfCivil(2024, 11, 20);

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteAll(const fs::path& file, std::string_view text) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

// Every day file's points in the area, straight from the files.
std::vector<ArchiveDayVisits> BruteForce(const fs::path& dir, const ArchiveArea& area) {
  std::vector<ArchiveDayVisits> found;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == ".plt") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    const std::string text = ReadAll(file);
    ArchiveDayVisits day;
    day.day = file.stem().string();
    day.device = dir.filename().string();
    int64_t index = 0;
    int64_t lastInside = -2;
    ForEachWholeLine(text, [&](std::string_view line) {
      TrackLine p;
      if (!ParseTrackPointLine(line, &p)) return;
      bool inside = false;
      if (area.box) {
        inside = p.latitude >= area.south && p.latitude <= area.north && p.longitude >= area.west &&
                 p.longitude <= area.east;
      } else {
        inside =
            GroundDistanceMetres(area.latitude, area.longitude, p.latitude, p.longitude) <= area.radiusMetres;
      }
      if (inside) {
        const int64_t seconds = std::llround((p.dayNumber - 25569.0) * 86400.0);
        if (day.visits == 0) day.first = day.last = seconds;
        if (lastInside != index - 1) ++day.visits;
        day.first = std::min(day.first, seconds);
        day.last = std::max(day.last, seconds);
        lastInside = index;
      }
      ++index;
    });
    if (day.visits > 0) found.push_back(day);
  }
  std::reverse(found.begin(), found.end());  // newest first
  return found;
}

std::string Describe(const std::vector<ArchiveDayVisits>& days) {
  std::string text;
  for (const ArchiveDayVisits& d : days) {
    text += d.day + " " + d.device + " " + std::to_string(d.first) + " " + std::to_string(d.last) + " " +
            std::to_string(d.visits) + "\n";
  }
  return text;
}

ArchiveArea Circle(double lat, double lon, double radius) {
  ArchiveArea area;
  area.latitude = lat;
  area.longitude = lon;
  area.radiusMetres = radius;
  return area;
}

ArchiveArea Box(double south, double west, double north, double east) {
  ArchiveArea area;
  area.box = true;
  area.south = south;
  area.west = west;
  area.north = north;
  area.east = east;
  return area;
}

// The places asked about: each known place, a point on a way between two,
// a place nobody went, boxes small and large.
std::vector<ArchiveArea> Areas() {
  std::vector<ArchiveArea> areas;
  for (const testing::ArchivePlace& place : testing::kArchivePlaces) {
    areas.push_back(Circle(place.latitude, place.longitude, 100.0));
    areas.push_back(Circle(place.latitude, place.longitude, 7.0));
  }
  const auto& a = testing::kArchivePlaces[0];
  const auto& b = testing::kArchivePlaces[1];
  areas.push_back(Circle((a.latitude + b.latitude) / 2, (a.longitude + b.longitude) / 2, 40.0));
  areas.push_back(Circle(48.3, 11.9, 1000.0));
  areas.push_back(Circle(testing::kArchiveRarePlace.latitude, testing::kArchiveRarePlace.longitude, 100.0));
  areas.push_back(Box(48.130, 11.570, 48.140, 11.580));
  areas.push_back(Box(48.150, 11.500, 48.160, 11.650));
  areas.push_back(Box(40.0, 0.0, 50.0, 20.0));
  return areas;
}

class ArchiveIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    days_ = scratch_.path() / "phone";
    testing::WriteGeneratedArchive(days_, kFirstDay, kDays, kPoints, 17);
    file_ = scratch_.path() / "cache" / "index.sqlite";
  }

  std::unique_ptr<ArchiveIndex> OpenAndUpdate(ArchiveUpdateReport* report = nullptr,
                                              const fs::path& file = {}) {
    std::string note, error;
    auto index = ArchiveIndex::Open(file.empty() ? file_ : file, true, &note, &error);
    EXPECT_NE(index, nullptr) << error;
    if (index == nullptr) return index;
    ArchiveUpdateReport ignored;
    EXPECT_TRUE(index->Update(Folders(), nullptr, report != nullptr ? report : &ignored, &error)) << error;
    return index;
  }

  std::vector<ArchiveFolder> Folders() const { return ArchiveFoldersOf(days_); }

  void ExpectMatchesFiles(ArchiveIndex& index) {
    for (const ArchiveArea& area : Areas()) {
      std::vector<ArchiveDayVisits> got;
      std::string error;
      ASSERT_TRUE(index.Here(Folders(), area, &got, &error)) << error;
      EXPECT_EQ(Describe(got), Describe(BruteForce(days_, area)))
          << (area.box ? "box " : "circle ") << area.latitude << "," << area.longitude << " r "
          << area.radiusMetres;
    }
  }

  testing::TempFolder scratch_;
  fs::path days_;
  fs::path file_;
};

TEST_F(ArchiveIndexTest, HereFindsWhatAScanOfTheFilesFinds) {
  ArchiveUpdateReport report;
  auto index = OpenAndUpdate(&report);
  ASSERT_NE(index, nullptr);
  EXPECT_EQ(report.added, static_cast<size_t>(kDays));
  EXPECT_EQ(report.pointsRead, static_cast<uint64_t>(kDays) * kPoints);
  ExpectMatchesFiles(*index);
  // Home is on every day; somewhere else on none.
  std::vector<ArchiveDayVisits> home;
  std::string error;
  ASSERT_TRUE(index->Here(
      Folders(), Circle(testing::kArchivePlaces[0].latitude, testing::kArchivePlaces[0].longitude, 100.0),
      &home, &error));
  EXPECT_EQ(home.size(), static_cast<size_t>(kDays));
  // A street-scale view about home (a zoom-13 window): the full track of
  // every day there, its pieces joined where no break lies between them.
  GeoBounds view;
  view.Include(testing::kArchivePlaces[0].latitude - 0.036, testing::kArchivePlaces[0].longitude - 0.058);
  view.Include(testing::kArchivePlaces[0].latitude + 0.036, testing::kArchivePlaces[0].longitude + 0.058);
  const auto inView = [&](double lat, double lon) {
    return lat >= view.south && lat <= view.north && lon >= view.west && lon <= view.east;
  };
  std::map<std::string, size_t> drawn, scanned, longest;
  ASSERT_TRUE(index->Pieces(
      Folders(), view,
      [&](const std::string& day, const std::string&, const std::vector<ArchivePoint>& line) {
        for (size_t i = 0; i < line.size(); ++i) {
          drawn[day] += inView(LatitudeOf(line[i]), LongitudeOf(line[i])) ? 1 : 0;
          if (i > 0) {
            EXPECT_LE((DayNumberOf(line[i]) - DayNumberOf(line[i - 1])) * 86400.0, kTrackBreakSeconds);
          }
        }
        longest[day] = std::max(longest[day], line.size());
      },
      &error))
      << error;
  for (const auto& entry : fs::directory_iterator(days_)) {
    ForEachWholeLine(ReadAll(entry.path()), [&](std::string_view line) {
      TrackLine p;
      if (ParseTrackPointLine(line, &p) && inView(p.latitude, p.longitude))
        ++scanned[entry.path().stem().string()];
    });
  }
  EXPECT_EQ(scanned.size(), static_cast<size_t>(kDays));
  EXPECT_EQ(drawn, scanned);
  for (const auto& [day, points] : longest) EXPECT_GT(points, ArchiveIndex::kPiecePoints) << day;
  // Nothing changed: nothing read.
  ArchiveUpdateReport again;
  ASSERT_TRUE(index->Update(Folders(), nullptr, &again, &error));
  EXPECT_EQ(again.pointsRead, 0u);
  EXPECT_EQ(again.days, static_cast<size_t>(kDays));
}

// Every figure of a day and every answer, compared between two indexes.
void ExpectSameIndex(ArchiveIndex& a, ArchiveIndex& b, const std::vector<ArchiveFolder>& folders) {
  std::vector<ArchiveDay> daysA, daysB;
  std::string error;
  ASSERT_TRUE(a.Days(folders, &daysA, &error)) << error;
  ASSERT_TRUE(b.Days(folders, &daysB, &error)) << error;
  ASSERT_EQ(daysA.size(), daysB.size());
  for (size_t i = 0; i < daysA.size(); ++i) {
    const DaySummary& x = daysA[i].summary;
    const DaySummary& y = daysB[i].summary;
    EXPECT_EQ(daysA[i].day, daysB[i].day);
    EXPECT_EQ(x.points, y.points);
    EXPECT_EQ(x.segments, y.segments);
    EXPECT_DOUBLE_EQ(x.distanceMetres, y.distanceMetres);
    EXPECT_DOUBLE_EQ(x.movingSeconds, y.movingSeconds);
    EXPECT_DOUBLE_EQ(x.ascentMetres, y.ascentMetres);
    EXPECT_DOUBLE_EQ(x.lastDayNumber, y.lastDayNumber);
    EXPECT_DOUBLE_EQ(daysA[i].bounds.north, daysB[i].bounds.north);
  }
  for (const ArchiveArea& area : Areas()) {
    std::vector<ArchiveDayVisits> hereA, hereB;
    ASSERT_TRUE(a.Here(folders, area, &hereA, &error));
    ASSERT_TRUE(b.Here(folders, area, &hereB, &error));
    EXPECT_EQ(Describe(hereA), Describe(hereB));
  }
  for (int level = 0; level < static_cast<int>(std::size(kOverviewZooms)); ++level) {
    std::vector<std::string> tilesA, tilesB;
    const int64_t last = (int64_t{1} << kOverviewZooms[level]) - 1;
    const auto into = [](std::vector<std::string>* tiles) {
      return [tiles](const std::string& day, const std::string&, const OverviewTile& tile) {
        tiles->push_back(day + std::to_string(tile.x) + "," + std::to_string(tile.y) + tile.blob);
      };
    };
    ASSERT_TRUE(a.Overview(folders, level, 0, 0, last, last, into(&tilesA), &error));
    ASSERT_TRUE(b.Overview(folders, level, 0, 0, last, last, into(&tilesB), &error));
    std::sort(tilesA.begin(), tilesA.end());
    std::sort(tilesB.begin(), tilesB.end());
    EXPECT_EQ(tilesA, tilesB) << "level " << level;
  }
}

TEST_F(ArchiveIndexTest, ADayIndexedWhileItGrowsEqualsOneIndexedOnce) {
  const fs::path growing = days_ / "2026-01-05.plt";
  const std::string whole = testing::GeneratedArchiveDay(3, testing::DayNumberOfCivil(2026, 1, 5), 5000);
  // Flushes of uneven size, one cutting a line in two.
  std::string file;
  std::string error;
  std::string note;
  auto index = ArchiveIndex::Open(file_, true, &note, &error);
  ASSERT_NE(index, nullptr) << error;
  size_t written = 0;
  size_t grownCount = 0;
  size_t before = 0;
  for (size_t cut :
       {size_t{700}, size_t{12345}, size_t{12390}, size_t{64000}, size_t{200001}, whole.size()}) {
    cut = std::min(cut, whole.size());
    file.append(whole, written, cut - written);
    written = cut;
    WriteAll(growing, file);
    // Every other flush as a logger would tell it: only the day flushed.
    ArchiveUpdateReport report;
    if (before > 0 && cut % 2 == 1) {
      ASSERT_TRUE(index->UpdateFile(Folders().front(), "2026-01-05.plt", &report, &error)) << error;
    } else {
      ASSERT_TRUE(index->Update(Folders(), nullptr, &report, &error)) << error;
    }
    grownCount += report.grown;
    // Only what was added is read (and the tail and a cut line before it).
    if (before > 0) {
      EXPECT_LE(report.bytesRead, cut - before + 64u + 256u) << cut;
    }
    before = cut;
  }
  EXPECT_GE(grownCount, 4u);
  auto once = OpenAndUpdate(nullptr, scratch_.path() / "once.sqlite");
  ASSERT_NE(once, nullptr);
  ExpectSameIndex(*index, *once, Folders());
  ExpectMatchesFiles(*index);
}

TEST_F(ArchiveIndexTest, EditedTruncatedRemovedAndNewDaysShowAtTheNextUpdate) {
  auto index = OpenAndUpdate();
  ASSERT_NE(index, nullptr);
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(days_)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  // Edited: another day's points in its place (another size).
  WriteAll(files[2], testing::GeneratedArchiveDay(11, kFirstDay + 34, kPoints - 300));
  // Edited in place: same size, a point moved far away.
  std::string same = ReadAll(files[3]);
  const size_t at = same.find("48.1", same.size() / 2);
  same.replace(at, 4, "47.1");
  WriteAll(files[3], same);
  // Truncated, mid-line.
  const std::string cut = ReadAll(files[4]);
  WriteAll(files[4], cut.substr(0, cut.size() / 3 + 5));
  // Removed, and a new day.
  fs::remove(files[5]);
  WriteAll(days_ / "2027-03-01.plt",
           testing::GeneratedArchiveDay(40, testing::DayNumberOfCivil(2027, 3, 1), 900));

  ArchiveUpdateReport report;
  std::string error;
  ASSERT_TRUE(index->Update(Folders(), nullptr, &report, &error)) << error;
  EXPECT_EQ(report.added, 1u);
  EXPECT_EQ(report.reread, 3u);
  EXPECT_EQ(report.removed, 1u);
  EXPECT_EQ(report.days, static_cast<size_t>(kDays));
  ExpectMatchesFiles(*index);
  std::vector<ArchiveDayVisits> moved;
  ASSERT_TRUE(index->Here(Folders(), Box(47.0, 11.0, 47.9, 12.0), &moved, &error));
  ASSERT_EQ(moved.size(), 1u);
  EXPECT_EQ(moved[0].day, files[3].stem().string());
}

TEST_F(ArchiveIndexTest, ADeletedOrDamagedIndexGivesTheSameAnswers) {
  auto first = OpenAndUpdate();
  ASSERT_NE(first, nullptr);
  std::vector<ArchivePeriodTotals> before;
  std::string error;
  ASSERT_TRUE(first->Totals(Folders(), true, &before, &error));
  first.reset();

  fs::remove(file_);
  fs::remove(file_.string() + "-wal");
  fs::remove(file_.string() + "-shm");
  auto rebuilt = OpenAndUpdate();
  ASSERT_NE(rebuilt, nullptr);
  ExpectMatchesFiles(*rebuilt);
  rebuilt.reset();

  // Garbage over the start of the file: the index is made anew, with a note.
  {
    std::fstream damage(file_, std::ios::in | std::ios::out | std::ios::binary);
    damage.seekp(0);
    damage << std::string(200, 'x');
  }
  fs::remove(file_.string() + "-wal");
  fs::remove(file_.string() + "-shm");
  std::string note;
  auto remade = ArchiveIndex::Open(file_, true, &note, &error);
  ASSERT_NE(remade, nullptr) << error;
  EXPECT_NE(note.find("made anew"), std::string::npos) << note;
  ArchiveUpdateReport report;
  ASSERT_TRUE(remade->Update(Folders(), nullptr, &report, &error));
  EXPECT_EQ(report.added, static_cast<size_t>(kDays));
  ExpectMatchesFiles(*remade);
  std::vector<ArchivePeriodTotals> after;
  ASSERT_TRUE(remade->Totals(Folders(), true, &after, &error));
  ASSERT_EQ(before.size(), after.size());
  size_t days = 0;
  for (size_t i = 0; i < after.size(); ++i) {
    EXPECT_EQ(before[i].period, after[i].period);
    EXPECT_EQ(before[i].points, after[i].points);
    EXPECT_DOUBLE_EQ(before[i].distanceMetres, after[i].distanceMetres);
    days += after[i].days;
  }
  EXPECT_EQ(days, static_cast<size_t>(kDays));
}

double SegmentDistance(const WorldPoint& p, const WorldPoint& a, const WorldPoint& b) {
  const double dx = static_cast<double>(b.x - a.x), dy = static_cast<double>(b.y - a.y);
  double px = static_cast<double>(p.x - a.x), py = static_cast<double>(p.y - a.y);
  const double length = dx * dx + dy * dy;
  const double t = length > 0 ? std::clamp((px * dx + py * dy) / length, 0.0, 1.0) : 0.0;
  px -= t * dx;
  py -= t * dy;
  return std::sqrt(px * px + py * py);
}

// The recorded receivers' logs, replayed into day files as a user gets them
// (odd dates, gaps, fixes lost and found), asked about around their own
// points: at a third and two thirds of each day, and a box about its first.
TEST_F(ArchiveIndexTest, HereFindsWhatAScanOfTheReplayedRecordedLogsFinds) {
  const auto logs = testing::RecordedLogs();
  if (logs.empty()) GTEST_SKIP() << "recorded logs not found";
  days_ = scratch_.path() / "replayed";
  for (const fs::path& log : logs) {
    const auto result = testing::RunCommand(
        {PATHMERE_CLI_PATH, "replay", log.string(), "--output", days_.string()}, {"TZ=Europe/Berlin"});
    ASSERT_EQ(result.exitStatus, 0) << log << result.err;
  }
  std::vector<ArchiveArea> areas;
  for (const auto& entry : fs::directory_iterator(days_)) {
    if (entry.path().extension() != ".plt") continue;
    std::vector<TrackLine> points;
    ForEachWholeLine(ReadAll(entry.path()), [&](std::string_view line) {
      TrackLine p;
      if (ParseTrackPointLine(line, &p)) points.push_back(p);
    });
    if (points.empty()) continue;
    for (const size_t at : {points.size() / 3, points.size() * 2 / 3}) {
      areas.push_back(Circle(points[at].latitude, points[at].longitude, 50.0));
    }
    areas.push_back(Box(points[0].latitude - 0.002, points[0].longitude - 0.003, points[0].latitude + 0.002,
                        points[0].longitude + 0.003));
  }
  ASSERT_GT(areas.size(), 10u);
  // Asked as a user asks: pathmere-cli archive here --json, in UTC.
  const std::vector<std::string> env = {"XDG_CACHE_HOME=" + (scratch_.path() / "cache").string(),
                                        "TZ=Europe/Berlin"};
  const auto number = [](double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return std::string(text);
  };
  for (const ArchiveArea& area : areas) {
    std::vector<std::string> command = {PATHMERE_CLI_PATH, "archive", "here"};
    if (area.box) {
      command.insert(command.end(), {"--box", number(area.south) + "," + number(area.west) + "," +
                                                  number(area.north) + "," + number(area.east)});
    } else {
      command.insert(command.end(), {number(area.latitude) + "," + number(area.longitude), "--radius",
                                     number(area.radiusMetres)});
    }
    command.insert(command.end(), {"--json", "--output", days_.string()});
    const auto answer = testing::RunCommand(command, env);
    ASSERT_EQ(answer.exitStatus, 0) << answer.err;
    std::vector<ArchiveDayVisits> got;
    const nlohmann::json document = nlohmann::json::parse(answer.out);
    for (const auto& day : document["days"]) {
      const auto seconds = [](const std::string& utc) {
        std::tm t{};
        std::sscanf(utc.c_str(), "%d-%d-%dT%d:%d:%dZ", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
                    &t.tm_min, &t.tm_sec);
        t.tm_year -= 1900;
        t.tm_mon -= 1;
        return static_cast<int64_t>(timegm(&t));
      };
      got.push_back({day["day"], day["device"], seconds(day["first"]), seconds(day["last"]), day["visits"]});
    }
    const std::vector<ArchiveDayVisits> scanned = BruteForce(days_, area);
    EXPECT_FALSE(scanned.empty());
    EXPECT_EQ(Describe(got), Describe(scanned))
        << area.latitude << "," << area.longitude << " " << area.south;
  }
}

TEST(ArchiveOverviewTest, EveryLevelIsWithinHalfAPixelOfTheFullTrack) {
  DayTrack track;
  track.AddTrackText(testing::GeneratedArchiveDay(2, testing::DayNumberOfCivil(2025, 6, 1), 3000));
  const std::vector<DayTrackPoint>& points = track.points();
  const std::vector<OverviewTile> tiles = BuildOverviewTiles(points);
  for (size_t level = 0; level < std::size(kOverviewZooms); ++level) {
    std::vector<std::vector<WorldPoint>> lines;
    size_t kept = 0;
    for (const OverviewTile& tile : tiles) {
      if (tile.zoom == kOverviewZooms[level]) {
        ASSERT_TRUE(DecodeOverviewTile(tile, &lines));
      }
    }
    for (const auto& line : lines) kept += line.size();
    EXPECT_LT(kept, points.size()) << "level " << level;
    double worst = 0.0;
    for (const DayTrackPoint& p : points) {
      const WorldPoint w = WorldPointOf(p.longitude, p.mercatorY);
      double nearest = 1e300;
      for (const auto& line : lines) {
        for (size_t i = 0; i + 1 < line.size(); ++i)
          nearest = std::min(nearest, SegmentDistance(w, line[i], line[i + 1]));
        if (line.size() == 1) nearest = std::min(nearest, SegmentDistance(w, line[0], line[0]));
      }
      worst = std::max(worst, nearest);
    }
    EXPECT_LE(worst, HalfPixelUnits(kOverviewZooms[level]) + 1.0) << "level " << level;
  }
}

TEST(ArchiveOverviewTest, TheNearbyNorthingIsMercatorsToAThousandthOfAUnit) {
  const double unitsPerY = static_cast<double>(kWorldUnits) / (2.0 * 3.14159265358979323846);
  NearbyMercatorY nearby;
  // Up and down across quarter degrees and the series' 70-degree edge.
  for (double latitude = -89.0; latitude <= 89.0; latitude += 0.0137)
    ASSERT_NEAR(nearby.Of(latitude) * unitsPerY, MercatorY(latitude) * unitsPerY, 1e-3) << latitude;
  for (double latitude : {70.0, 69.99999999, 0.125, -0.125, 48.13710841, -1e300, 1e300})
    ASSERT_NEAR(nearby.Of(latitude) * unitsPerY, MercatorY(latitude) * unitsPerY, 1e-3) << latitude;
  EXPECT_TRUE(std::isnan(nearby.Of(std::nan(""))) == std::isnan(MercatorY(std::nan(""))));
}

TEST(ArchiveCodecTest, PointsComeBackAsTheyWent) {
  std::vector<ArchivePoint> points = {ArchivePointOf(48.1371, 11.5754, 46000.5, true, 1706.04),
                                      ArchivePointOf(-33.86, 151.2093, 46000.50001157, false, 0),
                                      ArchivePointOf(89.99999999, -179.99999999, 46001.0, true, -12.5)};
  std::vector<ArchivePoint> back;
  ASSERT_TRUE(DecodePoints(EncodePoints(points.data(), points.size()), &back));
  EXPECT_EQ(back, points);
  EXPECT_DOUBLE_EQ(LatitudeOf(back[0]), 48.1371);
  EXPECT_FALSE(DecodePoints(std::string("\x80", 1), &back));
  // An absurd altitude is held, not overflowed.
  const ArchivePoint high = ArchivePointOf(0, 0, 46000, true, 1e300);
  const ArchivePoint low = ArchivePointOf(0, 0, 46000, true, -1e300);
  back.clear();
  const ArchivePoint pair[] = {high, low};
  ASSERT_TRUE(DecodePoints(EncodePoints(pair, 2), &back));
  EXPECT_EQ(back[1].altitude, low.altitude);
}

}  // namespace
}  // namespace pathmere
