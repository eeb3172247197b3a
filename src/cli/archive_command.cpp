#include "cli/archive_command.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string_view>

#include "app/day_summary_text.h"
#include "archive/archive_index.h"
#include "platform/file_system_posix.h"
#include "platform/settings_store_file.h"
#include "settings/settings.h"
#include "settings/settings_operations.h"

namespace pathmere {
namespace {

// Numbers separated by commas, each whole and finite.
bool ParseNumbers(std::string_view text, std::vector<double>* numbers) {
  numbers->clear();
  while (true) {
    const size_t comma = text.find(',');
    const std::string field(text.substr(0, comma));
    char* end = nullptr;
    const double value = std::strtod(field.c_str(), &end);
    if (field.empty() || end != field.c_str() + field.size() || !std::isfinite(value)) return false;
    numbers->push_back(value);
    if (comma == std::string_view::npos) return true;
    text.remove_prefix(comma + 1);
  }
}

std::string Shown(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

bool CheckLatitude(const char* what, double value, std::string* error) {
  if (std::fabs(value) <= 90.0) return true;
  *error = std::string(what) + " " + Shown(value) + " is not a latitude (-90 to 90)";
  return false;
}

bool CheckLongitude(const char* what, double value, std::string* error) {
  if (std::fabs(value) <= 180.0) return true;
  *error = std::string(what) + " " + Shown(value) + " is not a longitude (-180 to 180)";
  return false;
}

std::string LocalTime(int64_t seconds) {
  const auto t = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&t, &local);
  char text[16];
  std::strftime(text, sizeof text, "%H:%M:%S", &local);
  return text;
}

std::string UtcTime(int64_t seconds) {
  const auto t = static_cast<std::time_t>(seconds);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

// The progress line on a terminal, at most ten times a second.
class ProgressLine {
 public:
  explicit ProgressLine(FILE* err) : err_(err), shown_(isatty(fileno(err)) != 0) {}
  ~ProgressLine() {
    if (drawn_) std::fputs("\r\033[K", err_);
  }
  void operator()(size_t done, size_t total) {
    if (!shown_) return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && done < total && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    drawn_ = true;
    std::fprintf(err_, "\rIndexing day files: %zu of %zu", done, total);
    std::fflush(err_);
  }

 private:
  FILE* err_;
  bool shown_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_{};
};

int64_t IndexBytes(const std::filesystem::path& file) {
  int64_t bytes = 0;
  std::error_code error;
  for (const char* suffix : {"", "-wal"}) {
    const auto size = std::filesystem::file_size(file.string() + suffix, error);
    if (!error) bytes += static_cast<int64_t>(size);
  }
  return bytes;
}

}  // namespace

bool ParseArchiveArguments(int argc, const char* const argv[], ArchiveArguments* args, bool* help,
                           std::string* error) {
  using Action = ArchiveArguments::Action;
  const std::string action = argc > 0 ? argv[0] : "";
  if (action == "--help" || action == "-h") {
    *help = true;
    return true;
  }
  if (action == "index") {
    args->action = Action::kIndex;
  } else if (action == "here") {
    args->action = Action::kHere;
  } else if (action == "totals") {
    args->action = Action::kTotals;
  } else {
    *error = action.empty() ? "archive needs index, here or totals"
                            : "archive does index, here or totals, not " + action;
    return false;
  }
  bool havePlace = false;
  std::vector<double> numbers;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool here = args->action == Action::kHere;
    const auto value = [&](const char* what) -> const char* {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        *error = arg + " needs " + what;
        return nullptr;
      }
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      *help = true;
    } else if (arg == "--output") {
      const char* dir = value("a folder");
      if (dir == nullptr) return false;
      args->outputDirs.emplace_back(dir);
    } else if (arg == "--json" && args->action != Action::kIndex) {
      args->json = true;
    } else if (arg == "--radius" && here) {
      const char* text = value("a distance in metres");
      if (text == nullptr) return false;
      if (!ParseNumbers(text, &numbers) || numbers.size() != 1 || numbers[0] <= 0.0 || numbers[0] > 2.0e7) {
        *error =
            std::string("--radius ") + text + " is not a distance in metres (more than 0, up to 20000000)";
        return false;
      }
      args->area.radiusMetres = numbers[0];
    } else if (arg == "--box" && here) {
      const char* text = value("SOUTH,WEST,NORTH,EAST");
      if (text == nullptr) return false;
      if (havePlace) {
        *error = std::string("--box ") + text + " as well as a place: give one";
        return false;
      }
      if (!ParseNumbers(text, &numbers) || numbers.size() != 4) {
        *error = std::string("--box ") + text + " is not SOUTH,WEST,NORTH,EAST in degrees";
        return false;
      }
      args->area.box = true;
      args->area.south = numbers[0];
      args->area.west = numbers[1];
      args->area.north = numbers[2];
      args->area.east = numbers[3];
      if (!CheckLatitude("--box: south", args->area.south, error) ||
          !CheckLongitude("--box: west", args->area.west, error) ||
          !CheckLatitude("--box: north", args->area.north, error) ||
          !CheckLongitude("--box: east", args->area.east, error)) {
        return false;
      }
      if (args->area.south > args->area.north) {
        *error = "--box: south " + Shown(args->area.south) + " is north of north " + Shown(args->area.north);
        return false;
      }
      havePlace = true;
    } else if (arg == "--by" && args->action == Action::kTotals) {
      const char* text = value("year or month");
      if (text == nullptr) return false;
      if (std::strcmp(text, "year") != 0 && std::strcmp(text, "month") != 0) {
        *error = std::string("--by ") + text + ": year or month";
        return false;
      }
      args->byMonth = std::strcmp(text, "month") == 0;
    } else if (arg.size() > 1 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9') && arg[1] != '.') {
      *error = "archive " + action + " has no option " + arg;
      return false;
    } else if (here && !havePlace) {
      if (!ParseNumbers(arg, &numbers) || numbers.size() != 2) {
        *error = "the place " + arg + " is not LAT,LON in degrees";
        return false;
      }
      args->area.latitude = numbers[0];
      args->area.longitude = numbers[1];
      if (!CheckLatitude("the place's latitude", args->area.latitude, error) ||
          !CheckLongitude("the place's longitude", args->area.longitude, error)) {
        return false;
      }
      havePlace = true;
    } else {
      *error = "archive " + action + " takes no " + arg;
      return false;
    }
  }
  if (!*help && args->action == Action::kHere && !havePlace) {
    *error = "archive here needs LAT,LON or --box SOUTH,WEST,NORTH,EAST";
    return false;
  }
  return true;
}

int RunArchiveCommand(const ArchiveArguments& args, FILE* out, FILE* err) {
  using Action = ArchiveArguments::Action;
  std::vector<ArchiveFolder> folders;
  if (args.outputDirs.empty()) {
    FileSettingsStore store;
    std::wstring folder = SettingNamed("OutputDir").stringDefault;
    LoadOutputDir(store, [&folder](const wchar_t* saved) { folder = saved; });
    PosixFileSystem files;
    const std::string shown = files.DisplayPath(folder);
    folders = ArchiveFoldersOf(shown);
    if (folders.empty()) {
      std::fprintf(err, "pathmere-cli: the output folder %s is not a folder that can be read\n",
                   shown.c_str());
      return 1;
    }
  } else {
    for (const std::string& dir : args.outputDirs) {
      std::vector<ArchiveFolder> found = ArchiveFoldersOf(dir);
      if (found.empty()) {
        std::fprintf(err, "pathmere-cli: --output %s is not a folder (see pathmere-cli --help)\n",
                     dir.c_str());
        return 2;
      }
      folders.insert(folders.end(), found.begin(), found.end());
    }
  }

  const auto started = std::chrono::steady_clock::now();
  std::string note;
  std::string error;
  const std::filesystem::path file = DefaultArchiveIndexFile();
  std::unique_ptr<ArchiveIndex> index =
      ArchiveIndex::Open(file, args.action == Action::kIndex, &note, &error);
  if (!note.empty()) std::fprintf(err, "pathmere-cli: %s\n", note.c_str());
  if (index == nullptr) {
    std::fprintf(err, "pathmere-cli: %s\n", error.c_str());
    return 1;
  }
  ArchiveUpdateReport report;
  {
    ProgressLine progress(err);
    if (!index->Update(folders, std::ref(progress), &report, &error)) {
      std::fprintf(err, "pathmere-cli: %s\n", error.c_str());
      return 1;
    }
  }

  if (args.action == Action::kIndex) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fprintf(out,
                 "%zu days in the archive index (%zu new, %zu grown, %zu read again, %zu removed): "
                 "%llu points read in %.2f s; the index is %.1f MB, %s\n",
                 report.days, report.added, report.grown, report.reread, report.removed,
                 static_cast<unsigned long long>(report.pointsRead), seconds,
                 static_cast<double>(IndexBytes(file)) / 1e6, file.c_str());
    return 0;
  }

  if (args.action == Action::kHere) {
    const ArchiveArea& area = args.area;
    std::vector<ArchiveDayVisits> days;
    if (!index->Here(folders, area, &days, &error)) {
      std::fprintf(err, "pathmere-cli: %s\n", error.c_str());
      return 1;
    }
    if (args.json) {
      nlohmann::json list = nlohmann::json::array();
      for (const ArchiveDayVisits& day : days) {
        list.push_back({{"day", day.day},
                        {"first", UtcTime(day.first)},
                        {"last", UtcTime(day.last)},
                        {"visits", day.visits},
                        {"device", day.device}});
      }
      std::fprintf(out, "%s\n", nlohmann::json{{"days", list}}.dump(2).c_str());
      return 0;
    }
    for (const ArchiveDayVisits& day : days) {
      std::fprintf(out, "%s  %s  %s  %d visit%s%s%s\n", day.day.c_str(), LocalTime(day.first).c_str(),
                   LocalTime(day.last).c_str(), day.visits, day.visits == 1 ? "" : "s",
                   folders.size() > 1 ? "  " : "", folders.size() > 1 ? day.device.c_str() : "");
    }
    if (days.empty()) std::fprintf(err, "pathmere-cli: no day passed there\n");
    return 0;
  }

  std::vector<ArchivePeriodTotals> totals;
  if (!index->Totals(folders, args.byMonth, &totals, &error)) {
    std::fprintf(err, "pathmere-cli: %s\n", error.c_str());
    return 1;
  }
  if (args.json) {
    nlohmann::json list = nlohmann::json::array();
    for (const ArchivePeriodTotals& t : totals) {
      list.push_back({{"period", t.period},
                      {"days", t.days},
                      {"distance_m", t.distanceMetres},
                      {"moving_s", t.movingSeconds},
                      {"points", t.points}});
    }
    std::fprintf(out, "%s\n", nlohmann::json{{"totals", list}}.dump(2).c_str());
    return 0;
  }
  std::fprintf(out, "%-8s %6s %12s %12s %12s\n", args.byMonth ? "Month" : "Year", "Days", "Distance",
               "Moving", "Points");
  for (const ArchivePeriodTotals& t : totals) {
    char distance[32];
    std::snprintf(distance, sizeof distance, "%.1f km", t.distanceMetres / 1000.0);
    std::fprintf(out, "%-8s %6zu %12s %12s %12llu\n", t.period.c_str(), t.days, distance,
                 DurationText(t.movingSeconds).c_str(), static_cast<unsigned long long>(t.points));
  }
  return 0;
}

}  // namespace pathmere
