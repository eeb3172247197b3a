#include "cli/gpx_command.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <system_error>

#include "app/program_version.h"
#include "output/gpx_document.h"
#include "output/gpx_lines.h"
#include "output/gpx_mend.h"
#include "platform/atomic_file.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;

bool ReadFile(const fs::path& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  *text = std::move(buffer).str();
  return !in.bad();
}

// "2026-12-06" of a day file's name, with its date; false for other names.
bool DayOfName(const fs::path& file, OziDay* day) {
  const std::string stem = file.stem().string();
  int year = 0;
  int month = 0;
  int dayOfMonth = 0;
  char tail = 0;
  if (stem.size() != 10 ||
      std::sscanf(stem.c_str(), "%4d-%2d-%2d%c", &year, &month, &dayOfMonth, &tail) != 3) {
    return false;
  }
  if (year < 2000 || year > 2255 || month < 1 || month > 12 || dayOfMonth < 1 || dayOfMonth > 31)
    return false;
  day->year = year;
  day->month = month;
  day->day = dayOfMonth;
  return true;
}

bool IsOziExtension(const std::string& extension) {
  return extension == ".plt" || extension == ".rte" || extension == ".wpt";
}

// The paths given, folders opened one level, in name order.
std::vector<fs::path> FilesOf(const std::vector<std::string>& paths, FILE* err, int* status) {
  std::vector<fs::path> files;
  for (const std::string& given : paths) {
    std::error_code ec;
    const fs::path path(given);
    if (fs::is_directory(path, ec)) {
      std::vector<fs::path> inside;
      for (const auto& entry : fs::directory_iterator(path, ec)) {
        if (entry.is_regular_file(ec)) inside.push_back(entry.path());
      }
      std::sort(inside.begin(), inside.end());
      files.insert(files.end(), inside.begin(), inside.end());
    } else if (fs::exists(path, ec)) {
      files.push_back(path);
    } else {
      std::fprintf(err, "%s: no such file or folder\n", given.c_str());
      *status = 1;
    }
  }
  return files;
}

int MendFile(const fs::path& path, FILE* out, FILE* err) {
  std::error_code ec;
  fs::remove(fs::path(path.string() + ".tmp"), ec);
  std::string text;
  if (!ReadFile(path, &text)) {
    std::fprintf(err, "%s: cannot be read\n", path.c_str());
    return 1;
  }
  const GpxShape shape = InspectGpx(text);
  if (shape.own && shape.intact) {
    std::fprintf(out, "%s: complete\n", path.c_str());
    return 0;
  }
  if (shape.own) {
    const std::string mended = text.substr(0, shape.keep) + std::string(GpxMendingTail(shape));
    if (!WriteFileAtomically(path, mended)) {
      std::fprintf(err, "%s: cannot be written\n", path.c_str());
      return 1;
    }
    std::fprintf(out, "%s: mended, %zu bytes of a cut write removed\n", path.c_str(),
                 text.size() - shape.keep);
    return 0;
  }
  for (int n = 1; n <= 1000; ++n) {
    const fs::path aside(path.string() + ".broken-" + std::to_string(n));
    if (fs::exists(aside, ec)) continue;
    fs::rename(path, aside, ec);
    if (ec) break;
    std::fprintf(err, "%s: not Pathmere's or cannot be mended; renamed to %s\n", path.c_str(), aside.c_str());
    return 1;
  }
  std::fprintf(err, "%s: not Pathmere's or cannot be mended, and cannot be renamed aside\n", path.c_str());
  return 1;
}

int ConvertDay(const fs::path& target, OziDay& day, const std::vector<fs::path>& sources, FILE* out,
               FILE* err) {
  std::error_code ec;
  if (fs::exists(target, ec)) {
    std::fprintf(out, "%s: exists, left alone (--mend mends it)\n", target.c_str());
    return 0;
  }
  int status = 0;
  for (const fs::path& source : sources) {
    std::string text;
    if (!ReadFile(source, &text)) {
      std::fprintf(err, "%s: cannot be read\n", source.c_str());
      status = 1;
      continue;
    }
    const std::string extension = source.extension().string().substr(1);
    for (const UnreadLine& line : AddOziFileText(extension, text, &day)) {
      std::fprintf(err, "%s:%zu: not a %s point, passed over\n", source.c_str(), line.number,
                   extension == "plt" ? "track" : (extension == "rte" ? "route" : "waypoint"));
    }
  }
  if (!WriteFileAtomically(target, ComposeGpxDocument(ProgramVersion(), day))) {
    std::fprintf(err, "%s: cannot be written\n", target.c_str());
    return 1;
  }
  std::fprintf(out, "%s: %zu track points, %zu route points, %zu waypoints\n", target.c_str(),
               day.track.size(), day.route.size(), day.waypoints.size());
  return status;
}

}  // namespace

int RunGpxCommand(const GpxArguments& args, FILE* out, FILE* err) {
  int status = 0;
  const std::vector<fs::path> files = FilesOf(args.paths, err, &status);
  if (args.mend) {
    for (const fs::path& file : files) {
      if (file.extension() == ".gpx") status |= MendFile(file, out, err);
    }
    return status;
  }
  // Each day's files, by the .gpx they become.
  std::map<fs::path, std::pair<OziDay, std::vector<fs::path>>> days;
  for (const fs::path& file : files) {
    OziDay day;
    if (!IsOziExtension(file.extension().string())) continue;
    if (!DayOfName(file, &day)) {
      std::fprintf(err, "%s: not named for a day (YYYY-MM-DD), passed over\n", file.c_str());
      status = 1;
      continue;
    }
    const fs::path folder = args.outputDir ? fs::path(*args.outputDir) : file.parent_path();
    auto& entry = days[folder / (file.stem().string() + ".gpx")];
    entry.first = day;
    entry.second.push_back(file);
  }
  if (args.outputDir) {
    std::error_code ec;
    fs::create_directories(*args.outputDir, ec);
  }
  if (days.empty() && status == 0) {
    std::fprintf(err, "no .plt, .rte or .wpt day files given\n");
    return 1;
  }
  for (auto& [target, entry] : days) status |= ConvertDay(target, entry.first, entry.second, out, err);
  return status;
}

}  // namespace pathmere
