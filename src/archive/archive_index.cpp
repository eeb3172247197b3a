#include "archive/archive_index.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <system_error>
#include <tuple>
#include <type_traits>
#include <unordered_map>

#include "app/day_track.h"
#include "app/track_projection.h"
#include "archive/archive_codec.h"
#include "archive/archive_point_line.h"
#include "fix/track_pieces.h"
#include "fix/units.h"
#include "output/ozi_line_reader.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;

// Raise when the tables change: an index of another version is rebuilt.
constexpr int kSchemaVersion = 2;
// Bytes kept of what precedes the read offset, to tell a file that grew
// from one written anew.
constexpr size_t kTailBytes = 64;
constexpr double kSecondsPerDay = 86400.0;

constexpr const char* kSchema = R"(
CREATE TABLE folders(id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE, device TEXT NOT NULL);
CREATE TABLE days(
  id INTEGER PRIMARY KEY, folder INTEGER NOT NULL, file TEXT NOT NULL, date TEXT NOT NULL,
  size INTEGER NOT NULL, mtime INTEGER NOT NULL, offset INTEGER NOT NULL, tail BLOB NOT NULL,
  points INTEGER NOT NULL, segments INTEGER NOT NULL, first REAL, last REAL,
  distance REAL NOT NULL, total REAL NOT NULL, moving REAL NOT NULL, stopped REAL NOT NULL,
  without REAL NOT NULL, max_speed REAL NOT NULL, pause_speed REAL NOT NULL, has_altitude INTEGER NOT NULL,
  ascent REAL NOT NULL, descent REAL NOT NULL, highest REAL NOT NULL, lowest REAL NOT NULL,
  south REAL, west REAL, north REAL, east REAL, state BLOB NOT NULL,
  UNIQUE(folder, file));
CREATE TABLE pieces(id INTEGER PRIMARY KEY, day INTEGER NOT NULL, first_index INTEGER NOT NULL,
  count INTEGER NOT NULL, first_time INTEGER NOT NULL, last_time INTEGER NOT NULL, data BLOB NOT NULL);
CREATE INDEX pieces_of_day ON pieces(day, first_index);
CREATE VIRTUAL TABLE piece_box USING rtree(id, min_lon, max_lon, min_lat, max_lat);
CREATE TABLE tiles(zoom INTEGER NOT NULL, x INTEGER NOT NULL, y INTEGER NOT NULL, day INTEGER NOT NULL,
  run INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(zoom, x, y, day, run)) WITHOUT ROWID;
CREATE INDEX tiles_of_day ON tiles(day);
)";

// One prepared statement, reset for each use.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  Statement& Bind(int i, int64_t v) {
    sqlite3_bind_int64(stmt_, i, v);
    return *this;
  }
  Statement& Bind(int i, double v) {
    sqlite3_bind_double(stmt_, i, v);
    return *this;
  }
  Statement& Bind(int i, std::string_view v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& BindBlob(int i, std::string_view v) {
    sqlite3_bind_blob(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& BindNull(int i) {
    sqlite3_bind_null(stmt_, i);
    return *this;
  }
  // True while there is a row.
  bool Step() {
    if (stmt_ == nullptr) return false;
    last_ = sqlite3_step(stmt_);
    return last_ == SQLITE_ROW;
  }
  // Runs it to the end; true unless it failed.
  bool Run() {
    while (Step()) {
    }
    const bool good = last_ == SQLITE_DONE;
    Reset();
    return good;
  }
  void Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  bool failed() const { return stmt_ == nullptr || (last_ != SQLITE_DONE && last_ != SQLITE_ROW); }
  int64_t Int(int i) const { return sqlite3_column_int64(stmt_, i); }
  double Real(int i) const { return sqlite3_column_double(stmt_, i); }
  bool IsNull(int i) const { return sqlite3_column_type(stmt_, i) == SQLITE_NULL; }
  std::string Text(int i) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
    return text != nullptr ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, i)))
                           : std::string();
  }
  std::string_view Blob(int i) const {
    const void* data = sqlite3_column_blob(stmt_, i);
    return data != nullptr ? std::string_view(static_cast<const char*>(data),
                                              static_cast<size_t>(sqlite3_column_bytes(stmt_, i)))
                           : std::string_view();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int last_ = SQLITE_DONE;
};

bool Exec(sqlite3* db, const char* sql, std::string* error) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  if (error != nullptr) *error = message != nullptr ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  return false;
}

std::string ErrorOf(sqlite3* db) { return sqlite3_errmsg(db); }

// "2026-12-06.plt": the date, or empty.
std::string DateOfTrackFile(std::string_view name) {
  if (name.size() != 14 || name.substr(10) != ".plt" || name[4] != '-' || name[7] != '-') return {};
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (name[i] < '0' || name[i] > '9') return {};
  }
  const int month = (name[5] - '0') * 10 + (name[6] - '0');
  const int day = (name[8] - '0') * 10 + (name[9] - '0');
  if (month < 1 || month > 12 || day < 1 || day > 31) return {};
  return std::string(name.substr(0, 10));
}

bool HasTrackFiles(const fs::path& dir) {
  std::error_code error;
  for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
    if (!DateOfTrackFile(it->path().filename().string()).empty()) return true;
  }
  return false;
}

// The file's size and modification time (nanoseconds), from one stat: every
// update looks at every day file, so this is most of what a day that has
// not changed costs.
bool SizeAndTime(const fs::path& file, int64_t* size, int64_t* mtime) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return false;
  *size = static_cast<int64_t>(info.st_size);
  *mtime = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return true;
}

// Reads `file` from `offset` to its end; `size` (what it held a moment
// ago) only sizes the buffer. The reads go straight into `text`, sized one
// byte past that so a file that has not grown takes no second round, and
// grown while the file gives more.
bool ReadFrom(const fs::path& file, int64_t offset, int64_t size, std::string* text) {
  FILE* f = std::fopen(file.c_str(), "rb");
  if (f == nullptr) return false;
  bool good = std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0;
  size_t used = text->size();
  size_t room = size > offset ? static_cast<size_t>(size - offset) + 1 : size_t{1} << 16;
  while (good) {
    text->resize(used + room);
    const size_t got = std::fread(text->data() + used, 1, room, f);
    used += got;
    if (got < room) break;
    room = std::max(room, size_t{1} << 16);
  }
  good = good && std::ferror(f) == 0;
  text->resize(used);
  std::fclose(f);
  return good;
}

// The track points of whole lines of `text`, as the track view parses
// them; the bytes used.
size_t ParsePoints(std::string_view text, std::vector<ArchivePoint>* points) {
  points->reserve(points->size() + text.size() / 64);
  return ParseArchivePoints(text, points);
}

// The points as a day's track holds them (what the summary and the
// overview read), and their bounds: DayTrack's way without its running
// distance and speeds, which the index does not use.
std::vector<DayTrackPoint> TrackOf(const std::vector<ArchivePoint>& points, GeoBounds* bounds) {
  std::vector<DayTrackPoint> track(points.size());
  NearbyMercatorY mercator;
  for (size_t i = 0; i < points.size(); ++i) {
    const ArchivePoint& p = points[i];
    DayTrackPoint& t = track[i];
    t.latitude = LatitudeOf(p);
    t.longitude = LongitudeOf(p);
    t.dayNumber = DayNumberOf(p);
    t.hasAltitude = p.hasAltitude;
    t.altitudeMetres = p.hasAltitude ? static_cast<double>(p.altitude) / 100.0 / kFeetPerMetre : 0.0;
    t.startsPiece =
        StartsTrackPiece(i == 0, i == 0 ? 0.0 : (t.dayNumber - track[i - 1].dayNumber) * kSecondsPerDay);
    t.mercatorY = mercator.Of(t.latitude);
    bounds->Include(t.latitude, t.longitude);
  }
  return track;
}

// The day's summing so far (DaySummaryState), as the numbers it holds in
// order, each in its 8 bytes as this machine keeps them: the index is a
// cache of this machine's.
template <typename Visit>
void ForEachStateField(DaySummaryState& s, Visit&& visit) {
  visit(s.done);
  visit(s.firstDayNumber);
  visit(s.segments);
  visit(s.withoutPointsSeconds);
  visit(s.distanceMetres);
  visit(s.joinedSeconds);
  visit(s.maxSpeed);
  for (DaySummaryState::Pauses& p : s.pauses) {
    visit(p.slowRun);
    visit(p.movingSeconds);
    visit(p.stoppedSeconds);
  }
  visit(s.hasAltitude);
  visit(s.highestMetres);
  visit(s.lowestMetres);
  visit(s.ascentMetres);
  visit(s.descentMetres);
  visit(s.climb.started);
  visit(s.climb.direction);
  visit(s.climb.low);
  visit(s.climb.high);
  visit(s.climb.ascent);
  visit(s.climb.descent);
}

std::string EncodeState(DaySummaryState state) {
  std::string out;
  ForEachStateField(state, [&out](auto& field) {
    char bytes[8] = {};
    if constexpr (std::is_same_v<std::decay_t<decltype(field)>, double>) {
      std::memcpy(bytes, &field, 8);
    } else {
      const int64_t whole = static_cast<int64_t>(field);
      std::memcpy(bytes, &whole, 8);
    }
    out.append(bytes, 8);
  });
  return out;
}

bool DecodeState(std::string_view blob, DaySummaryState* state) {
  size_t at = 0;
  bool good = true;
  ForEachStateField(*state, [&](auto& field) {
    if (at + 8 > blob.size()) {
      good = false;
      return;
    }
    using Field = std::decay_t<decltype(field)>;
    if constexpr (std::is_same_v<Field, double>) {
      std::memcpy(&field, blob.data() + at, 8);
    } else {
      int64_t whole = 0;
      std::memcpy(&whole, blob.data() + at, 8);
      field = static_cast<Field>(whole);
    }
    at += 8;
  });
  return good && at == blob.size();
}

struct StoredDay {
  int64_t id = 0;
  int64_t size = 0;
  int64_t mtime = 0;
  int64_t offset = 0;
  std::string tail;
  bool seen = false;
};

// "(1,4,7)": the folders' ids, for an IN clause.
std::string IdList(const std::vector<int64_t>& ids) {
  std::string list = "(";
  for (size_t i = 0; i < ids.size(); ++i) list += (i > 0 ? "," : "") + std::to_string(ids[i]);
  return list + ")";
}

std::string FolderKey(const fs::path& path) {
  std::error_code error;
  const fs::path canonical = fs::weakly_canonical(fs::absolute(path, error), error);
  return (error ? path : canonical).string();
}

// The index's work on one day, with statements prepared once per update.
class DayWriter {
 public:
  explicit DayWriter(sqlite3* db)
      : db_(db),
        deleteBoxes_(
            db,
            "DELETE FROM piece_box WHERE id IN (SELECT id FROM pieces WHERE day = ?1 AND first_index >= ?2)"),
        deletePieces_(db, "DELETE FROM pieces WHERE day = ?1 AND first_index >= ?2"),
        deleteTiles_(db, "DELETE FROM tiles WHERE day = ?1 AND run >= ?2"),
        deleteDay_(db, "DELETE FROM days WHERE id = ?1"),
        insertPiece_(
            db,
            "INSERT INTO pieces(day, first_index, count, first_time, last_time, data) VALUES(?,?,?,?,?,?)"),
        insertBox_(db, "INSERT INTO piece_box VALUES(?,?,?,?,?)"),
        insertTile_(db, "INSERT INTO tiles VALUES(?,?,?,?,?,?)"),
        lastPiece_(db, "SELECT first_index FROM pieces WHERE day = ?1 ORDER BY first_index DESC LIMIT 1"),
        piecesFrom_(db,
                    "SELECT first_index, count, data FROM pieces WHERE day = ?1 AND first_index >= ?2 "
                    "ORDER BY first_index"),
        dayState_(db, "SELECT points, state, south, west, north, east FROM days WHERE id = ?1"),
        insertDay_(
            db,
            "INSERT INTO days(folder, file, date, size, mtime, offset, tail, points, segments, first, last, "
            "distance, total, moving, stopped, without, max_speed, pause_speed, has_altitude, ascent, "
            "descent, highest, lowest, south, west, north, east, state) "
            "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
        updateDay_(db,
                   "UPDATE days SET size=?2, mtime=?3, offset=?4, tail=?5, points=?6, segments=?7, first=?8, "
                   "last=?9, distance=?10, total=?11, moving=?12, stopped=?13, without=?14, max_speed=?15, "
                   "pause_speed=?16, has_altitude=?17, ascent=?18, descent=?19, highest=?20, lowest=?21, "
                   "south=?22, west=?23, north=?24, east=?25, state=?26 WHERE id=?1") {}

  bool ok() const {
    return deleteBoxes_.ok() && deletePieces_.ok() && deleteTiles_.ok() && deleteDay_.ok() &&
           insertPiece_.ok() && insertBox_.ok() && insertTile_.ok() && lastPiece_.ok() && piecesFrom_.ok() &&
           dayState_.ok() && insertDay_.ok() && updateDay_.ok();
  }

  bool Remove(int64_t day) {
    return deleteBoxes_.Bind(1, day).Bind(2, int64_t{0}).Run() &&
           deletePieces_.Bind(1, day).Bind(2, int64_t{0}).Run() &&
           deleteTiles_.Bind(1, day).Bind(2, int64_t{0}).Run() && deleteDay_.Bind(1, day).Run();
  }

  // A day read whole: `points` are all its points.
  bool Add(int64_t folder, const std::string& file, const std::string& date, int64_t size, int64_t mtime,
           int64_t offset, const std::string& tail, const std::vector<ArchivePoint>& points) {
    GeoBounds bounds;
    const std::vector<DayTrackPoint> track = TrackOf(points, &bounds);
    DaySummaryState state;
    DaySummary summary;
    SummariseOn(&state, track, 0, &summary);
    insertDay_.Bind(1, folder).Bind(2, file).Bind(3, date);
    BindFigures(insertDay_, 4, size, mtime, offset, tail, summary, bounds, state);
    if (!insertDay_.Run()) return false;
    const int64_t day = sqlite3_last_insert_rowid(db_);
    return WritePieces(day, points, track, 0, 0) && WriteTiles(day, track, 0);
  }

  // A day whose file grew: `added` are the points of what it gained. Only
  // the day's end is read back from the index (its last piece, its last
  // run of the overview, the few points its summing needs again), so this
  // costs what the day gained, not the day.
  bool Grow(int64_t day, int64_t size, int64_t mtime, int64_t offset, const std::string& tail,
            const std::vector<ArchivePoint>& added) {
    if (!dayState_.Bind(1, day).Step()) {
      dayState_.Reset();
      return false;
    }
    const int64_t had = dayState_.Int(0);
    DaySummaryState state;
    const bool stateKnown =
        DecodeState(dayState_.Blob(1), &state) && state.done <= static_cast<uint64_t>(had);
    GeoBounds bounds;
    if (!dayState_.IsNull(2)) {
      bounds.Include(dayState_.Real(2), dayState_.Real(3));
      bounds.Include(dayState_.Real(4), dayState_.Real(5));
    }
    dayState_.Reset();
    int64_t lastPiece = 0;
    if (lastPiece_.Bind(1, day).Step()) lastPiece = lastPiece_.Int(0);
    lastPiece_.Reset();
    const int64_t run = had > 0 ? (had - 1) / static_cast<int64_t>(kOverviewRunPoints) : 0;
    int64_t need = std::min(lastPiece, run * static_cast<int64_t>(kOverviewRunPoints));
    if (stateKnown) {
      need = std::min(need, std::max<int64_t>(0, static_cast<int64_t>(state.done) -
                                                     int64_t{DaySummaryState::kPointsBefore}));
    }
    std::vector<ArchivePoint> points;
    int64_t first = 0;
    DaySummary summary;
    bool summed = false;
    if (stateKnown && PointsFrom(day, need, &first, &points)) {
      points.insert(points.end(), added.begin(), added.end());
      const std::vector<DayTrackPoint> track = TrackOf(points, &bounds);
      summed = first <= need && SummariseOn(&state, track, static_cast<size_t>(first), &summary);
      if (summed) {
        return WriteGrown(day, size, mtime, offset, tail, summary, bounds, state, points, track, first,
                          lastPiece, run);
      }
    }
    // The index does not hold what summing on needs: the day again, from
    // its pieces.
    points.clear();
    if (!PointsFrom(day, 0, &first, &points)) return false;
    points.insert(points.end(), added.begin(), added.end());
    bounds = GeoBounds();
    const std::vector<DayTrackPoint> track = TrackOf(points, &bounds);
    state = DaySummaryState();
    SummariseOn(&state, track, 0, &summary);
    return WriteGrown(day, size, mtime, offset, tail, summary, bounds, state, points, track, 0, lastPiece,
                      run);
  }

  // Only the file's size and time changed, not its points.
  bool Touch(int64_t day, int64_t size, int64_t mtime) {
    Statement touch(db_, "UPDATE days SET size = ?2, mtime = ?3 WHERE id = ?1");
    return touch.Bind(1, day).Bind(2, size).Bind(3, mtime).Run();
  }

 private:
  static void BindFigures(Statement& s, int at, int64_t size, int64_t mtime, int64_t offset,
                          const std::string& tail, const DaySummary& d, const GeoBounds& b,
                          const DaySummaryState& state) {
    s.Bind(at, size).Bind(at + 1, mtime).Bind(at + 2, offset).BindBlob(at + 3, tail);
    s.Bind(at + 4, static_cast<int64_t>(d.points)).Bind(at + 5, static_cast<int64_t>(d.segments));
    if (d.points > 0) {
      s.Bind(at + 6, d.firstDayNumber).Bind(at + 7, d.lastDayNumber);
    } else {
      s.BindNull(at + 6).BindNull(at + 7);
    }
    s.Bind(at + 8, d.distanceMetres).Bind(at + 9, d.totalSeconds).Bind(at + 10, d.movingSeconds);
    s.Bind(at + 11, d.stoppedSeconds).Bind(at + 12, d.withoutPointsSeconds).Bind(at + 13, d.maxSpeed);
    s.Bind(at + 14, d.pauseSpeed).Bind(at + 15, int64_t{d.hasAltitude ? 1 : 0}).Bind(at + 16, d.ascentMetres);
    s.Bind(at + 17, d.descentMetres).Bind(at + 18, d.highestMetres).Bind(at + 19, d.lowestMetres);
    if (b.empty) {
      for (int i = 20; i < 24; ++i) s.BindNull(at + i);
    } else {
      s.Bind(at + 20, b.south).Bind(at + 21, b.west).Bind(at + 22, b.north).Bind(at + 23, b.east);
    }
    s.BindBlob(at + 24, EncodeState(state));
  }

  // The day's points from the piece that holds point `from` on, and the
  // index of the first; false when the pieces cannot be read or do not
  // follow one another.
  bool PointsFrom(int64_t day, int64_t from, int64_t* first, std::vector<ArchivePoint>* points) {
    const int64_t earliest =
        std::max<int64_t>(0, from - static_cast<int64_t>(ArchiveIndex::kPiecePoints) + 1);
    piecesFrom_.Bind(1, day).Bind(2, earliest);
    bool good = true;
    int64_t next = -1;
    while (good && piecesFrom_.Step()) {
      const int64_t index = piecesFrom_.Int(0);
      if (next < 0 && index + piecesFrom_.Int(1) <= from) continue;  // ends before `from`
      if (next < 0) *first = next = index;
      good = index == next && DecodePoints(piecesFrom_.Blob(2), points);
      next = index + piecesFrom_.Int(1);
    }
    good = good && !piecesFrom_.failed();
    piecesFrom_.Reset();
    if (next < 0) *first = from;  // no pieces: a day without points
    return good && *first <= from;
  }

  // The grown day's figures, its pieces from the last one on and its
  // overview from run `run` on; `points` and `track` begin at the day's
  // point `first`.
  bool WriteGrown(int64_t day, int64_t size, int64_t mtime, int64_t offset, const std::string& tail,
                  const DaySummary& summary, const GeoBounds& bounds, const DaySummaryState& state,
                  const std::vector<ArchivePoint>& points, const std::vector<DayTrackPoint>& track,
                  int64_t first, int64_t lastPiece, int64_t run) {
    updateDay_.Bind(1, day);
    BindFigures(updateDay_, 2, size, mtime, offset, tail, summary, bounds, state);
    const int64_t runStart = run * static_cast<int64_t>(kOverviewRunPoints);
    // The last piece may have room left: it is written again with what
    // follows it.
    return updateDay_.Run() && deleteBoxes_.Bind(1, day).Bind(2, lastPiece).Run() &&
           deletePieces_.Bind(1, day).Bind(2, lastPiece).Run() &&
           WritePieces(day, points, track, static_cast<size_t>(lastPiece - first), first) &&
           deleteTiles_.Bind(1, day).Bind(2, run).Run() &&
           // An index that held fewer points than it said gets no tiles of
           // runs it does not have, rather than a read past the track.
           WriteTiles(day,
                      std::span(track).subspan(std::min(static_cast<size_t>(runStart - first), track.size())),
                      run);
  }

  // Pieces from `points[from]` on (`points` begin at the day's point
  // `firstIndex`): a new one at each break of the line and after
  // kPiecePoints points.
  bool WritePieces(int64_t day, const std::vector<ArchivePoint>& points,
                   const std::vector<DayTrackPoint>& track, size_t from, int64_t firstIndex) {
    size_t start = from;
    while (start < points.size()) {
      size_t end = start + 1;
      while (end < points.size() && end - start < ArchiveIndex::kPiecePoints && !track[end].startsPiece)
        ++end;
      double south = 90.0, north = -90.0, west = 180.0, east = -180.0;
      int64_t first = INT64_MAX, last = INT64_MIN;
      for (size_t i = start; i < end; ++i) {
        south = std::min(south, track[i].latitude);
        north = std::max(north, track[i].latitude);
        west = std::min(west, track[i].longitude);
        east = std::max(east, track[i].longitude);
        const int64_t seconds = UnixSecondsOf(track[i].dayNumber);
        first = std::min(first, seconds);
        last = std::max(last, seconds);
      }
      insertPiece_.Bind(1, day)
          .Bind(2, firstIndex + static_cast<int64_t>(start))
          .Bind(3, static_cast<int64_t>(end - start));
      insertPiece_.Bind(4, first).Bind(5, last).BindBlob(6, EncodePoints(points.data() + start, end - start));
      if (!insertPiece_.Run()) return false;
      const int64_t piece = sqlite3_last_insert_rowid(db_);
      if (!insertBox_.Bind(1, piece).Bind(2, west).Bind(3, east).Bind(4, south).Bind(5, north).Run())
        return false;
      start = end;
    }
    return true;
  }

  bool WriteTiles(int64_t day, std::span<const DayTrackPoint> track, int64_t run) {
    for (const OverviewTile& tile : BuildOverviewTiles(track, static_cast<size_t>(run))) {
      insertTile_.Bind(1, int64_t{tile.zoom})
          .Bind(2, tile.x)
          .Bind(3, tile.y)
          .Bind(4, day)
          .Bind(5, tile.run)
          .BindBlob(6, tile.blob);
      if (!insertTile_.Run()) return false;
    }
    return true;
  }

  sqlite3* db_;
  Statement deleteBoxes_, deletePieces_, deleteTiles_, deleteDay_, insertPiece_, insertBox_, insertTile_,
      lastPiece_, piecesFrom_, dayState_, insertDay_, updateDay_;
};

// A transaction that is rolled back unless committed.
class Transaction {
 public:
  explicit Transaction(sqlite3* db) : db_(db) { begun_ = Exec(db_, "BEGIN IMMEDIATE", nullptr); }
  ~Transaction() {
    if (begun_) Exec(db_, "ROLLBACK", nullptr);
  }
  bool Commit() {
    begun_ = !Exec(db_, "COMMIT", nullptr) && begun_;
    return !begun_;
  }
  bool begun() const { return begun_; }

 private:
  sqlite3* db_;
  bool begun_ = false;
};

// Reads one day file into the index as far as it changed since `day` (null:
// not in the index yet), inside the caller's transaction. False when the
// index cannot be written.
bool IndexFile(DayWriter& writer, int64_t folder, const fs::path& path, const std::string& name,
               const std::string& date, StoredDay* day, ArchiveUpdateReport* report) {
  int64_t size = 0;
  int64_t mtime = 0;
  if (!SizeAndTime(path, &size, &mtime)) return true;  // gone since the listing: dropped next time
  if (day != nullptr && day->size == size && day->mtime == mtime) return true;
  // Grown when the bytes before the old end are still what they were.
  bool grown = false;
  std::string text;
  if (day != nullptr && size > day->size) {
    const int64_t tailStart = day->offset - static_cast<int64_t>(day->tail.size());
    grown = ReadFrom(path, tailStart, size, &text) && text.compare(0, day->tail.size(), day->tail) == 0;
    if (grown) text.erase(0, day->tail.size());
  }
  if (!grown) {
    text.clear();
    if (!ReadFrom(path, 0, size, &text)) return true;  // unreadable now; tried again next time
  }
  std::vector<ArchivePoint> points;
  const size_t used = ParsePoints(text, &points);
  const int64_t offset = (grown ? day->offset : 0) + static_cast<int64_t>(used);
  // The tail: what precedes the new offset, from the old tail when the
  // file gained less than a tail's bytes.
  std::string tail = grown ? day->tail + text.substr(0, used) : text.substr(0, used);
  if (tail.size() > kTailBytes) tail.erase(0, tail.size() - kTailBytes);
  report->pointsRead += points.size();
  report->bytesRead += text.size();

  bool written = false;
  if (grown && points.empty()) {
    written = writer.Touch(day->id, size, mtime);
  } else if (grown) {
    written = writer.Grow(day->id, size, mtime, offset, tail, points);
    ++report->grown;
  } else {
    written = (day == nullptr || writer.Remove(day->id)) &&
              writer.Add(folder, name, date, size, mtime, offset, tail, points);
    ++(day == nullptr ? report->added : report->reread);
  }
  return written;
}

sqlite3* OpenDatabase(const fs::path& file, std::string* problem) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    *problem = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, 10000);
  return db;
}

// Empty when the database is a usable index of this version (made now if
// it was empty); else what is wrong with it.
std::string CheckOrCreate(sqlite3* db, bool fullCheck) {
  std::string error;
  // Pages of 16 KB (for a new index; an existing one keeps its own) give a
  // first build fewer, larger writes than 4 KB ones: about a tenth less
  // time. WAL keeps the index whole across a kill; a checkpoint every 4,096
  // pages rather than 1,000 keeps a first build from syncing every few days.
  if (!Exec(db,
            "PRAGMA page_size=16384; PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; "
            "PRAGMA wal_autocheckpoint=4096; PRAGMA cache_size=-32768; PRAGMA mmap_size=1073741824;",
            &error)) {
    return error;
  }
  Statement version(db, "PRAGMA user_version");
  if (!version.Step()) return ErrorOf(db);
  const int64_t found = version.Int(0);
  version.Reset();
  if (found == 0) {
    Statement tables(db, "SELECT count(*) FROM sqlite_master");
    if (!tables.Step()) return ErrorOf(db);
    if (tables.Int(0) != 0) return "it holds other tables";
    tables.Reset();
    Transaction make(db);
    if (!Exec(db, kSchema, &error)) return error;
    if (!Exec(db, ("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str(), &error)) return error;
    if (!make.Commit()) return ErrorOf(db);
    return {};
  }
  if (found != kSchemaVersion) return "it is of version " + std::to_string(found);
  if (fullCheck) {
    Statement check(db, "PRAGMA quick_check");
    if (!check.Step()) return ErrorOf(db);
    const std::string result = check.Text(0);
    if (result != "ok") return result;
  }
  return {};
}

void RemoveDatabase(const fs::path& file) {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(fs::path(file.string() + suffix), ignored);
}

}  // namespace

bool ArchiveArea::Contains(double lat, double lon) const {
  if (!box) return GroundDistanceMetres(latitude, longitude, lat, lon) <= radiusMetres;
  if (lat < south || lat > north) return false;
  return west <= east ? lon >= west && lon <= east : lon >= west || lon <= east;
}

std::vector<ArchiveFolder> ArchiveFoldersOf(const fs::path& dir) {
  std::error_code error;
  if (!fs::is_directory(dir, error)) return {};
  const auto deviceOf = [](const fs::path& path) {
    const fs::path name = path.filename().empty() ? path.parent_path().filename() : path.filename();
    return name.string();
  };
  if (HasTrackFiles(dir)) return {{dir, deviceOf(dir)}};
  std::vector<ArchiveFolder> folders;
  for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
    if (it->is_directory(error) && HasTrackFiles(it->path()))
      folders.push_back({it->path(), deviceOf(it->path())});
  }
  std::sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) { return a.path < b.path; });
  if (folders.empty()) folders.push_back({dir, deviceOf(dir)});
  return folders;
}

fs::path DefaultArchiveIndexFile() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  fs::path root;
  if (cache != nullptr && cache[0] == '/') {
    root = cache;
  } else {
    const char* home = std::getenv("HOME");
    root = fs::path(home != nullptr ? home : ".") / ".cache";
  }
  return root / "pathmere" / "archive" / "index.sqlite";
}

std::unique_ptr<ArchiveIndex> ArchiveIndex::Open(const fs::path& file, bool fullCheck, std::string* note,
                                                 std::string* error) {
  std::error_code made;
  fs::create_directories(file.parent_path(), made);
  std::string problem;
  sqlite3* db = OpenDatabase(file, &problem);
  if (db != nullptr) problem = CheckOrCreate(db, fullCheck);
  if (db == nullptr || !problem.empty()) {
    sqlite3_close(db);
    if (note != nullptr) {
      *note = "the archive index " + file.string() + " cannot be used (" + problem + "); it is made anew";
    }
    RemoveDatabase(file);
    db = OpenDatabase(file, &problem);
    if (db != nullptr) problem = CheckOrCreate(db, false);
    if (db == nullptr || !problem.empty()) {
      sqlite3_close(db);
      *error = "cannot make the archive index " + file.string() + ": " + problem;
      return nullptr;
    }
  }
  return std::unique_ptr<ArchiveIndex>(new ArchiveIndex(db, file));
}

// The writer's statements of a day, named outside this file only by the
// index that keeps them.
class ArchiveDayWriter : public DayWriter {
 public:
  using DayWriter::DayWriter;
};

ArchiveIndex::ArchiveIndex(sqlite3* db, fs::path file) : db_(db), file_(std::move(file)) {}

ArchiveIndex::~ArchiveIndex() {
  writer_.reset();  // its statements are finalised before the database is closed
  sqlite3_close(db_);
}

ArchiveDayWriter* ArchiveIndex::Writer() {
  if (writer_ == nullptr || !writer_->ok()) writer_ = std::make_unique<ArchiveDayWriter>(db_);
  return writer_.get();
}

namespace {

// The folders' ids in the index, made when missing with `make`.
bool FolderIds(sqlite3* db, const std::vector<ArchiveFolder>& folders, bool make, std::vector<int64_t>* ids,
               std::string* error) {
  Statement find(db, "SELECT id FROM folders WHERE path = ?1");
  Statement add(db, "INSERT INTO folders(path, device) VALUES(?1, ?2)");
  for (const ArchiveFolder& folder : folders) {
    const std::string key = FolderKey(folder.path);
    if (find.Bind(1, key).Step()) {
      ids->push_back(find.Int(0));
    } else if (make) {
      if (!add.Bind(1, key).Bind(2, folder.device).Run()) {
        *error = ErrorOf(db);
        return false;
      }
      ids->push_back(sqlite3_last_insert_rowid(db));
    }
    find.Reset();
  }
  return true;
}

}  // namespace

bool ArchiveIndex::Update(const std::vector<ArchiveFolder>& folders, const Progress& progress,
                          ArchiveUpdateReport* report, std::string* error) {
  *report = {};
  std::vector<int64_t> ids;
  if (!FolderIds(db_, folders, true, &ids, error)) return false;
  // Every folder's listing first, so progress knows the whole.
  struct Listed {
    int64_t folder;
    fs::path path;
    std::string name;
    std::string date;
  };
  std::vector<Listed> listed;
  for (size_t f = 0; f < folders.size(); ++f) {
    std::error_code failed;
    for (fs::directory_iterator it(folders[f].path, failed), end; !failed && it != end;
         it.increment(failed)) {
      std::string name = it->path().filename().string();
      std::string date = DateOfTrackFile(name);
      if (!date.empty()) listed.push_back({ids[f], it->path(), std::move(name), std::move(date)});
    }
    if (failed) {
      *error = "cannot list " + folders[f].path.string() + ": " + failed.message();
      return false;
    }
  }
  std::sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
    return std::tie(a.date, a.folder) < std::tie(b.date, b.folder);
  });

  std::map<std::pair<int64_t, std::string>, StoredDay> stored;
  {
    Statement days(
        db_, ("SELECT folder, file, id, size, mtime, offset, tail FROM days WHERE folder IN " + IdList(ids))
                 .c_str());
    while (days.Step()) {
      stored[{days.Int(0), days.Text(1)}] = {
          days.Int(2), days.Int(3), days.Int(4), days.Int(5), std::string(days.Blob(6)), false};
    }
    if (days.failed()) {
      *error = ErrorOf(db_);
      return false;
    }
  }
  DayWriter& writer = *Writer();
  if (!writer.ok()) {
    *error = ErrorOf(db_);
    return false;
  }
  const auto failed = [&](const std::string& what) {
    *error = what + ": " + ErrorOf(db_);
    return false;
  };
  // Days go in a transaction at a time of about a quarter second's work:
  // one a day wrote the pages every day shares (the spatial index's, the
  // tiles') again each day, ten times the index's size in all. A kill loses
  // at most that quarter second, and days still show as they come in.
  constexpr auto kBatch = std::chrono::milliseconds(250);
  std::optional<Transaction> batch;
  auto batchStart = std::chrono::steady_clock::now();
  size_t done = 0;
  for (const Listed& file : listed) {
    if (cancel_ != nullptr && cancel_->load()) break;
    const auto known = stored.find({file.folder, file.name});
    StoredDay* day = known != stored.end() ? &known->second : nullptr;
    if (day != nullptr) day->seen = true;
    if (!batch) {
      batch.emplace(db_);
      batchStart = std::chrono::steady_clock::now();
      if (!batch->begun()) return failed("cannot write the archive index");
    }
    if (!IndexFile(writer, file.folder, file.path, file.name, file.date, day, report)) {
      return failed("cannot write the archive index");
    }
    ++done;
    if (std::chrono::steady_clock::now() - batchStart >= kBatch || done == listed.size()) {
      if (!batch->Commit()) return failed("cannot write the archive index");
      batch.reset();
    }
    if (progress) progress(done, listed.size());
  }
  if (batch && !batch->Commit()) return failed("cannot write the archive index");
  if (cancel_ != nullptr && cancel_->load()) return true;
  for (const auto& [key, day] : stored) {
    if (day.seen) continue;
    Transaction transaction(db_);
    if (!writer.Remove(day.id) || !transaction.Commit()) return failed("cannot write the archive index");
    ++report->removed;
  }
  // The log folded back into the database, so the file on disk is all.
  if (report->added + report->grown + report->reread + report->removed > 0) {
    Exec(db_, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr);
  }
  Statement count(db_, ("SELECT count(*) FROM days WHERE folder IN " + IdList(ids)).c_str());
  if (count.Step()) report->days = static_cast<size_t>(count.Int(0));
  return true;
}

bool ArchiveIndex::UpdateFile(const ArchiveFolder& folder, const std::string& name,
                              ArchiveUpdateReport* report, std::string* error) {
  *report = {};
  const std::string date = DateOfTrackFile(name);
  if (date.empty()) {
    *error = name + " is not a day's track file";
    return false;
  }
  std::vector<int64_t> ids;
  if (!FolderIds(db_, {folder}, true, &ids, error)) return false;
  Statement find(db_, "SELECT id, size, mtime, offset, tail FROM days WHERE folder = ?1 AND file = ?2");
  StoredDay stored;
  const bool known = find.Bind(1, ids.front()).Bind(2, name).Step();
  if (known) stored = {find.Int(0), find.Int(1), find.Int(2), find.Int(3), std::string(find.Blob(4)), true};
  find.Reset();
  DayWriter& writer = *Writer();
  const fs::path path = folder.path / name;
  std::error_code missing;
  bool good = writer.ok();
  if (good && !fs::exists(path, missing)) {
    if (known) {
      Transaction transaction(db_);
      good = writer.Remove(stored.id) && transaction.Commit();
      ++report->removed;
    }
  } else if (good) {
    Transaction transaction(db_);
    good = transaction.begun() &&
           IndexFile(writer, ids.front(), path, name, date, known ? &stored : nullptr, report) &&
           transaction.Commit();
  }
  if (!good) *error = "cannot write the archive index: " + ErrorOf(db_);
  return good;
}

bool ArchiveIndex::Here(const std::vector<ArchiveFolder>& folders, const ArchiveArea& area,
                        std::vector<ArchiveDayVisits>* days, std::string* error) {
  // One read transaction for the whole answer: one lock, one snapshot.
  Exec(db_, "BEGIN", nullptr);
  struct End {
    sqlite3* db;
    ~End() { Exec(db, "COMMIT", nullptr); }
  } end{db_};
  std::vector<int64_t> ids;
  if (!FolderIds(db_, folders, false, &ids, error)) return false;
  // The area's bounds in degrees, each a range of longitudes (two across 180).
  double south = area.south, north = area.north;
  std::vector<std::pair<double, double>> lons;
  if (area.box) {
    if (area.west <= area.east) {
      lons.emplace_back(area.west, area.east);
    } else {
      lons.emplace_back(area.west, 180.0);
      lons.emplace_back(-180.0, area.east);
    }
  } else {
    // A little more than the radius: the R*Tree's bounds are rounded out,
    // and the haversine's earth is not quite 111195 m a degree.
    const double degrees = area.radiusMetres / 111195.0 * 1.01 + 1e-6;
    south = area.latitude - degrees;
    north = area.latitude + degrees;
    const double widest = std::max(std::fabs(south), std::fabs(north));
    if (widest >= 89.0) {
      lons.emplace_back(-180.0, 180.0);
    } else {
      const double across = degrees / std::cos(widest * 3.14159265358979323846 / 180.0);
      const double west = area.longitude - across, east = area.longitude + across;
      if (across >= 180.0) {
        lons.emplace_back(-180.0, 180.0);
      } else if (west < -180.0) {
        lons.emplace_back(west + 360.0, 180.0);
        lons.emplace_back(-180.0, east);
      } else if (east > 180.0) {
        lons.emplace_back(west, 180.0);
        lons.emplace_back(-180.0, east - 360.0);
      } else {
        lons.emplace_back(west, east);
      }
    }
  }
  struct Inside {
    int64_t index;
    int64_t seconds;
  };
  std::unordered_map<int64_t, std::vector<Inside>> inside;
  std::set<int64_t> seenPieces;
  const std::string sql =
      "SELECT p.id, p.day, p.first_index, p.data FROM piece_box b CROSS JOIN pieces p CROSS JOIN days d "
      "WHERE p.id = b.id AND d.id = p.day AND b.max_lat >= ?1 AND b.min_lat <= ?2 AND b.max_lon >= ?3 "
      "AND b.min_lon <= ?4 AND d.folder IN " +
      IdList(ids);
  Statement query(db_, sql.c_str());
  std::vector<ArchivePoint> points;
  for (const auto& [west, east] : lons) {
    query.Bind(1, south).Bind(2, north).Bind(3, west).Bind(4, east);
    while (query.Step()) {
      if (lons.size() > 1 && !seenPieces.insert(query.Int(0)).second) continue;
      points.clear();
      if (!DecodePoints(query.Blob(3), &points)) {
        *error = "the archive index is damaged (a piece of a day cannot be read); delete " + file_.string();
        return false;
      }
      const int64_t first = query.Int(2);
      std::vector<Inside>& list = inside[query.Int(1)];
      for (size_t i = 0; i < points.size(); ++i) {
        // The bounds first: most points of a piece that touches them lie outside.
        const double lat = LatitudeOf(points[i]);
        if (lat < south || lat > north) continue;
        if (area.Contains(lat, LongitudeOf(points[i]))) {
          list.push_back({first + static_cast<int64_t>(i), UnixSecondsOf(DayNumberOf(points[i]))});
        }
      }
    }
    if (query.failed()) {
      *error = ErrorOf(db_);
      return false;
    }
    query.Reset();
  }
  days->clear();
  Statement dayOf(db_,
                  "SELECT d.date, f.device FROM days d JOIN folders f ON f.id = d.folder WHERE d.id = ?1");
  for (auto& [day, list] : inside) {
    if (list.empty()) continue;
    std::sort(list.begin(), list.end(), [](const Inside& a, const Inside& b) { return a.index < b.index; });
    ArchiveDayVisits visits;
    visits.first = list.front().seconds;
    visits.last = list.front().seconds;
    for (size_t i = 0; i < list.size(); ++i) {
      if (i == 0 || list[i].index != list[i - 1].index + 1) ++visits.visits;
      visits.first = std::min(visits.first, list[i].seconds);
      visits.last = std::max(visits.last, list[i].seconds);
    }
    if (dayOf.Bind(1, day).Step()) {
      visits.day = dayOf.Text(0);
      visits.device = dayOf.Text(1);
    }
    dayOf.Reset();
    days->push_back(std::move(visits));
  }
  std::sort(days->begin(), days->end(), [](const ArchiveDayVisits& a, const ArchiveDayVisits& b) {
    return std::tie(b.day, a.device) < std::tie(a.day, b.device);
  });
  return true;
}

bool ArchiveIndex::Totals(const std::vector<ArchiveFolder>& folders, bool byMonth,
                          std::vector<ArchivePeriodTotals>* totals, std::string* error) {
  std::vector<int64_t> ids;
  if (!FolderIds(db_, folders, false, &ids, error)) return false;
  const std::string sql = std::string("SELECT substr(date, 1, ") + (byMonth ? "7" : "4") +
                          ") AS period, count(*), sum(distance), sum(moving), sum(points) FROM days "
                          "WHERE points > 0 AND folder IN " +
                          IdList(ids) + " GROUP BY period ORDER BY period";
  Statement query(db_, sql.c_str());
  totals->clear();
  while (query.Step()) {
    totals->push_back({query.Text(0), static_cast<size_t>(query.Int(1)), query.Real(2), query.Real(3),
                       static_cast<uint64_t>(query.Int(4))});
  }
  if (query.failed()) {
    *error = ErrorOf(db_);
    return false;
  }
  return true;
}

bool ArchiveIndex::Days(const std::vector<ArchiveFolder>& folders, std::vector<ArchiveDay>* days,
                        std::string* error) {
  std::vector<int64_t> ids;
  if (!FolderIds(db_, folders, false, &ids, error)) return false;
  const std::string sql =
      "SELECT d.date, f.device, points, segments, first, last, distance, total, moving, stopped, without, "
      "max_speed, pause_speed, has_altitude, ascent, descent, highest, lowest, south, west, north, east "
      "FROM days d JOIN folders f ON f.id = d.folder WHERE d.folder IN " +
      IdList(ids) + " ORDER BY d.date, f.device";
  Statement query(db_, sql.c_str());
  days->clear();
  while (query.Step()) {
    ArchiveDay day;
    day.day = query.Text(0);
    day.device = query.Text(1);
    DaySummary& s = day.summary;
    s.points = static_cast<size_t>(query.Int(2));
    s.segments = static_cast<int32_t>(query.Int(3));
    s.firstDayNumber = query.Real(4);
    s.lastDayNumber = query.Real(5);
    s.distanceMetres = query.Real(6);
    s.totalSeconds = query.Real(7);
    s.movingSeconds = query.Real(8);
    s.stoppedSeconds = query.Real(9);
    s.withoutPointsSeconds = query.Real(10);
    s.maxSpeed = query.Real(11);
    s.pauseSpeed = query.Real(12);
    s.hasAltitude = query.Int(13) != 0;
    s.ascentMetres = query.Real(14);
    s.descentMetres = query.Real(15);
    s.highestMetres = query.Real(16);
    s.lowestMetres = query.Real(17);
    if (!query.IsNull(18)) {
      day.bounds.Include(query.Real(18), query.Real(19));
      day.bounds.Include(query.Real(20), query.Real(21));
    }
    days->push_back(std::move(day));
  }
  if (query.failed()) {
    *error = ErrorOf(db_);
    return false;
  }
  return true;
}

bool ArchiveIndex::Overview(const std::vector<ArchiveFolder>& folders, int level, int64_t west, int64_t north,
                            int64_t east, int64_t south, const TileSink& sink, std::string* error) {
  if (level < 0 || level >= static_cast<int>(std::size(kOverviewZooms))) {
    *error = "no such overview level";
    return false;
  }
  std::vector<int64_t> ids;
  if (!FolderIds(db_, folders, false, &ids, error)) return false;
  const std::string sql =
      "SELECT t.x, t.y, t.data, d.date, f.device FROM tiles t CROSS JOIN days d CROSS JOIN folders f "
      "WHERE d.id = t.day AND f.id = d.folder AND t.zoom = ?1 AND t.x BETWEEN ?2 AND ?3 AND t.y BETWEEN ?4 "
      "AND ?5 "
      "AND d.folder IN " +
      IdList(ids);
  Statement query(db_, sql.c_str());
  query.Bind(1, int64_t{kOverviewZooms[level]}).Bind(2, west).Bind(3, east).Bind(4, north).Bind(5, south);
  OverviewTile tile;
  tile.zoom = kOverviewZooms[level];
  while (query.Step()) {
    tile.x = query.Int(0);
    tile.y = query.Int(1);
    tile.blob.assign(query.Blob(2));
    sink(query.Text(3), query.Text(4), tile);
  }
  if (query.failed()) {
    *error = ErrorOf(db_);
    return false;
  }
  return true;
}

bool ArchiveIndex::Pieces(const std::vector<ArchiveFolder>& folders, const GeoBounds& box,
                          const PieceSink& sink, std::string* error) {
  if (box.empty) return true;
  std::vector<int64_t> ids;
  if (!FolderIds(db_, folders, false, &ids, error)) return false;
  const std::string sql =
      "SELECT p.day, p.first_index, p.count, p.data, d.date, f.device FROM piece_box b CROSS JOIN pieces p "
      "CROSS JOIN days d CROSS JOIN folders f WHERE p.id = b.id AND d.id = p.day AND f.id = d.folder "
      "AND b.max_lat >= ?1 AND b.min_lat <= ?2 AND b.max_lon >= ?3 AND b.min_lon <= ?4 AND d.folder IN " +
      IdList(ids) + " ORDER BY p.day, p.first_index";
  Statement query(db_, sql.c_str());
  query.Bind(1, box.south).Bind(2, box.north).Bind(3, box.west).Bind(4, box.east);
  std::vector<ArchivePoint> line, piece;
  std::string day, device;
  int64_t lineDay = -1, next = -1;  // the line's day and the index its next piece would start at
  while (query.Step()) {
    piece.clear();
    if (!DecodePoints(query.Blob(3), &piece)) {
      *error = "the archive index is damaged (a piece of a day cannot be read); delete " + file_.string();
      return false;
    }
    if (piece.empty()) continue;
    // A piece goes on the line when it is the very next one of the same day
    // and no break of the track lies between them (a piece may also end
    // because it is full).
    const bool goesOn =
        !line.empty() && query.Int(0) == lineDay && query.Int(1) == next &&
        !StartsTrackPiece(false, (DayNumberOf(piece.front()) - DayNumberOf(line.back())) * 86400.0);
    if (!goesOn) {
      if (!line.empty()) sink(day, device, line);
      line.clear();
      lineDay = query.Int(0);
      day = query.Text(4);
      device = query.Text(5);
    }
    line.insert(line.end(), piece.begin(), piece.end());
    next = query.Int(1) + query.Int(2);
  }
  if (query.failed()) {
    *error = ErrorOf(db_);
    return false;
  }
  if (!line.empty()) sink(day, device, line);
  return true;
}

void ArchiveIndex::ReadWithoutMemoryMap() {
  // Mapped pages of the file stay counted in the process while mapped; a
  // reader that only asks for what is in view is as quick through reads,
  // and a smaller page cache serves it.
  Exec(db_, "PRAGMA mmap_size=0; PRAGMA cache_size=-8192", nullptr);
}

}  // namespace pathmere
