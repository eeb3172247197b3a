#pragma once

#include <QStringList>
#include <QWidget>
#include <utility>
#include <vector>

#include "app/day_summary.h"
#include "app/day_track.h"

class QGridLayout;
class QLabel;

namespace pathmere {

// The day in numbers beside the track view's map and profile: the rows
// that `pathmere-cli summary` prints, from the same summary of the same
// points; the stops are in its tooltip and marked on the map.
class TrackSummaryPanel final : public QWidget {
 public:
  // More than SummaryRows gives at most.
  static constexpr int kMostRows = 24;

  explicit TrackSummaryPanel(QWidget* parent = nullptr);

  // Summarises the day's points anew.
  void Update(const DayTrack& track);

  const DaySummary& summary() const { return summary_; }
  // "Label: value" for each row, as shown.
  const QStringList& lines() const { return lines_; }

 private:
  DaySummary summary_;
  QStringList lines_;
  QGridLayout* grid_ = nullptr;
  std::vector<std::pair<QLabel*, QLabel*>> cells_;
};

}  // namespace pathmere
