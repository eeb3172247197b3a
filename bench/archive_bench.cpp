// pathmere-archive-bench --days DIR --index FILE: what the archive index
// costs once it is built. Opening it; bringing it up to date when nothing
// changed (what every `archive` command does first); `archive here` for a
// circle at each generated place and for boxes small and large; and
// bringing it up to date after a flush (5 minutes at 1 Hz) of the last day.
// The best of several runs, in milliseconds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "archive/archive_index.h"
#include "support/generated_archive.h"

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point from) {
  return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace pathmere;
  std::filesystem::path days, file;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--days") == 0) days = argv[i + 1];
    if (std::strcmp(argv[i], "--index") == 0) file = argv[i + 1];
  }
  if (days.empty() || file.empty()) {
    std::fprintf(stderr, "usage: pathmere-archive-bench --days DIR --index FILE\n");
    return 2;
  }
  const std::vector<ArchiveFolder> folders = ArchiveFoldersOf(days);
  std::string note, error;
  auto start = Clock::now();
  auto index = ArchiveIndex::Open(file, false, &note, &error);
  const double open = Ms(start);
  if (index == nullptr) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  ArchiveUpdateReport report;
  double unchanged = 1e9;
  for (int run = 0; run < 5; ++run) {
    start = Clock::now();
    if (!index->Update(folders, nullptr, &report, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    unchanged = std::min(unchanged, Ms(start));
  }
  std::printf("open %.2f ms; up to date, nothing changed (%zu days): %.2f ms\n", open, report.days,
              unchanged);

  struct Ask {
    std::string name;
    ArchiveArea area;
  };
  std::vector<Ask> asks;
  for (const auto& place : testing::kArchivePlaces) {
    ArchiveArea area;
    area.latitude = place.latitude;
    area.longitude = place.longitude;
    area.radiusMetres = 100.0;
    asks.push_back({"100 m", area});
    area.radiusMetres = 10.0;
    asks.push_back({"10 m", area});
  }
  // The rare place: one day in 40 passed it.
  ArchiveArea rare;
  rare.latitude = testing::kArchiveRarePlace.latitude;
  rare.longitude = testing::kArchiveRarePlace.longitude;
  rare.radiusMetres = 100.0;
  asks.push_back({"rare 100 m", rare});
  rare.radiusMetres = 1000.0;
  asks.push_back({"rare 1 km", rare});
  ArchiveArea box;
  box.box = true;
  box.south = 48.150, box.west = 11.60, box.north = 48.152, box.east = 11.602;
  asks.push_back({"box 200 m", box});
  box.south = 48.10, box.west = 11.50, box.north = 48.20, box.east = 11.65;
  asks.push_back({"box of all", box});
  double worst = 0.0, worst100 = 0.0;
  for (const Ask& ask : asks) {
    std::vector<ArchiveDayVisits> found;
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
      start = Clock::now();
      if (!index->Here(folders, ask.area, &found, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
      }
      best = std::min(best, Ms(start));
    }
    worst = std::max(worst, best);
    if (found.size() <= 100) worst100 = std::max(worst100, best);
    std::printf("here %-10s at %.5f,%.5f: %5zu days in %8.2f ms\n", ask.name.c_str(),
                ask.area.box ? ask.area.south : ask.area.latitude,
                ask.area.box ? ask.area.west : ask.area.longitude, found.size(), best);
  }
  std::printf("here: slowest %.2f ms; slowest with at most 100 days found %.2f ms\n", worst, worst100);

  // A flush of the last day: 300 points appended, as the writer does.
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folders.front().path))
    files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  const std::filesystem::path last = files.back();
  const auto size = std::filesystem::file_size(last);
  double flush = 1e9;
  double flushOne = 1e9;
  for (int run = 0; run < 10; ++run) {
    FILE* f = std::fopen(last.c_str(), "ab");
    for (int s = 0; s < 300; ++s) {
      std::fprintf(f, "48.%08d, 11.%08d,0, 1700.00, %.8f, 01.01.16, 20:00:00\r\n", 13710000 + s * 100 + run,
                   57540000 + s * 100, 42400.0 + 0.8 + (run * 300 + s) / 86400.0);
    }
    std::fclose(f);
    // Half the runs as every command does (every folder listed), half as
    // the logger can (the day it flushed).
    start = Clock::now();
    const bool good = run % 2 == 0
                          ? index->Update(folders, nullptr, &report, &error)
                          : index->UpdateFile(folders.front(), last.filename().string(), &report, &error);
    if (!good) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    (run % 2 == 0 ? flush : flushOne) = std::min(run % 2 == 0 ? flush : flushOne, Ms(start));
  }
  std::filesystem::resize_file(last, size);
  index->Update(folders, nullptr, &report, &error);
  std::printf("up to date after a flush of 300 points to the last day: %.2f ms (that day alone: %.2f ms)\n",
              flush, flushOne);
  return 0;
}
