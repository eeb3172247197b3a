#include "app/pending_points.h"

#include <charconv>
#include <cstdio>
#include <string>

#include "app/program.h"

namespace pathmere {
namespace {

constexpr std::string_view kFirstLine = "pathmere pending points 1\n";

// "<name>[ <date>] <bytes>\n<bytes>\n"; without `date` the part has none.
void AppendPart(std::string& text, std::string_view name, const LocalDate* date, std::string_view bytes) {
  text += name;
  text += ' ';
  if (date != nullptr) {
    char field[16] = "-";
    if (date->IsSet()) {
      std::snprintf(field, sizeof field, "%04d-%02d-%02d", static_cast<int>(date->year % 10000),
                    static_cast<int>(date->month), static_cast<int>(date->day));
    }
    text += field;
    text += ' ';
  }
  text += std::to_string(bytes.size());
  text += '\n';
  text += bytes;
  text += '\n';
}

bool Whole(std::string_view text, int32_t* value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return error == std::errc() && end == text.data() + text.size();
}

// "yyyy-mm-dd" or "-".
bool DateField(std::string_view text, LocalDate* date) {
  if (text == "-") {
    *date = {};
    return true;
  }
  return text.size() == 10 && text[4] == '-' && text[7] == '-' && Whole(text.substr(0, 4), &date->year) &&
         Whole(text.substr(5, 2), &date->month) && Whole(text.substr(8, 2), &date->day) && date->IsSet();
}

// One part: "<name>[ <date>] <bytes>\n<bytes>\n", taken off the front of `text`.
bool TakePart(std::string_view* text, std::string_view name, bool dated, LocalDate* date,
              std::string* bytes) {
  const size_t lineEnd = text->find('\n');
  if (lineEnd == std::string_view::npos) return false;
  std::string_view line = text->substr(0, lineEnd);
  if (!line.starts_with(name) || line.size() <= name.size() || line[name.size()] != ' ') return false;
  line.remove_prefix(name.size() + 1);
  if (dated) {
    const size_t blank = line.find(' ');
    if (blank == std::string_view::npos || !DateField(line.substr(0, blank), date)) return false;
    line.remove_prefix(blank + 1);
  }
  size_t length = 0;
  const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), length);
  if (error != std::errc() || end != line.data() + line.size()) return false;
  const std::string_view rest = text->substr(lineEnd + 1);
  if (length >= rest.size() || rest[length] != '\n') return false;
  bytes->assign(rest.substr(0, length));
  *text = rest.substr(length + 1);
  return true;
}

}  // namespace

std::string ComposePendingPoints(const Program& program, FileSystem& files) {
  const PendingDay pending = PendingDayOf(program.track(), program.route(), program.gpx());
  std::string text(kFirstLine);
  AppendPart(text, "folder", nullptr, files.DisplayPath(program.track().folder()));
  AppendPart(text, "track", &pending.trackDate, pending.trackLines);
  AppendPart(text, "route", &pending.routeDate, pending.routeLines);
  AppendPart(text, "gpx", &pending.gpxDate, pending.gpxLines);
  return text;
}

bool ParsePendingPoints(std::string_view text, PendingPoints* out) {
  if (!text.starts_with(kFirstLine)) return false;
  text.remove_prefix(kFirstLine.size());
  PendingPoints parsed;
  LocalDate none;
  if (!TakePart(&text, "folder", false, &none, &parsed.folder) ||
      !TakePart(&text, "track", true, &parsed.trackDate, &parsed.track) ||
      !TakePart(&text, "route", true, &parsed.routeDate, &parsed.route) ||
      !TakePart(&text, "gpx", true, &parsed.gpxDate, &parsed.gpx) || !text.empty()) {
    return false;
  }
  *out = std::move(parsed);
  return true;
}

}  // namespace pathmere
