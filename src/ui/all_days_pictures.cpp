#include "ui/all_days_pictures.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

namespace pathmere {
namespace {

const QString kGenerationKey = QStringLiteral("generation");

}  // namespace

QString AllDaysPictures::FileOf(int zoom, int64_t x, int64_t y, quint64 colouring) const {
  return QString::fromStdString(folder_.string()) +
         QStringLiteral("/%1/%2-%3-%4.png").arg(zoom).arg(x).arg(y).arg(colouring, 16, 16, QLatin1Char('0'));
}

QImage AllDaysPictures::Find(int zoom, int64_t x, int64_t y, quint64 colouring, quint64 generation) const {
  QImageReader reader(FileOf(zoom, x, y, colouring), "png");
  // The text comes before the pixels: an older picture is not decoded.
  if (reader.text(kGenerationKey) != QString::number(generation)) return {};
  QImage image;
  if (!reader.read(&image)) return {};
  return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void AllDaysPictures::Keep(int zoom, int64_t x, int64_t y, quint64 colouring, quint64 generation,
                           const QImage& image) const {
  const QString file = FileOf(zoom, x, y, colouring);
  if (!QDir().mkpath(QFileInfo(file).path())) return;
  // Written whole or not at all: a cut leaves the old picture or none.
  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly)) return;
  QImageWriter writer(&out, "png");
  writer.setText(kGenerationKey, QString::number(generation));
  // Little compression: the lines on clear ground pack well anyway, and the
  // worker's time is the drawing's.
  writer.setQuality(80);
  if (writer.write(image)) out.commit();
}

}  // namespace pathmere
