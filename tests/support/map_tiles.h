#pragma once

// Map tiles for the Qt tests (header only: the logic's test program has no
// Qt): tiles of one known colour each, and a map layer painted until every
// tile it asked for has come.
#include <QBuffer>
#include <QColor>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QPainter>
#include <QThread>

#include "app/tile_grid.h"
#include "app/track_projection.h"
#include "ui/map/map_layer.h"

namespace pathmere::testing {

// Neighbours differ in red (column) and green (row); zooms in blue.
inline QColor TileColour(const TileKey& key) {
  return QColor((key.x * 40) % 256, (key.y * 40) % 256, key.zoom * 12);
}

inline QByteArray TilePng(const TileKey& key, int size = 256) {
  QImage image(size, size, QImage::Format_RGB32);
  image.fill(TileColour(key));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

// Runs the event loop until `done` or `ms` have passed; true when done.
template <class Done>
bool SpinUntil(Done done, int ms = 5000) {
  const QDeadlineTimer deadline(ms);
  while (!done() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(2);
  }
  return done();
}

inline QImage PaintOnce(MapLayer& layer, const TrackProjection& view) {
  QImage image(view.width(), view.height(), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  layer.Paint(painter, view);
  return image;
}

// The view as it stands once the tiles have come (a tile a map lacks asks
// for its coarser one, so a few rounds).
inline QImage PaintSettled(MapLayer& layer, const TrackProjection& view) {
  QImage image;
  for (int round = 0; round < 8; ++round) {
    image = PaintOnce(layer, view);
    if (!layer.loading()) break;
    SpinUntil([&] { return !layer.loading(); });
  }
  return image;
}

}  // namespace pathmere::testing
