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
class QTimer;

namespace pathmere {

class AllDaysMap;
class MapChoice;
class MonthStrip;

// "Pathmere - All days": every day of the output folder on one map, from
// the archive index (archive/archive_index.h). The index is brought up to
// date on a thread of its own, with a progress bar, and the map shows the
// days as they come. A click (or a Shift rectangle) lists the days that
// passed there, newest first, with their local times there (UTC in the
// tooltip) and distance; a double click on one opens it in the track view.
// Beside the map: the totals of the days shown, each year and a strip of
// months with their distances; a click on a year or a month shows it alone
// (a second click shows all again). Once indexed, today's day file (and
// yesterday's, past midnight) is read on as it grows, off the window's
// thread too, and drawn as it grows.
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
  MonthStrip* months() const { return months_; }
  // The colours of the devices, when there are several; hidden otherwise.
  QLabel* deviceKey() const { return key_; }
  // The index is up to date (the thread has finished).
  bool indexed() const { return indexed_; }
  // Lists the days that passed through `area`.
  void Ask(const ArchiveArea& area);
  // Reads on whatever today's day file gained, as the timer does every
  // kGrowMilliseconds; nothing while the index is still being built.
  void CheckToday();

  static constexpr int kGrowMilliseconds = 5000;

 private:
  void StartIndexing();
  void Indexed();
  void ShowTotals();
  void ShowKey();
  // Shows only the days whose date starts so (a year or a month); a
  // second time, all of them.
  void ShowPeriod(const std::string& period);

  std::vector<ArchiveFolder> folders_;
  std::filesystem::path indexFile_;
  std::unique_ptr<ArchiveIndex> index_;  // the window's thread's reader
  std::thread worker_;
  // The worker's connection, kept for the growing day's reads.
  std::unique_ptr<ArchiveIndex> writer_;
  bool busy_ = false;  // a worker runs
  QTimer* grow_ = nullptr;
  std::atomic<bool> cancel_{false};
  bool indexed_ = false;
  std::string period_;  // the year or month shown alone; empty for all
  std::map<std::string, ArchiveDay> days_;
  AllDaysMap* map_ = nullptr;
  MapChoice* mapChoice_ = nullptr;
  QListWidget* here_ = nullptr;
  QListWidget* years_ = nullptr;
  MonthStrip* months_ = nullptr;
  QLabel* key_ = nullptr;
  QLabel* totals_ = nullptr;
  QProgressBar* progress_ = nullptr;
};

}  // namespace pathmere
