#include "ui/track_summary_panel.h"

#include <QGridLayout>
#include <QLabel>

#include "app/day_summary_text.h"
#include "ui/stop_marks.h"

namespace pathmere {

TrackSummaryPanel::TrackSummaryPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("trackSummary"));
  grid_ = new QGridLayout(this);
  grid_->setContentsMargins(6, 4, 6, 4);
  grid_->setHorizontalSpacing(10);
  grid_->setVerticalSpacing(2);
  // Rows come and go with altitude and gaps; a hidden row takes no room.
  for (int row = 0; row < kMostRows; ++row) {
    auto* label = new QLabel(this);
    auto* value = new QLabel(this);
    // Quieter than the values, in a light or a dark palette alike.
    label->setForegroundRole(QPalette::PlaceholderText);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid_->addWidget(label, row, 0);
    grid_->addWidget(value, row, 1);
    cells_.emplace_back(label, value);
  }
  grid_->setRowStretch(kMostRows, 1);
  Update(DayTrack());
}

void TrackSummaryPanel::Update(const DayTrack& track) {
  summary_ = SummariseDay(track);
  const std::vector<SummaryRow> rows = SummaryRows(summary_);
  lines_.clear();
  for (size_t i = 0; i < cells_.size(); ++i) {
    const bool shown = i < rows.size();
    cells_[i].first->setVisible(shown);
    cells_[i].second->setVisible(shown);
    if (!shown) continue;
    const QString label = QString::fromStdString(rows[i].label);
    const QString value = QString::fromStdString(rows[i].value);
    cells_[i].first->setText(label);
    cells_[i].second->setText(value);
    lines_ << label + QStringLiteral(": ") + value;
  }
  // Local times, as the day's files are named, with UTC beside them.
  QStringList stops;
  for (const DayStop& stop : summary_.stops) stops << StopText(stop);
  setToolTip(stops.isEmpty() ? QString() : QStringLiteral("Stops:\n") + stops.join(QLatin1Char('\n')));
}

}  // namespace pathmere
