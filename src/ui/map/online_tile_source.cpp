#include "ui/map/online_tile_source.h"

namespace pathmere {

OnlineTileSource::OnlineTileSource(const MapSourceFile& file) : urlTemplate_(file.urlTemplate) {
  path = file.file;
  name = file.name;
  attribution = file.attribution;
  minZoom = file.minZoom;
  maxZoom = file.maxZoom;
  tileSize = file.tileSize;
  offersHighDensity = file.urlTemplate.contains(QLatin1String("{r}"));
}

QUrl OnlineTileSource::TileUrl(const TileKey& key, bool highDensity) const {
  QString url = urlTemplate_;
  url.replace(QLatin1String("{z}"), QString::number(key.zoom))
      .replace(QLatin1String("{x}"), QString::number(key.x))
      .replace(QLatin1String("{y}"), QString::number(key.y))
      .replace(QLatin1String("{r}"), highDensity ? QStringLiteral("@2x") : QString());
  return QUrl(url);
}

}  // namespace pathmere
