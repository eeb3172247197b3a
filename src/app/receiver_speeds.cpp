#include "app/receiver_speeds.h"

#include <algorithm>
#include <cmath>

#include "output/gpx_line_reader.h"
#include "output/ozi_line_reader.h"

namespace pathmere {
namespace {

constexpr double kMatchDays = ReceiverSpeeds::kMatchSeconds / 86400.0;

}  // namespace

void ReceiverSpeeds::Insert(std::vector<Entry>& entries, Entry entry) {
  // Times mostly come in order: the usual case is an append.
  if (entries.empty() || entry.dayNumber > entries.back().dayNumber + kMatchDays) {
    entries.push_back(entry);
    return;
  }
  const auto at = std::lower_bound(entries.begin(), entries.end(), entry.dayNumber - kMatchDays,
                                   [](const Entry& e, double day) { return e.dayNumber < day; });
  if (at != entries.end() && std::fabs(at->dayNumber - entry.dayNumber) <= kMatchDays) {
    at->metresPerSecond = entry.metresPerSecond;
  } else {
    entries.insert(at, entry);
  }
}

double ReceiverSpeeds::Find(const std::vector<Entry>& entries, double dayNumber) {
  const auto at = std::lower_bound(entries.begin(), entries.end(), dayNumber - kMatchDays,
                                   [](const Entry& e, double day) { return e.dayNumber < day; });
  if (at == entries.end() || std::fabs(at->dayNumber - dayNumber) > kMatchDays) return -1.0;
  return at->metresPerSecond;
}

void ReceiverSpeeds::Add(double dayNumber, double metresPerSecond) {
  if (!std::isfinite(dayNumber) || !std::isfinite(metresPerSecond)) return;
  Insert(recent_, {dayNumber, metresPerSecond});
}

size_t ReceiverSpeeds::AddGpxText(std::string_view text) {
  return ForEachWholeLine(text, [this](std::string_view line) {
    GpxPointSpeed point;
    if (ParseGpxPointSpeed(line, &point)) Add(point.dayNumber, point.metresPerSecond);
  });
}

double ReceiverSpeeds::At(double dayNumber) const {
  const double recent = recent_.empty() ? -1.0 : Find(recent_, dayNumber);
  return recent >= 0.0 ? recent : Find(settled_, dayNumber);
}

void ReceiverSpeeds::Checkpoint() {
  for (const Entry& entry : recent_) Insert(settled_, entry);
  recent_.clear();
}

}  // namespace pathmere
