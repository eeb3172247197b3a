#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/day_summary.h"
#include "archive/archive_codec.h"
#include "archive/archive_overview.h"

struct sqlite3;

namespace pathmere {

class ArchiveDayWriter;

// Every day ever logged, read once: an SQLite database beside nothing, in
// the user's cache, built from the day files (.plt) of one or more folders
// and brought up to date from them. The day files stay the truth; the index
// can be deleted at any time and costs only its rebuild.
//
// Per day: the file's size, modification time and the bytes of whole lines
// read (a file that only grew is read on from there; any other change reads
// it again; a removed one is dropped), the day's numbers as `summary` gives
// them (the points alone: the receiver's own speeds are not read, so the
// maximum speed is the points'), its bounds; its track as pieces of at most
// kPiecePoints points, each with its bounds in an R*Tree and its time span;
// and the overview tiles of archive_overview.h.

// A folder of day files and the device they come from (its name).
struct ArchiveFolder {
  std::filesystem::path path;
  std::string device;
};
// The folders `dir` stands for: itself when it holds day files, else each
// of its folders that does (a collector's USER-DEVICE folders), else
// itself. Empty when `dir` is not a folder.
std::vector<ArchiveFolder> ArchiveFoldersOf(const std::filesystem::path& dir);

// $XDG_CACHE_HOME/pathmere/archive/index.sqlite, else ~/.cache/...
std::filesystem::path DefaultArchiveIndexFile();

struct ArchiveUpdateReport {
  size_t days = 0;  // in the index for these folders, afterwards
  size_t added = 0;
  size_t reread = 0;  // changed other than by growing
  size_t grown = 0;
  size_t removed = 0;
  uint64_t pointsRead = 0;
  uint64_t bytesRead = 0;
};

// A place asked about: a circle, or a box (west above east crosses 180).
struct ArchiveArea {
  bool box = false;
  double latitude = 0.0;
  double longitude = 0.0;
  double radiusMetres = 100.0;
  double south = 0.0;
  double west = 0.0;
  double north = 0.0;
  double east = 0.0;

  bool Contains(double lat, double lon) const;
};

// A day that passed through an area: the first and last of its points in
// it (seconds since 1970, UTC) and how often it came in (runs of
// consecutive points inside).
struct ArchiveDayVisits {
  std::string day;  // YYYY-MM-DD, the day file's
  std::string device;
  int64_t first = 0;
  int64_t last = 0;
  int32_t visits = 0;
};

struct ArchivePeriodTotals {
  std::string period;  // YYYY or YYYY-MM
  size_t days = 0;
  double distanceMetres = 0.0;
  double movingSeconds = 0.0;
  uint64_t points = 0;
};

// One stored day's numbers.
struct ArchiveDay {
  std::string day;
  std::string device;
  DaySummary summary;  // without its stops
  GeoBounds bounds;
};

class ArchiveIndex {
 public:
  static constexpr size_t kPiecePoints = 256;

  // Opens the index at `file`, making it and its folders when missing. One
  // that cannot be read, is of another version or fails the check (SQLite's
  // quick_check, with `fullCheck`) is deleted and made anew, and `note`
  // says so. Null with `error` set when it cannot be made.
  static std::unique_ptr<ArchiveIndex> Open(const std::filesystem::path& file, bool fullCheck,
                                            std::string* note, std::string* error);
  ~ArchiveIndex();
  ArchiveIndex(const ArchiveIndex&) = delete;
  ArchiveIndex& operator=(const ArchiveIndex&) = delete;

  // Brings the days of `folders` up to date, a transaction for each
  // quarter second of work, so a kill loses at most that and days count
  // soon after they are read. `progress(done, total)` after each day file.
  using Progress = std::function<void(size_t done, size_t total)>;
  bool Update(const std::vector<ArchiveFolder>& folders, const Progress& progress,
              ArchiveUpdateReport* report, std::string* error);

  // Set from another thread, it ends an Update after the day being read (a
  // window that closes while it indexes).
  void SetCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }

  // The same for one day file of `folder` (its name, "2026-12-06.plt"),
  // for a logger that knows which day it has just flushed: it costs what
  // the file gained, whatever the number of days.
  bool UpdateFile(const ArchiveFolder& folder, const std::string& name, ArchiveUpdateReport* report,
                  std::string* error);

  // The days of `folders` with a point in `area`, newest first.
  bool Here(const std::vector<ArchiveFolder>& folders, const ArchiveArea& area,
            std::vector<ArchiveDayVisits>* days, std::string* error);
  // Days, distance, moving time and points per year (or month), oldest first.
  bool Totals(const std::vector<ArchiveFolder>& folders, bool byMonth,
              std::vector<ArchivePeriodTotals>* totals, std::string* error);
  bool Days(const std::vector<ArchiveFolder>& folders, std::vector<ArchiveDay>* days, std::string* error);
  // The overview tiles of one level (an index into kOverviewZooms) in the
  // tile columns and rows given, of every day of `folders`, with the day.
  using TileSink =
      std::function<void(const std::string& day, const std::string& device, const OverviewTile&)>;
  bool Overview(const std::vector<ArchiveFolder>& folders, int level, int64_t west, int64_t north,
                int64_t east, int64_t south, const TileSink& sink, std::string* error);

  // The full track of every day of `folders` where it meets `box`: the
  // pieces whose bounds meet it, those that follow one another without a
  // break joined into one line, each line with its day and device, a day's
  // in order. Beyond the overview's last zoom a view draws these.
  using PieceSink = std::function<void(const std::string& day, const std::string& device,
                                       const std::vector<ArchivePoint>& line)>;
  bool Pieces(const std::vector<ArchiveFolder>& folders, const GeoBounds& box, const PieceSink& sink,
              std::string* error);

  const std::filesystem::path& file() const { return file_; }

  // For a connection that only reads (a view): the file is read rather than
  // mapped, so its pages do not swell the process's memory.
  void ReadWithoutMemoryMap();

 private:
  ArchiveIndex(sqlite3* db, std::filesystem::path file);
  // Its statements, prepared at the first update and kept: a logger's
  // update after each flush costs what the day gained, not their making.
  ArchiveDayWriter* Writer();

  sqlite3* db_;
  std::filesystem::path file_;
  std::unique_ptr<ArchiveDayWriter> writer_;
  const std::atomic<bool>* cancel_ = nullptr;
};

}  // namespace pathmere
