#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QWidget>

#include "app/day_track_feed.h"
#include "archive/archive_index.h"

class QLabel;
class QListWidget;
class QProgressBar;

namespace pathmere {

class AllDaysMap;
class MapChoice;

// "Pathmere - All days": every day of the output folder on one map, from
// the archive index (archive/archive_index.h). The index is brought up to
// date on a thread of its own, with a progress bar, and the map shows the
// days as they come. A click (or a Shift rectangle) lists the days that
// passed there, newest first, with their local times there (UTC in the
// tooltip) and distance; a double click on one opens it in the track view.
// Beside the map: the totals of the days shown and each year, a click on
// which shows that year alone.
class AllDaysView final : public QWidget {
 public:
  AllDaysView(std::vector<ArchiveFolder> folders, std::filesystem::path indexFile, QWidget* parent = nullptr);
  ~AllDaysView() override;

  // Asked to show a day in the track view.
  std::function<void(LocalDate)> onOpenDay;
  // Told when the index could not be opened or written.
  std::function<void(const QString&)> onProblem;

  AllDaysMap* map() const { return map_; }
  MapChoice* mapChoice() const { return mapChoice_; }
  QListWidget* daysHere() const { return here_; }
  QLabel* totals() const { return totals_; }
  QProgressBar* progress() const { return progress_; }
  // The index is up to date (the thread has finished).
  bool indexed() const { return indexed_; }
  // Lists the days that passed through `area`.
  void Ask(const ArchiveArea& area);

 private:
  void StartIndexing();
  void Indexed();
  void ShowTotals();

  std::vector<ArchiveFolder> folders_;
  std::filesystem::path indexFile_;
  std::unique_ptr<ArchiveIndex> index_;  // the window's thread's reader
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  bool indexed_ = false;
  std::string year_;  // shown alone; empty for all
  std::map<std::string, ArchiveDay> days_;
  AllDaysMap* map_ = nullptr;
  MapChoice* mapChoice_ = nullptr;
  QListWidget* here_ = nullptr;
  QListWidget* years_ = nullptr;
  QLabel* totals_ = nullptr;
  QProgressBar* progress_ = nullptr;
};

}  // namespace pathmere
