#include "ui/track_view.h"

#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QStandardPaths>
#include <QToolTip>
#include <QVBoxLayout>

#include "ui/map/map_choice.h"
#include "ui/track_map.h"
#include "ui/track_painter.h"
#include "ui/track_summary_panel.h"
#include "ui/track_view_keys.h"

namespace pathmere {
namespace {

QString DayText(LocalDate day) {
  const QDate date(day.year, day.month, day.day);
  if (!date.isValid()) return QStringLiteral("%1-%2-%3").arg(day.year).arg(day.month).arg(day.day);
  return QLocale::c().toString(date, QStringLiteral("dddd yyyy-MM-dd"));
}

// The speed and altitude profile below the map; its tooltip tells the
// time, speed and altitude under the cursor.
class TrackProfile final : public QWidget {
 public:
  TrackProfile(const TrackView& view, QWidget* parent) : QWidget(parent), view_(view) {
    setObjectName(QStringLiteral("trackProfile"));
    setFixedHeight(TrackView::kProfileHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    PaintProfile(painter, rect(), view_.track(), palette());
  }
  bool event(QEvent* event) override {
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString text = ProfileToolTip(rect(), view_.track(), fontMetrics(), help->pos().x());
    if (text.isEmpty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(help->globalPos(), text, this);
    }
    return true;
  }

 private:
  const TrackView& view_;
};

}  // namespace

TrackView::TrackView(const Program& program, FileSystem& files, QWidget* parent)
    : QWidget(parent, Qt::Window), program_(program), files_(files) {
  setObjectName(QStringLiteral("trackView"));
  setWindowTitle(QStringLiteral("Pathmere - Track"));
  askPictureFile = [this] {
    // The day's name, where pictures are kept.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    return QFileDialog::getSaveFileName(this, QStringLiteral("Save picture"),
                                        QDir(folder).filePath(PictureFileName(day())),
                                        QStringLiteral("PNG pictures (*.png)"));
  };

  previous_ = new QPushButton(QStringLiteral("< Previous day"), this);
  next_ = new QPushButton(QStringLiteral("Next day >"), this);
  save_ = new QPushButton(QStringLiteral("Save picture..."), this);
  dayLabel_ = new QLabel(this);
  dayLabel_->setAlignment(Qt::AlignCenter);
  connect(previous_, &QPushButton::clicked, this, &TrackView::ShowPreviousDay);
  connect(next_, &QPushButton::clicked, this, &TrackView::ShowNextDay);
  connect(save_, &QPushButton::clicked, this, &TrackView::OnSavePicture);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(previous_);
  buttons->addWidget(dayLabel_, 1);
  buttons->addWidget(next_);
  buttons->addSpacing(16);
  mapChoice_ = new MapChoice(this);
  buttons->addWidget(mapChoice_);
  buttons->addWidget(save_);

  content_ = new QWidget(this);
  map_ = new TrackMap(content_);
  profile_ = new TrackProfile(*this, content_);
  summary_ = new TrackSummaryPanel(this);
  auto* pictures = new QVBoxLayout(content_);
  pictures->setContentsMargins(0, 0, 0, 0);
  pictures->setSpacing(1);
  pictures->addWidget(map_, 1);
  pictures->addWidget(profile_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  auto* besideSummary = new QHBoxLayout;
  besideSummary->addWidget(content_, 1);
  besideSummary->addWidget(summary_);
  layout->addLayout(besideSummary, 1);
  resize(800, 640);
  mapChoice_->onSource = [this](std::unique_ptr<TileSource> source) {
    map_->mapLayer().SetSource(std::move(source));
    map_->update();
  };
  mapChoice_->Restore();
  AddTrackViewKeys(*this);

  ShowDay(CurrentDay());
}

TrackView::~TrackView() = default;

LocalDate TrackView::CurrentDay() const {
  const LocalDate writers = PendingDayOf(program_.track(), program_.route(), program_.gpx()).trackDate;
  return writers.IsSet() ? writers : TodayLocal();
}

void TrackView::ShowDay(LocalDate day) {
  feed_ = std::make_unique<DayTrackFeed>(files_, program_.track().folder(), day);
  feed_->Update(PendingDayOf(program_.track(), program_.route(), program_.gpx()));
  dayLabel_->setText(DayText(day));
  map_->SetTrack(&feed_->track(), DayText(day));
  UpdateSummary();
  UpdateDayButtons();
  map_->SetPosition(watch_.Update(program_), followsWriters_);
  profile_->update();
}

void TrackView::UpdateSummary() {
  summary_->Update(feed_->track());
  map_->SetStops(summary_->summary().stops);
}

void TrackView::Refresh() {
  // The output folder can be changed while the view is open.
  const LocalDate current = CurrentDay();
  if (followsWriters_ && current != feed_->date()) {
    ShowDay(current);
    return;
  }
  // Another folder has other days: the view goes to the writers' day there.
  if (feed_->folder() != program_.track().folder()) {
    ShowDay(current);
    return;
  }
  // The numbers change with the facts line above the map, never after it.
  if (feed_->Update(PendingDayOf(program_.track(), program_.route(), program_.gpx()))) {
    map_->TrackChanged();
    profile_->update();
    UpdateSummary();
  }
  UpdateDayButtons();
  map_->SetPosition(watch_.Update(program_), followsWriters_);
}

void TrackView::UpdateDayButtons() {
  std::vector<LocalDate> days = DaysWithFiles(files_, feed_->folder());
  // The writers' day counts before its first flush.
  const LocalDate current = CurrentDay();
  days.push_back(current);
  const LocalDate shown = feed_->date();
  followsWriters_ = shown == current;
  previousDay_ = {};
  nextDay_ = {};
  for (const LocalDate& day : days) {
    if (day < shown && (!previousDay_.IsSet() || previousDay_ < day)) previousDay_ = day;
    if (shown < day && (!nextDay_.IsSet() || day < nextDay_)) nextDay_ = day;
  }
  previous_->setEnabled(previousDay_.IsSet());
  next_->setEnabled(nextDay_.IsSet());
}

void TrackView::ShowPreviousDay() {
  if (previousDay_.IsSet()) ShowDay(previousDay_);
}

void TrackView::ShowNextDay() {
  if (nextDay_.IsSet()) ShowDay(nextDay_);
}

bool TrackView::SavePicture(const QString& path) { return content_->grab().save(path, "PNG"); }

QString TrackView::PictureFileName(LocalDate day) {
  return QStringLiteral("%1-%2-%3.png")
      .arg(day.year, 4, 10, QLatin1Char('0'))
      .arg(day.month, 2, 10, QLatin1Char('0'))
      .arg(day.day, 2, 10, QLatin1Char('0'));
}

void TrackView::OnSavePicture() {
  QString path = askPictureFile();
  if (path.isEmpty()) return;
  // A name typed without its ending still makes a PNG file that says so.
  if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) path += QStringLiteral(".png");
  if (!SavePicture(path)) dayLabel_->setText(DayText(feed_->date()) + QStringLiteral(" - picture not saved"));
}

}  // namespace pathmere
