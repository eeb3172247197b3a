#include "cli/summary_command.h"

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/day_summary.h"
#include "app/day_summary_text.h"
#include "app/day_track_feed.h"
#include "app/pending_points.h"
#include "platform/file_system_posix.h"
#include "platform/instance_channel.h"
#include "platform/settings_store_file.h"
#include "settings/settings.h"
#include "settings/settings_operations.h"

namespace pathmere {
namespace {

std::string DateName(LocalDate day) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", static_cast<int>(day.year % 10000),
                static_cast<int>(day.month), static_cast<int>(day.day));
  return text;
}

nlohmann::json JsonOf(const DaySummary& s) {
  nlohmann::json stops = nlohmann::json::array();
  for (const DayStop& stop : s.stops) {
    stops.push_back(
        {{"start", DateText(stop.startDayNumber) + "T" + TimeOfDayText(stop.startDayNumber) + "Z"},
         {"seconds", stop.seconds},
         {"without_points_s", stop.withoutPointsSeconds},
         {"latitude", stop.latitude},
         {"longitude", stop.longitude}});
  }
  nlohmann::json json = {
      {"points", s.points},
      {"segments", s.segments},
      {"distance_m", s.distanceMetres},
      {"total_s", s.totalSeconds},
      {"moving_s", s.movingSeconds},
      {"stopped_s", s.stoppedSeconds},
      {"without_points_s", s.withoutPointsSeconds},
      {"average_moving_speed_mps", s.movingAverageSpeed()},
      {"average_total_speed_mps", s.totalAverageSpeed()},
      {"max_speed_mps", s.maxSpeed},
      {"pause_speed_mps", s.pauseSpeed},
      {"stops", stops},
  };
  if (s.points > 0) {
    json["first"] = DateText(s.firstDayNumber) + "T" + TimeOfDayText(s.firstDayNumber) + "Z";
    json["last"] = DateText(s.lastDayNumber) + "T" + TimeOfDayText(s.lastDayNumber) + "Z";
  }
  if (s.hasAltitude) {
    json["ascent_m"] = s.ascentMetres;
    json["descent_m"] = s.descentMetres;
    json["highest_m"] = s.highestMetres;
    json["lowest_m"] = s.lowestMetres;
  }
  return json;
}

void PrintText(const std::string& title, const DaySummary& summary, FILE* out) {
  std::fprintf(out, "%s: %s\n", title.c_str(), SpanText(summary).c_str());
  const std::vector<SummaryRow> rows = SummaryRows(summary);
  size_t width = 0;
  for (const SummaryRow& row : rows) width = std::max(width, row.label.size());
  for (const SummaryRow& row : rows) {
    std::fprintf(out, "  %-*s  %s\n", static_cast<int>(width + 1), (row.label + ":").c_str(),
                 row.value.c_str());
  }
  for (const std::string& line : StopLines(summary)) std::fprintf(out, "    stop %s\n", line.c_str());
}

// The points a running logger that writes into `folder` still holds in
// memory; false when none runs, it writes elsewhere, or it cannot say.
bool PendingPointsOfRunningLogger(const std::string& folder, PendingPoints* pending) {
  const std::filesystem::path channelFolder = InstanceChannel::DefaultFolder();
  if (channelFolder.empty()) return false;
  InstanceChannel channel(channelFolder);
  std::string text;
  if (channel.RequestText(kPendingPointsRequest, &text) != InstanceChannel::StatusResult::kAnswered ||
      !ParsePendingPoints(text, pending)) {
    return false;
  }
  std::error_code error;
  return std::filesystem::equivalent(pending->folder, folder, error);
}

}  // namespace

int RunSummaryCommand(const SummaryArguments& args, FILE* out, FILE* err) {
  std::wstring folder;
  PosixFileSystem files = args.outputDir ? PosixFileSystem(*args.outputDir) : PosixFileSystem();
  if (!args.outputDir) {
    FileSettingsStore store;
    folder = SettingNamed("OutputDir").stringDefault;
    LoadOutputDir(store, [&folder](const wchar_t* saved) { folder = saved; });
  }
  const std::string shownFolder = args.outputDir ? *args.outputDir : files.DisplayPath(folder);
  if (files.LookUp(folder) != FileSystem::PathKind::kDirectory) {
    std::fprintf(err, "pathmere-cli: %s is not a folder that can be read\n", shownFolder.c_str());
    return 1;
  }
  std::vector<LocalDate> days = DaysWithFiles(files, folder);
  // Today's last points may be in a running logger's memory only.
  PendingPoints pending;
  const bool logging = PendingPointsOfRunningLogger(files.DisplayPath(folder), &pending);
  if (logging) {
    for (const LocalDate day : {pending.trackDate, pending.routeDate}) {
      if (day.IsSet() && !std::binary_search(days.begin(), days.end(), day)) {
        days.insert(std::lower_bound(days.begin(), days.end(), day), day);
      }
    }
  }
  if (args.from.IsSet()) {
    std::erase_if(days, [&](LocalDate day) { return day < args.from || args.to < day; });
  } else if (!days.empty()) {
    days.erase(days.begin(), days.end() - 1);
  }
  if (days.empty()) {
    std::fprintf(err, "pathmere-cli: no day files %sin %s\n", args.from.IsSet() ? "of those days " : "",
                 shownFolder.c_str());
    return 1;
  }
  DaySummary total;
  nlohmann::json jsonDays = nlohmann::json::array();
  for (LocalDate day : days) {
    DayTrackFeed feed(files, folder, day);
    feed.Update(logging ? pending.View() : PendingDay{});
    const DaySummary summary = SummariseDay(feed.track());
    AddDaySummary(&total, summary);
    if (args.json) {
      nlohmann::json json = JsonOf(summary);
      json["day"] = DateName(day);
      jsonDays.push_back(std::move(json));
    } else {
      PrintText(DateName(day), summary, out);
    }
  }
  if (args.json) {
    nlohmann::json document = {{"folder", shownFolder}, {"days", jsonDays}};
    if (days.size() > 1) document["total"] = JsonOf(total);
    std::fprintf(out, "%s\n", document.dump(2).c_str());
  } else if (days.size() > 1) {
    PrintText("Total of " + std::to_string(days.size()) + " days", total, out);
  }
  return 0;
}

}  // namespace pathmere
