#include "ui/month_strip.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "ui/all_days_map.h"

namespace pathmere {
namespace {

constexpr int kLabelHeight = 14;

int MonthNumber(const std::string& month) {
  if (month.size() != 7) return -1;
  return std::atoi(month.c_str()) * 12 + std::atoi(month.c_str() + 5) - 1;
}

std::string MonthName(int number) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d", number / 12, number % 12 + 1);
  return text;
}

}  // namespace

MonthStrip::MonthStrip(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("allDaysMonths"));
  setMinimumHeight(56);
}

void MonthStrip::SetMonths(const std::vector<std::pair<std::string, double>>& months) {
  std::map<int, double> known;
  for (const auto& [month, metres] : months) {
    const int number = MonthNumber(month);
    if (number >= 0) known[number] += metres;
  }
  months_.clear();
  most_ = 0.0;
  if (!known.empty()) {
    // A stray day file dated centuries off would make the strip endless.
    const int first = std::max(known.begin()->first, known.rbegin()->first - 12 * 100);
    for (int number = first; number <= known.rbegin()->first; ++number) {
      const auto found = known.find(number);
      const double metres = found != known.end() ? found->second : 0.0;
      months_.emplace_back(MonthName(number), metres);
      most_ = std::max(most_, metres);
    }
  }
  update();
}

void MonthStrip::SetPicked(std::string month) {
  picked_ = std::move(month);
  update();
}

double MonthStrip::BarWidth() const {
  return months_.empty() ? 0.0 : static_cast<double>(width()) / static_cast<double>(months_.size());
}

int MonthStrip::MonthAt(int x) const {
  if (months_.empty() || x < 0 || x >= width()) return -1;
  return std::min(static_cast<int>(x / BarWidth()), static_cast<int>(months_.size()) - 1);
}

QPoint MonthStrip::CentreOf(const std::string& month) const {
  for (size_t i = 0; i < months_.size(); ++i) {
    if (months_[i].first == month) {
      return {static_cast<int>((static_cast<double>(i) + 0.5) * BarWidth()), (height() - kLabelHeight) / 2};
    }
  }
  return {-1, -1};
}

void MonthStrip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  const double bar = BarWidth();
  const int bottom = height() - kLabelHeight;
  for (size_t i = 0; i < months_.size(); ++i) {
    const auto& [month, metres] = months_[i];
    const double left = static_cast<double>(i) * bar;
    if (month == picked_) {
      painter.fillRect(QRectF(left, 0, bar, bottom), palette().highlight().color().lighter(160));
    }
    const double tall = most_ > 0.0 ? metres / most_ * (bottom - 2) : 0.0;
    painter.fillRect(QRectF(left + bar * 0.15, bottom - tall, std::max(1.0, bar * 0.7), tall),
                     AllDaysMap::YearColour(std::atoi(month.c_str())));
    // The year under its January (or under the first month shown).
    if (month.compare(5, 2, "01") == 0 || i == 0) {
      painter.setPen(palette().text().color());
      painter.drawText(QRectF(left, bottom, 48, kLabelHeight), Qt::AlignLeft | Qt::AlignVCenter,
                       QString::fromStdString(month.substr(0, 4)));
    }
  }
}

void MonthStrip::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const int at = MonthAt(event->position().toPoint().x());
  if (at >= 0 && onMonth) onMonth(months_[static_cast<size_t>(at)].first);
}

bool MonthStrip::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const int at = MonthAt(help->pos().x());
    if (at >= 0) {
      const auto& [month, metres] = months_[static_cast<size_t>(at)];
      QToolTip::showText(
          help->globalPos(),
          QStringLiteral("%1: %2 km").arg(QString::fromStdString(month)).arg(metres / 1000.0, 0, 'f', 1));
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QWidget::event(event);
}

}  // namespace pathmere
