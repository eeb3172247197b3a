// Maps from a tile server as the map layer draws them: high-density
// screens, tiles that fail or are no tiles, and a server that never answers
// while the window's ticks go on.
#include "ui/map/online_tile_source.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <QBuffer>
#include <QNetworkDiskCache>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTest>

#include "desktop_fixture.h"
#include "tile_server_fixture.h"
#include "ui/map/map_choice.h"
#include "ui/track_map.h"
#include "ui/track_view.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::GoodTile;
using testing::PaintOnce;
using testing::PaintSettled;
using testing::PathOf;
using testing::SpinUntil;
using testing::TileColour;
using testing::TileOf;
using testing::TileServer;
using OnlineTileSourceTest = testing::TileServerTest;

// On a high-density screen a server with "{r}" gives tiles of twice the
// pixels for the same zoom; one without it gives the next zoom's tiles.
TEST_F(OnlineTileSourceTest, HighDensityScreensGetTheServersDoubleTiles) {
  TileServer server([](const TileServer::Request& request) { return GoodTile(request); });
  const int zoom = TileZoomFor(view, 256, 0, 19);
  // legend: url's tail | device pixel ratio | zoom asked for | "@2x" asked for
  const struct {
    const char* tail;
    double ratio;
    int zoom;
    bool doubled;
  } rows[] = {
      {"/{z}/{x}/{y}{r}.png", 2.0, zoom, true},
      {"/{z}/{x}/{y}.png", 2.0, zoom + 1, false},
      {"/{z}/{x}/{y}{r}.png", 1.0, zoom, false},
  };
  for (const auto& row : rows) {
    server.ClearRequests();
    MapLayer layer;
    layer.SetSource(SourceAt(server.address(), row.tail));
    QImage image;
    for (int round = 0; round < 4; ++round) {
      image = QImage(QSize(view.width(), view.height()) * row.ratio, QImage::Format_RGB32);
      image.setDevicePixelRatio(row.ratio);
      image.fill(Qt::white);
      {
        QPainter painter(&image);
        layer.Paint(painter, view);
      }
      if (!layer.loading()) break;
      SpinUntil([&] { return !layer.loading(); });
    }
    ASSERT_GT(server.RequestCount(), 0u) << row.tail;
    for (const TileServer::Request& request : server.requests()) {
      TileKey key;
      ASSERT_TRUE(TileOf(request.path, &key)) << request.path;
      EXPECT_EQ(key.zoom, row.zoom) << row.tail << " " << row.ratio;
      EXPECT_EQ(request.path.find("@2x") != std::string::npos, row.doubled) << request.path;
    }
    double x = 0.0;
    double y = 0.0;
    view.ToPixel(51.48, -0.01, &x, &y);
    EXPECT_EQ(image.pixelColor(static_cast<int>(x * row.ratio), static_cast<int>(y * row.ratio)),
              TileColour(TileAt(51.48, -0.01, row.zoom)))
        << row.tail << " " << row.ratio;
  }
}

// 404 and 500 draw nothing and are not asked for again within the minute,
// however often the view repaints; after it, once more.
TEST_F(OnlineTileSourceTest, FailedTilesAreDrawnEmptyAndAskedForAgainAfterAMinute) {
  const TileKey lost = TileAt(51.48, -0.01, TileZoomFor(view, 256, 0, 19));
  const TileKey broken = TileAt(51.475, 0.005, TileZoomFor(view, 256, 0, 19));
  ASSERT_FALSE(lost == broken);
  TileServer server([&](const TileServer::Request& request) {
    if (request.path == PathOf(lost)) return TileServer::Reply{404, "gone", {}};
    if (request.path == PathOf(broken)) return TileServer::Reply{500, "trouble", {}};
    return GoodTile(request);
  });
  MapLayer layer;
  MapLayer::Clock::time_point now = MapLayer::Clock::now();
  layer.clock = [&] { return now; };
  layer.SetSource(Source(server));
  QImage image = PaintSettled(layer, view);
  const auto asked = [&](const TileKey& key) {
    int count = 0;
    for (const TileServer::Request& request : server.requests()) count += request.path == PathOf(key) ? 1 : 0;
    return count;
  };
  ASSERT_EQ(asked(lost), 1);
  ASSERT_EQ(asked(broken), 1);
  ExpectTileColour(image, view, 51.48, -0.01, Qt::white);
  ExpectTileColour(image, view, 51.475, 0.005, Qt::white);
  ExpectTileColour(image, view, 51.486, -0.025, ColourAt(51.486, -0.025));
  for (int i = 0; i < 5; ++i) {
    now += std::chrono::seconds(10);
    image = PaintSettled(layer, view);
  }
  EXPECT_EQ(asked(lost), 1) << "50 s later";
  EXPECT_EQ(asked(broken), 1);
  EXPECT_EQ(server.RequestCount(), VisiblePaths(view).size());
  now += std::chrono::seconds(11);
  PaintSettled(layer, view);
  PaintSettled(layer, view);
  EXPECT_EQ(asked(lost), 2) << "a minute later, once";
  EXPECT_EQ(asked(broken), 2);
}

// What no tile is: drawn empty, asked for once, and no repaint of the view
// asks again (a picture too big for the memory cache would otherwise come
// back from the disk at every paint).
TEST_F(OnlineTileSourceTest, WhatIsNoTileIsDrawnEmptyAndNotAskedForAgain) {
  const TileKey odd = TileAt(51.48, -0.01, TileZoomFor(view, 256, 0, 19));
  QImage huge(4096, 4096, QImage::Format_RGB32);
  huge.fill(Qt::red);
  QByteArray hugePng;
  QBuffer buffer(&hugePng);
  buffer.open(QIODevice::WriteOnly);
  huge.save(&buffer, "PNG");
  // legend: what the server sends for the tile, with 200 OK; kept: on disk
  const struct {
    const char* legend;
    std::string body;
    bool kept;
  } rows[] = {
      {"not a picture", "<html>busy</html>", false},
      {"binary noise", std::string("\x89PNG\r\n\x1a\n\xff\xfe\x00\x01garbage", 20), false},
      {"a picture of 4096 x 4096 pixels", hugePng.toStdString(), true},
      {"five megabytes", std::string(5 * 1024 * 1024, 'x'), false},
      {"a tile padded to two megabytes", GoodTile({PathOf(odd), {}}).body + std::string(2 << 20, '\0'),
       false},
  };
  for (const auto& row : rows) {
    TileServer server([&](const TileServer::Request& request) {
      if (request.path != PathOf(odd)) return GoodTile(request);
      return TileServer::Reply{
          200, row.body, {{"Content-Type", "image/png"}, {"Cache-Control", "max-age=3600"}}};
    });
    MapLayer layer;
    layer.SetSource(Source(server));
    QImage image;
    for (int i = 0; i < 4; ++i) image = PaintSettled(layer, view);
    size_t asked = 0;
    for (const TileServer::Request& request : server.requests()) asked += request.path == PathOf(odd) ? 1 : 0;
    EXPECT_EQ(asked, 1u) << row.legend;
    ExpectTileColour(image, view, 51.48, -0.01, Qt::white);
    ExpectTileColour(image, view, 51.486, -0.025, ColourAt(51.486, -0.025));
    const QUrl url(QString::fromStdString(server.address() + PathOf(odd)));
    EXPECT_EQ(layer.fetcher().cache()->metaData(url).isValid(), row.kept) << row.legend;
    EXPECT_LT(layer.fetcher().cache()->cacheSize(), TileFetcher::kMostTileBytes) << row.legend;
  }
}

// A day without points or position shows no place: nothing is asked for
// (not the tiles of 0 N 0 E) until a position comes.
TEST_F(OnlineTileSourceTest, NoTileIsAskedForBeforeThereIsAPlace) {
  TileServer server([](const TileServer::Request& request) { return GoodTile(request); });
  const DayTrack empty;
  TrackMap map;
  map.resize(400, 300);
  map.mapLayer().SetSource(Source(server));
  map.SetTrack(&empty, QStringLiteral("empty"));
  map.grab();
  QTest::qWait(200);
  map.grab();
  EXPECT_EQ(server.RequestCount(), 0u);
  map.SetPosition({PositionState::kFix, true, 51.48, -0.01}, true);
  map.grab();
  ASSERT_TRUE(SpinUntil([&] { return server.RequestCount() > 0; }));
  TileKey key;
  for (const TileServer::Request& request : server.requests())
    EXPECT_TRUE(TileOf(request.path, &key) && key.x > 0 && key.y > 0 && key.y < (1 << key.zoom) / 2)
        << request.path;
}

// A server that takes the requests and never answers: the window's ticks
// and the view go on, the requests end at the time-out and are not sent
// again within the minute.
class SilentServerTest : public testing::DesktopTest {};

TEST_F(SilentServerTest, AServerThatNeverAnswersHoldsUpNoTick) {
  testing::TempFolder cache;
  testing::ScopedEnv cacheHome("XDG_CACHE_HOME", cache.path().c_str());
  TileServer server([](const TileServer::Request&) {
    TileServer::Reply reply;
    reply.never = true;
    return reply;
  });
  fs::create_directories(config.path() / "Brenix" / "maps");
  std::ofstream(config.path() / "Brenix" / "maps" / "silent.txt")
      << "name = Silent\nurl = " << server.address() << "/{z}/{x}/{y}.png\nattribution = (c) Silent\n";
  std::ofstream(config.path() / "Brenix" / "maps" / "broken.txt") << "name = Broken\nurl = nowhere\n";
  StoreOutputFolder(L"\\Tracks");
  auto window = MakeWindow();
  window->program().SelectPort(0);
  Start(*window);
  port->queued = testing::Walk(5);
  window->Tick();
  testing::FindAction(window->toolsMenu(), "Show track")->trigger();
  TrackView* trackView = window->trackView();
  ASSERT_NE(trackView, nullptr);
  MapChoice* choice = trackView->mapChoice();
  ASSERT_EQ(choice->itemText(1), "Silent") << "servers follow \"No map\"";
  // What is wrong with a map is in the message log, not only in a tooltip.
  EXPECT_FALSE(choice->Choose(QStringLiteral("/nowhere/map.mbtiles")));
  const QString log = window->panel()->messageLog()->toPlainText();
  EXPECT_TRUE(log.contains(QLatin1String("broken.txt left out: the url lacks"))) << log.toStdString();
  EXPECT_TRUE(log.contains(QLatin1String("/nowhere/map.mbtiles does not exist"))) << log.toStdString();
  EXPECT_EQ(choice->currentIndex(), 0);
  choice->activated(1);
  trackView->map()->mapLayer().fetcher().timeoutMs = 400;
  trackView->map()->grab();  // a paint asks for the tiles (a walk's few metres: one or two)
  ASSERT_TRUE(SpinUntil([&] { return server.RequestCount() >= 1; }));
  const size_t before = trackView->track().points().size();
  port->queued = testing::Walk(20, 43205.0);
  window->Tick();
  trackView->map()->grab();
  EXPECT_GT(trackView->track().points().size(), before) << "the tick went on";
  EXPECT_LE(server.mostWaiting(), TileFetcher::kMostInFlight);
  // Time-outs: every tile fails once, then the view asks no more.
  ASSERT_TRUE(SpinUntil([&] { return !trackView->map()->mapLayer().loading(); }, 20000));
  const size_t asked = server.RequestCount();
  for (int i = 0; i < 3; ++i) {
    trackView->map()->grab();
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(server.RequestCount(), asked) << "no loop of retries";
  EXPECT_EQ(trackView->map()->mapLayer().source()->attribution, "(c) Silent");

  // Opened again, the view tells nothing it told before.
  trackView->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  window->ShowTrack();
  EXPECT_EQ(window->panel()->messageLog()->toPlainText().count(QLatin1String("broken.txt left out")), 1);
}

}  // namespace
}  // namespace pathmere
