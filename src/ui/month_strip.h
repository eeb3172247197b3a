#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <QPoint>
#include <QWidget>

namespace pathmere {

// The months of "All days" side by side, from the first logged to the last
// (months without a day stay as gaps, so the seasons line up), each with its
// distance as a bar. A click on a month picks it.
class MonthStrip final : public QWidget {
 public:
  explicit MonthStrip(QWidget* parent = nullptr);

  // "YYYY-MM" and metres, in any order; months between are filled in.
  void SetMonths(const std::vector<std::pair<std::string, double>>& months);
  // The month drawn as picked; empty for none.
  void SetPicked(std::string month);

  const std::vector<std::pair<std::string, double>>& months() const { return months_; }
  // The middle of a month's bar, or (-1, -1) when it is not in the strip.
  QPoint CentreOf(const std::string& month) const;

  std::function<void(const std::string&)> onMonth;

  QSize sizeHint() const override { return {360, 72}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  int MonthAt(int x) const;
  double BarWidth() const;

  std::vector<std::pair<std::string, double>> months_;
  double most_ = 0.0;
  std::string picked_;
};

}  // namespace pathmere
