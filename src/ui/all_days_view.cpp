#include "ui/all_days_view.h"

#include <ctime>

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

#include "app/day_summary_text.h"
#include "ui/all_days_map.h"
#include "ui/map/map_choice.h"
#include "ui/month_strip.h"

namespace pathmere {
namespace {

QString TimeText(int64_t seconds, bool utc) {
  const auto t = static_cast<std::time_t>(seconds);
  std::tm parts{};
  if (utc) {
    gmtime_r(&t, &parts);
  } else {
    localtime_r(&t, &parts);
  }
  char text[16];
  std::strftime(text, sizeof text, "%H:%M:%S", &parts);
  return QString::fromLatin1(text);
}

// The names of the day files that may still grow: today's and, in the
// first hour, yesterday's last flush.
std::vector<std::string> GrowingDayFiles() {
  std::vector<std::string> names;
  const std::time_t now = std::time(nullptr);
  for (const std::time_t t : {now, now - 3600}) {
    std::tm parts{};
    localtime_r(&t, &parts);
    char name[32];
    std::strftime(name, sizeof name, "%Y-%m-%d.plt", &parts);
    if (names.empty() || names.back() != name) names.emplace_back(name);
  }
  return names;
}

QString DistanceText(double metres) { return QStringLiteral("%1 km").arg(metres / 1000.0, 0, 'f', 1); }

}  // namespace

AllDaysView::AllDaysView(std::vector<ArchiveFolder> folders, std::filesystem::path indexFile, QWidget* parent)
    : QWidget(parent, Qt::Window), folders_(std::move(folders)), indexFile_(std::move(indexFile)) {
  setObjectName(QStringLiteral("allDaysView"));
  setWindowTitle(QStringLiteral("Pathmere - All days"));
  map_ = new AllDaysMap(this);
  mapChoice_ = new MapChoice(this);
  progress_ = new QProgressBar(this);
  progress_->setFormat(QStringLiteral("Indexing %v of %m days"));
  totals_ = new QLabel(this);
  totals_->setObjectName(QStringLiteral("allDaysTotals"));
  totals_->setWordWrap(true);
  years_ = new QListWidget(this);
  years_->setObjectName(QStringLiteral("allDaysYears"));
  months_ = new MonthStrip(this);
  key_ = new QLabel(this);
  key_->setObjectName(QStringLiteral("allDaysKey"));
  key_->setWordWrap(true);
  key_->setTextFormat(Qt::RichText);
  here_ = new QListWidget(this);
  here_->setObjectName(QStringLiteral("daysHere"));

  for (QWidget* widget : std::initializer_list<QWidget*>{years_, here_}) widget->setMinimumWidth(360);
  auto* side = new QVBoxLayout;
  side->addWidget(mapChoice_);
  side->addWidget(progress_);
  side->addWidget(totals_);
  side->addWidget(key_);
  side->addWidget(new QLabel(QStringLiteral("Years (click to show one):"), this));
  side->addWidget(years_, 1);
  side->addWidget(new QLabel(QStringLiteral("Months (click to show one):"), this));
  side->addWidget(months_);
  side->addWidget(new QLabel(QStringLiteral("Days that passed here:"), this));
  side->addWidget(here_, 2);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(map_, 1);
  layout->addLayout(side);
  resize(1000, 680);

  mapChoice_->onSource = [this](std::unique_ptr<TileSource> source) {
    map_->mapLayer().SetSource(std::move(source));
    map_->update();
  };
  mapChoice_->Restore();
  map_->onAsk = [this](const ArchiveArea& area) { Ask(area); };
  grow_ = new QTimer(this);
  grow_->setInterval(kGrowMilliseconds);
  connect(grow_, &QTimer::timeout, this, [this] { CheckToday(); });
  connect(years_, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { ShowPeriod(item->data(Qt::UserRole).toString().toStdString()); });
  months_->onMonth = [this](const std::string& month) { ShowPeriod(month); };
  connect(here_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    const QString day = item->data(Qt::UserRole).toString();
    if (onOpenDay && day.size() == 10) {
      onOpenDay({day.left(4).toInt(), day.mid(5, 2).toInt(), day.mid(8, 2).toInt()});
    }
  });

  std::string note, error;
  index_ = ArchiveIndex::Open(indexFile_, false, &note, &error);
  if (index_ == nullptr) {
    totals_->setText(QString::fromStdString(error));
    return;
  }
  map_->SetIndex(index_.get(), folders_);
  ShowKey();
  ShowTotals();
  StartIndexing();
}

AllDaysView::~AllDaysView() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
}

void AllDaysView::StartIndexing() {
  busy_ = true;
  worker_ = std::thread([this] {
    std::string note, error;
    // A connection of its own: SQLite's are not shared between threads.
    writer_ = ArchiveIndex::Open(indexFile_, true, &note, &error);
    ArchiveIndex* writer = writer_.get();
    ArchiveUpdateReport report;
    bool good = writer != nullptr;
    if (good) {
      writer->SetCancel(&cancel_);
      size_t shown = 0;
      good = writer->Update(
          folders_,
          [&](size_t done, size_t total) {
            // The map shows the days as they come, a few times a second at most.
            if (done != total && done - shown < 20) return;
            shown = done;
            QMetaObject::invokeMethod(
                this,
                [this, done, total] {
                  progress_->setRange(0, static_cast<int>(total));
                  progress_->setValue(static_cast<int>(done));
                  ShowTotals();
                },
                Qt::QueuedConnection);
          },
          &report, &error);
    }
    const QString problem = QString::fromStdString(good ? note : error + (note.empty() ? "" : "; " + note));
    QMetaObject::invokeMethod(
        this,
        [this, problem] {
          busy_ = false;
          if (!problem.isEmpty() && onProblem) onProblem(problem);
          Indexed();
        },
        Qt::QueuedConnection);
  });
}

void AllDaysView::Indexed() {
  indexed_ = true;
  progress_->hide();
  ShowTotals();
  if (writer_ != nullptr) grow_->start();
}

void AllDaysView::CheckToday() {
  if (!indexed_ || busy_ || writer_ == nullptr) return;
  if (worker_.joinable()) worker_.join();
  busy_ = true;
  worker_ = std::thread([this] {
    bool changed = false;
    std::string error;
    for (const ArchiveFolder& folder : folders_) {
      for (const std::string& name : GrowingDayFiles()) {
        if (cancel_) break;
        ArchiveUpdateReport report;
        if (!writer_->UpdateFile(folder, name, &report, &error)) continue;
        changed |= report.added + report.grown + report.reread + report.removed > 0;
      }
    }
    QMetaObject::invokeMethod(
        this,
        [this, changed] {
          busy_ = false;
          if (changed) ShowTotals();
        },
        Qt::QueuedConnection);
  });
}

void AllDaysView::ShowKey() {
  key_->setVisible(map_->byDevice());
  if (!map_->byDevice()) return;
  QString text = QStringLiteral("Devices: ");
  for (size_t i = 0; i < folders_.size(); ++i) {
    text += QStringLiteral("<span style=\"color:%1\">&#9632;</span>&nbsp;%2 ")
                .arg(AllDaysMap::DeviceColour(i).name())
                .arg(QString::fromStdString(folders_[i].device).toHtmlEscaped());
  }
  key_->setText(text);
}

void AllDaysView::ShowPeriod(const std::string& period) {
  period_ = period == period_ ? std::string() : period;
  map_->ShowOnly(period_.empty() ? std::vector<std::string>{} : std::vector<std::string>{period_});
  months_->SetPicked(period_.size() == 7 ? period_ : std::string());
  ShowTotals();
}

void AllDaysView::ShowTotals() {
  std::vector<ArchiveDay> days;
  std::string error;
  if (index_ == nullptr || !index_->Days(folders_, &days, &error)) return;
  days_.clear();
  GeoBounds bounds;
  DaySummary total;
  size_t count = 0;
  std::map<std::string, std::pair<size_t, double>> years;
  std::map<std::string, double> months;
  for (ArchiveDay& day : days) {
    const std::string year = day.day.substr(0, 4);
    years[year].first += 1;
    years[year].second += day.summary.distanceMetres;
    months[day.day.substr(0, 7)] += day.summary.distanceMetres;
    if (day.day.compare(0, period_.size(), period_) == 0) {
      bounds.Include(day.bounds);
      total.points += day.summary.points;
      total.distanceMetres += day.summary.distanceMetres;
      total.movingSeconds += day.summary.movingSeconds;
      ++count;
    }
    days_[day.day + "/" + day.device] = std::move(day);
  }
  totals_->setText(QStringLiteral("%1 days, %2, moving %3, %4 points")
                       .arg(count)
                       .arg(DistanceText(total.distanceMetres))
                       .arg(QString::fromStdString(DurationText(total.movingSeconds)))
                       .arg(total.points));
  years_->clear();
  for (const auto& [year, figures] : years) {
    auto* item = new QListWidgetItem(QStringLiteral("%1  %2 days  %3")
                                         .arg(QString::fromStdString(year))
                                         .arg(figures.first)
                                         .arg(DistanceText(figures.second)),
                                     years_);
    item->setData(Qt::UserRole, QString::fromStdString(year));
    if (!map_->byDevice()) item->setForeground(AllDaysMap::YearColour(std::atoi(year.c_str())));
  }
  months_->SetMonths({months.begin(), months.end()});
  if (!bounds.empty) map_->FitUnlessMoved(bounds);
  // Days may have come or changed: their tiles are drawn again.
  map_->Refresh();
}

void AllDaysView::Ask(const ArchiveArea& area) {
  here_->clear();
  if (index_ == nullptr) return;
  std::vector<ArchiveDayVisits> days;
  std::string error;
  if (!index_->Here(folders_, area, &days, &error)) {
    here_->addItem(QString::fromStdString(error));
    return;
  }
  for (const ArchiveDayVisits& day : days) {
    if (day.day.compare(0, period_.size(), period_) != 0) continue;
    const auto known = days_.find(day.day + "/" + day.device);
    const double metres = known != days_.end() ? known->second.summary.distanceMetres : 0.0;
    auto* item = new QListWidgetItem(QStringLiteral("%1  %2 - %3  %4 visit%5  %6")
                                         .arg(QString::fromStdString(day.day))
                                         .arg(TimeText(day.first, false))
                                         .arg(TimeText(day.last, false))
                                         .arg(day.visits)
                                         .arg(day.visits == 1 ? "" : "s")
                                         .arg(DistanceText(metres)),
                                     here_);
    item->setData(Qt::UserRole, QString::fromStdString(day.day));
    item->setToolTip(QStringLiteral("%1 to %2 UTC%3")
                         .arg(TimeText(day.first, true))
                         .arg(TimeText(day.last, true))
                         .arg(folders_.size() > 1 ? QStringLiteral(", ") + QString::fromStdString(day.device)
                                                  : QString()));
  }
  if (here_->count() == 0) here_->addItem(QStringLiteral("No day passed there."));
}

}  // namespace pathmere
