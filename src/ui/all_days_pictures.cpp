#include "ui/all_days_pictures.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <system_error>
#include <tuple>
#include <vector>

#include <QDir>
#include <QFile>
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
  // Found now: the last to go when the folder is pruned. Its access time
  // says so; the modification time stays when it was drawn.
  const struct timespec times[2] = {{0, UTIME_NOW}, {0, UTIME_OMIT}};
  ::utimensat(AT_FDCWD, QFile::encodeName(reader.fileName()).constData(), times, 0);
  return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void AllDaysPictures::Prune(uint64_t maxBytes) const {
  namespace fs = std::filesystem;
  // Last used: found (its access time) or kept (its modification time).
  std::vector<std::tuple<int64_t, uint64_t, fs::path>> pictures;
  uint64_t total = 0;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
    struct stat info {};
    if (it->path().extension() != ".png" || ::stat(it->path().c_str(), &info) != 0 || !S_ISREG(info.st_mode))
      continue;
    const int64_t used = std::max<int64_t>(info.st_atim.tv_sec, info.st_mtim.tv_sec);
    pictures.emplace_back(used, static_cast<uint64_t>(info.st_size), it->path());
    total += static_cast<uint64_t>(info.st_size);
  }
  if (total <= maxBytes) return;
  std::sort(pictures.begin(), pictures.end());
  for (const auto& [time, size, path] : pictures) {
    if (total <= maxBytes / 4 * 3) break;
    std::error_code ignored;
    if (fs::remove(path, ignored)) total -= size;
  }
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
