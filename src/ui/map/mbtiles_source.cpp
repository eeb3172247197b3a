#include "ui/map/mbtiles_source.h"

#include <sqlite3.h>

#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace pathmere {

std::unique_ptr<MbTilesSource> MbTilesSource::Open(const QString& path, QString* problem) {
  std::unique_ptr<MbTilesSource> source(new MbTilesSource);
  const QByteArray file = path.toUtf8();
  if (sqlite3_open_v2(file.constData(), &source->db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(
          source->db_,
          "SELECT tile_data FROM tiles WHERE zoom_level = ? AND tile_column = ? AND tile_row = ?", -1,
          &source->tile_, nullptr) != SQLITE_OK) {
    *problem =
        QStringLiteral("%1 is not an MBTiles file (%2)")
            .arg(path, QString::fromUtf8(source->db_ != nullptr ? sqlite3_errmsg(source->db_) : "no memory"));
    return nullptr;
  }
  source->path = QFileInfo(path).absoluteFilePath();
  source->name = QFileInfo(path).completeBaseName();
  sqlite3_stmt* metadata = nullptr;
  if (sqlite3_prepare_v2(source->db_, "SELECT name, value FROM metadata", -1, &metadata, nullptr) ==
      SQLITE_OK) {
    while (sqlite3_step(metadata) == SQLITE_ROW) {
      const QString key = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(metadata, 0)));
      const QString value =
          QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(metadata, 1)));
      bool ok = false;
      if (key == QLatin1String("name") && !value.isEmpty()) source->name = value;
      if (key == QLatin1String("attribution")) source->attribution = value;
      if (key == QLatin1String("bounds")) source->bounds = value;
      if (key == QLatin1String("minzoom")) {
        const int zoom = value.toInt(&ok);
        if (ok) source->minZoom = std::clamp(zoom, 0, kMostTileZoom);
      }
      if (key == QLatin1String("maxzoom")) {
        const int zoom = value.toInt(&ok);
        if (ok) source->maxZoom = std::clamp(zoom, 0, kMostTileZoom);
      }
    }
  }
  sqlite3_finalize(metadata);
  source->maxZoom = std::max(source->maxZoom, source->minZoom);
  const QStringList edges = source->bounds.split(QLatin1Char(','));
  double values[4] = {};
  bool ok = edges.size() == 4;
  for (int i = 0; ok && i < 4; ++i) {
    values[i] = edges[i].trimmed().toDouble(&ok);
    ok = ok && std::isfinite(values[i]);
  }
  // West, south, east, north; one across the date line is taken as no bounds.
  if (ok && values[0] >= -180.0 && values[0] < values[2] && values[2] <= 180.0 && values[1] >= -90.0 &&
      values[1] < values[3] && values[3] <= 90.0) {
    source->bounded_ = true;
    source->west_ = values[0];
    source->south_ = values[1];
    source->east_ = values[2];
    source->north_ = values[3];
  }
  return source;
}

MbTilesSource::~MbTilesSource() {
  sqlite3_finalize(tile_);
  sqlite3_close(db_);
}

bool MbTilesSource::Holds(const TileKey& key) const {
  if (!bounded_) return true;
  const TileKey northWest = TileAt(north_, west_, key.zoom);
  const TileKey southEast = TileAt(south_, east_, key.zoom);
  return key.x >= northWest.x && key.x <= southEast.x && key.y >= northWest.y && key.y <= southEast.y;
}

QByteArray MbTilesSource::TileBytes(const TileKey& key) {
  if (key.zoom < 0 || key.zoom > kMostTileZoom) return {};
  // TMS counts rows from the south.
  const int64_t row = (int64_t{1} << key.zoom) - 1 - key.y;
  sqlite3_reset(tile_);
  sqlite3_bind_int(tile_, 1, key.zoom);
  sqlite3_bind_int(tile_, 2, key.x);
  sqlite3_bind_int64(tile_, 3, row);
  QByteArray bytes;
  if (sqlite3_step(tile_) == SQLITE_ROW) {
    const void* data = sqlite3_column_blob(tile_, 0);
    const int size = sqlite3_column_bytes(tile_, 0);
    if (data != nullptr && size > 0) bytes = QByteArray(static_cast<const char*>(data), size);
  }
  sqlite3_reset(tile_);
  return bytes;
}

}  // namespace pathmere
