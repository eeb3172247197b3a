#include "ui/map/map_source_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>

#include "app/tile_grid.h"
#include "platform/user_config_folder.h"

namespace pathmere {
namespace {

constexpr int kMostFilesPerFolder = 64;

bool ReadZoom(const QString& value, int* zoom) {
  bool ok = false;
  const int number = value.toInt(&ok);
  if (!ok || number < 0 || number > kMostTileZoom) return false;
  *zoom = number;
  return true;
}

}  // namespace

bool ParseMapSourceFile(const QByteArray& text, MapSourceFile* source, QString* problem) {
  if (text.size() > kMostMapSourceFileBytes) {
    *problem = QStringLiteral("longer than %1 bytes").arg(kMostMapSourceFileBytes);
    return false;
  }
  const QList<QByteArray> lines = text.split('\n');
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QString line = QString::fromUtf8(lines[i]).trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
    const auto fail = [&](const QString& why) {
      *problem = QStringLiteral("line %1: %2").arg(i + 1).arg(why);
      return false;
    };
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals <= 0) return fail(QStringLiteral("not \"key = value\""));
    const QString key = line.left(equals).trimmed();
    const QString value = line.mid(equals + 1).trimmed();
    if (key == QLatin1String("name")) {
      source->name = value.left(80);
    } else if (key == QLatin1String("url")) {
      source->urlTemplate = value;
    } else if (key == QLatin1String("attribution")) {
      source->attribution = value.left(200);
    } else if (key == QLatin1String("min-zoom")) {
      if (!ReadZoom(value, &source->minZoom)) return fail(QStringLiteral("min-zoom is not 0 to 24"));
    } else if (key == QLatin1String("max-zoom")) {
      if (!ReadZoom(value, &source->maxZoom)) return fail(QStringLiteral("max-zoom is not 0 to 24"));
    } else if (key == QLatin1String("tile-size")) {
      bool ok = false;
      const int size = value.toInt(&ok);
      if (!ok || (size != 128 && size != 256 && size != 512 && size != 1024))
        return fail(QStringLiteral("tile-size is not 128, 256, 512 or 1024"));
      source->tileSize = size;
    } else {
      return fail(QStringLiteral("unknown key \"%1\"").arg(key.left(40)));
    }
  }
  if (source->name.isEmpty()) {
    *problem = QStringLiteral("no name");
    return false;
  }
  const QUrl url(QString(source->urlTemplate)
                     .replace(QLatin1String("{z}"), QLatin1String("0"))
                     .replace(QLatin1String("{x}"), QLatin1String("0"))
                     .replace(QLatin1String("{y}"), QLatin1String("0"))
                     .replace(QLatin1String("{r}"), QString()),
                 QUrl::StrictMode);
  if (!source->urlTemplate.contains(QLatin1String("{z}")) ||
      !source->urlTemplate.contains(QLatin1String("{x}")) ||
      !source->urlTemplate.contains(QLatin1String("{y}"))) {
    *problem = QStringLiteral("the url lacks {z}, {x} or {y}");
    return false;
  }
  if (!url.isValid() || url.host().isEmpty() ||
      (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http"))) {
    *problem = QStringLiteral("the url is not an http or https address");
    return false;
  }
  if (source->minZoom > source->maxZoom) {
    *problem = QStringLiteral("min-zoom is above max-zoom");
    return false;
  }
  return true;
}

QStringList MapSourceFolders() {
  QStringList folders;
  const std::filesystem::path config = BrenixConfigFolder();
  if (!config.empty()) folders << QString::fromStdString((config / "maps").string());
  // Installed under a prefix: share/pathmere/maps beside bin/. The build
  // tree has the same layout, so a program run from it finds its file too.
  if (QCoreApplication::instance() != nullptr) {
    folders << QDir::cleanPath(QCoreApplication::applicationDirPath() +
                               QStringLiteral("/../share/pathmere/maps"));
  }
  for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
    folders << data + QStringLiteral("/pathmere/maps");
  folders.removeDuplicates();
  return folders;
}

std::vector<MapSourceFile> ReadMapSources(const QStringList& folders, QStringList* problems) {
  std::vector<MapSourceFile> sources;
  QSet<QString> seen;
  for (const QString& folder : folders) {
    const QStringList names = QDir(folder).entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
    for (qsizetype i = 0; i < names.size() && i < kMostFilesPerFolder; ++i) {
      if (seen.contains(names[i])) continue;
      seen.insert(names[i]);
      MapSourceFile source;
      source.file = folder + QLatin1Char('/') + names[i];
      QFile file(source.file);
      QString problem;
      if (!file.open(QIODevice::ReadOnly)) {
        problem = file.errorString();
      } else if (ParseMapSourceFile(file.read(kMostMapSourceFileBytes + 1), &source, &problem)) {
        sources.push_back(source);
        continue;
      }
      problems->append(QStringLiteral("Map source %1 left out: %2").arg(source.file, problem));
    }
  }
  std::stable_sort(sources.begin(), sources.end(), [](const MapSourceFile& a, const MapSourceFile& b) {
    return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
  });
  return sources;
}

}  // namespace pathmere
