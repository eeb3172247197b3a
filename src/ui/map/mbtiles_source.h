#pragma once

#include <memory>

#include "ui/map/tile_source.h"

struct sqlite3;
struct sqlite3_stmt;

namespace pathmere {

// An MBTiles file: an SQLite database of tiles whose rows count from the
// south (TMS), with the map's name, zooms, bounds and attribution in its
// metadata table. Opened read-only; the user's file is never changed.
class MbTilesSource final : public TileSource {
 public:
  static std::unique_ptr<MbTilesSource> Open(const QString& path, QString* problem);
  ~MbTilesSource() override;

  QByteArray TileBytes(const TileKey& key) override;
  bool Holds(const TileKey& key) const override;

  // From the metadata: west, south, east, north; empty when not given.
  QString bounds;

 private:
  MbTilesSource() = default;

  // Parsed `bounds`; a map without (or with nonsense) holds every tile.
  bool bounded_ = false;
  double west_ = 0.0;
  double south_ = 0.0;
  double east_ = 0.0;
  double north_ = 0.0;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* tile_ = nullptr;
};

}  // namespace pathmere
