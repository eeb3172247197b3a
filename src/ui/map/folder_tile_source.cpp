#include "ui/map/folder_tile_source.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ui/map/mbtiles_source.h"

namespace pathmere {

std::unique_ptr<FolderTileSource> FolderTileSource::Open(const QString& path, QString* problem) {
  const QDir dir(path);
  int lowest = kMostTileZoom + 1;
  int highest = -1;
  for (const QString& entry : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    bool ok = false;
    const int zoom = entry.toInt(&ok);
    if (!ok || zoom < 0 || zoom > kMostTileZoom) continue;
    lowest = std::min(lowest, zoom);
    highest = std::max(highest, zoom);
  }
  if (highest < 0) {
    *problem = QStringLiteral("%1 holds no tiles laid out z/x/y.png").arg(path);
    return nullptr;
  }
  auto source = std::make_unique<FolderTileSource>();
  source->folder_ = dir.absolutePath();
  source->path = source->folder_;
  source->name = QFileInfo(path).fileName();
  source->minZoom = lowest;
  source->maxZoom = highest;
  QFile attribution(dir.filePath(QStringLiteral("attribution.txt")));
  if (attribution.open(QIODevice::ReadOnly))
    source->attribution = QString::fromUtf8(attribution.readLine(512)).trimmed();
  return source;
}

QByteArray FolderTileSource::TileBytes(const TileKey& key) {
  const QString stem = QStringLiteral("%1/%2/%3/%4.").arg(folder_).arg(key.zoom).arg(key.x).arg(key.y);
  for (const char* extension : {"png", "jpg", "jpeg", "webp"}) {
    QFile file(stem + QLatin1String(extension));
    if (file.open(QIODevice::ReadOnly)) return file.read(4 * 1024 * 1024);
  }
  return {};
}

std::unique_ptr<TileSource> OpenMapFile(const QString& path, QString* problem) {
  const QFileInfo info(path);
  if (info.isDir()) return FolderTileSource::Open(path, problem);
  if (!info.isFile()) {
    *problem = QStringLiteral("%1 does not exist").arg(path);
    return nullptr;
  }
  if (auto mbtiles = MbTilesSource::Open(path, problem)) return mbtiles;
  // A file dialog picks files: a tile z/x/y.png, or a file at the top of a
  // tile folder, means the folder.
  QDir folder = info.absoluteDir();
  const QDir column = folder;
  QDir zoom = column;
  bool number = false;
  info.completeBaseName().toInt(&number);
  if (number && zoom.cdUp() && zoom.dirName().toInt(&number) >= 0 && number &&
      column.dirName().toInt(&number) >= 0 && number) {
    folder = zoom;
    folder.cdUp();
  }
  QString folderProblem;
  return FolderTileSource::Open(folder.absolutePath(), &folderProblem);
}

}  // namespace pathmere
