#pragma once

#include <functional>
#include <memory>

#include <QString>
#include <QWidget>

#include "app/day_track_feed.h"
#include "app/live_position.h"
#include "app/program.h"
#include "platform/file_system.h"

class QLabel;
class QPushButton;

namespace pathmere {

class MapChoice;
class TrackMap;
class TrackSummaryPanel;

// "Pathmere - Track": a window beside the main one that draws a day's track,
// route points and waypoints from the output folder, with the points the
// writers still hold, and marks where the receiver is. It opens on the day
// the writers are on (today's when they have none yet) and follows them to
// the next day at midnight while it shows theirs; the buttons go to the
// other days with files. Not modal: the main window's ticks go on, and
// each calls Refresh.
class TrackView final : public QWidget {
 public:
  static constexpr int kProfileHeight = 110;

  TrackView(const Program& program, FileSystem& files, QWidget* parent = nullptr);
  ~TrackView() override;

  // New points, the marker and the day buttons; once a tick.
  void Refresh();
  void ShowDay(LocalDate day);
  void ShowPreviousDay();
  void ShowNextDay();
  // Map and profile as a PNG.
  bool SavePicture(const QString& path);
  // "2005-09-25.png": what "Save picture..." proposes.
  static QString PictureFileName(LocalDate day);

  LocalDate day() const { return feed_->date(); }
  const DayTrack& track() const { return feed_->track(); }
  TrackMap* map() const { return map_; }
  TrackSummaryPanel* summaryPanel() const { return summary_; }
  MapChoice* mapChoice() const { return mapChoice_; }
  QPushButton* previousButton() const { return previous_; }
  QPushButton* nextButton() const { return next_; }
  QPushButton* saveButton() const { return save_; }

  // Asks where "Save picture..." writes; an empty answer cancels. A file
  // dialog unless a test answers.
  std::function<QString()> askPictureFile;

 private:
  void UpdateDayButtons();
  void UpdateSummary();
  LocalDate CurrentDay() const;
  void OnSavePicture();

  const Program& program_;
  FileSystem& files_;
  std::unique_ptr<DayTrackFeed> feed_;
  LivePositionWatch watch_;
  // The shown day is the writers' day, so the view goes on with them.
  bool followsWriters_ = false;
  LocalDate previousDay_;
  LocalDate nextDay_;
  QWidget* content_ = nullptr;
  TrackMap* map_ = nullptr;
  QWidget* profile_ = nullptr;
  TrackSummaryPanel* summary_ = nullptr;
  MapChoice* mapChoice_ = nullptr;
  QLabel* dayLabel_ = nullptr;
  QPushButton* previous_ = nullptr;
  QPushButton* next_ = nullptr;
  QPushButton* save_ = nullptr;
};

}  // namespace pathmere
