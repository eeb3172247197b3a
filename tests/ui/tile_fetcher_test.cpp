// Maps from a tile server: a real HTTP server on 127.0.0.1 (tests/support)
// serves tiles of known colours and says how long they keep; the map layer
// fetches them through its disk cache in a temporary folder.
#include "ui/tile_fetcher.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include <gtest/gtest.h>
#include <QBuffer>
#include <QDateTime>
#include <QNetworkDiskCache>
#include <QPainter>

#include "desktop_fixture.h"
#include "support/map_tiles.h"
#include "support/scoped_env.h"
#include "support/test_environment.h"
#include "support/tile_server.h"
#include "ui/map_choice.h"
#include "ui/map_layer.h"
#include "ui/online_tile_source.h"
#include "ui/track_map.h"
#include "ui/track_view.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::PaintOnce;
using testing::PaintSettled;
using testing::SpinUntil;
using testing::TileColour;
using testing::TileServer;

// The tile a request's path names ("/z/x/y.png").
bool TileOf(const std::string& path, TileKey* key) {
  static const std::regex tile(R"(/(\d+)/(\d+)/(\d+)(@2x)?\.png)");
  std::smatch match;
  if (!std::regex_match(path, match, tile)) return false;
  *key = {std::stoi(match[1]), std::stoi(match[2]), std::stoi(match[3])};
  return true;
}

std::string PathOf(const TileKey& key) {
  return "/" + std::to_string(key.zoom) + "/" + std::to_string(key.x) + "/" + std::to_string(key.y) + ".png";
}

// A good tile that keeps for `maxAge` seconds, with an ETag.
TileServer::Reply GoodTile(const TileServer::Request& request, int maxAge = 3600) {
  TileKey key;
  if (!TileOf(request.path, &key)) return {404, "", {}};
  const bool doubled = request.path.find("@2x") != std::string::npos;
  const QByteArray png = testing::TilePng(key, doubled ? 512 : 256);
  return {200,
          png.toStdString(),
          {{"Content-Type", "image/png"},
           {"Cache-Control", "max-age=" + std::to_string(maxAge)},
           {"ETag", "\"" + request.path + "\""}}};
}

class TileFetcherTest : public ::testing::Test {
 protected:
  TileFetcherTest() {
    view.SetViewport(800, 600);
    GeoBounds bounds;
    bounds.Include(51.47, -0.03);
    bounds.Include(51.49, 0.01);
    view.Fit(bounds);
  }

  std::unique_ptr<TileSource> Source(const TileServer& server) { return SourceAt(server.address()); }
  static std::unique_ptr<TileSource> SourceAt(const std::string& address,
                                              const char* tail = "/{z}/{x}/{y}.png") {
    MapSourceFile file;
    file.name = QStringLiteral("Loopback");
    file.urlTemplate = QString::fromStdString(address) + QLatin1String(tail);
    file.attribution = QStringLiteral("(c) Loopback");
    return std::make_unique<OnlineTileSource>(file);
  }

  std::set<std::string> VisiblePaths(const TrackProjection& projection) const {
    std::set<std::string> paths;
    for (const TilePlacement& tile : VisibleTiles(projection, TileZoomFor(projection, 256, 0, 19)))
      paths.insert(PathOf(tile.key));
    return paths;
  }

  // The pixel under a position has its tile's colour.
  static void ExpectTileColour(const QImage& image, const TrackProjection& projection, double latitude,
                               double longitude, QColor colour) {
    double x = 0.0;
    double y = 0.0;
    projection.ToPixel(latitude, longitude, &x, &y);
    EXPECT_EQ(image.pixelColor(static_cast<int>(x), static_cast<int>(y)), colour)
        << latitude << "," << longitude;
  }
  QColor ColourAt(double latitude, double longitude) const {
    return TileColour(TileAt(latitude, longitude, TileZoomFor(view, 256, 0, 19)));
  }

  testing::TempFolder temp;
  testing::ScopedEnv cacheHome{"XDG_CACHE_HOME", temp.path().c_str()};
  TrackProjection view;
};

// Who asks, and that a fresh tile is not asked for again (the cache is on
// disk, so a second view, or a second start, finds it there).
TEST_F(TileFetcherTest, TilesComeOnceWithTheProgramsNameAndStayFreshOnDisk) {
  TileServer server([](const TileServer::Request& request) { return GoodTile(request, 60); });
  {
    MapLayer layer;
    layer.SetSource(Source(server));
    const QImage image = PaintSettled(layer, view);
    ExpectTileColour(image, view, 51.48, -0.01, ColourAt(51.48, -0.01));
    ExpectTileColour(image, view, 51.475, 0.005, ColourAt(51.475, 0.005));
  }
  const std::vector<TileServer::Request> first = server.requests();
  std::set<std::string> asked;
  for (const TileServer::Request& request : first) {
    asked.insert(request.path);
    EXPECT_EQ(request.Header("User-Agent"), TileUserAgent().toStdString());
  }
  EXPECT_TRUE(
      std::regex_match(TileUserAgent().toStdString(), std::regex(R"(Pathmere/\d+\.\d+ \(\+https?://\S+\))")))
      << TileUserAgent().toStdString();
  EXPECT_EQ(asked, VisiblePaths(view)) << "each tile in view, no other";
  EXPECT_EQ(first.size(), asked.size()) << "each tile once";
  EXPECT_TRUE(fs::exists(temp.path() / "pathmere" / "tiles"));

  // The server said a minute; the tile keeps a week all the same.
  MapLayer again;
  again.SetSource(Source(server));
  const QNetworkCacheMetaData stored =
      again.fetcher().cache()->metaData(QUrl(QString::fromStdString(server.address() + *asked.begin())));
  ASSERT_TRUE(stored.isValid());
  EXPECT_GT(stored.expirationDate(),
            QDateTime::currentDateTimeUtc().addDays(TileFetcher::kFreshDays).addSecs(-120));
  const QImage image = PaintSettled(again, view);
  ExpectTileColour(image, view, 51.48, -0.01, ColourAt(51.48, -0.01));
  EXPECT_EQ(server.RequestCount(), first.size()) << "fresh tiles come from the disk without a request";
}

// A tile past its expiry is asked for with its ETag; the server's 304 keeps
// the copy on disk, which is fresh for another week.
TEST_F(TileFetcherTest, AStaleTileIsRevalidatedAndA304KeepsIt) {
  std::atomic<int> notModified{0};
  TileServer server([&](const TileServer::Request& request) {
    if (request.Header("If-None-Match") == "\"" + request.path + "\"") {
      ++notModified;
      return TileServer::Reply{
          304, "", {{"Cache-Control", "max-age=60"}, {"ETag", "\"" + request.path + "\""}}};
    }
    return GoodTile(request);
  });
  {
    MapLayer layer;
    layer.SetSource(Source(server));
    PaintSettled(layer, view);
  }
  const size_t tiles = server.RequestCount();
  server.ClearRequests();
  MapLayer again;
  again.SetSource(Source(server));
  QNetworkDiskCache* cache = again.fetcher().cache();
  for (const std::string& path : VisiblePaths(view)) {
    QNetworkCacheMetaData stored = cache->metaData(QUrl(QString::fromStdString(server.address() + path)));
    ASSERT_TRUE(stored.isValid()) << path;
    stored.setExpirationDate(QDateTime::currentDateTimeUtc().addSecs(-10));
    cache->updateMetaData(stored);
  }
  const QImage image = PaintSettled(again, view);
  EXPECT_EQ(server.RequestCount(), tiles) << "each stale tile asked about once";
  EXPECT_EQ(notModified, static_cast<int>(tiles));
  ExpectTileColour(image, view, 51.48, -0.01, ColourAt(51.48, -0.01));
  ExpectTileColour(image, view, 51.475, 0.005, ColourAt(51.475, 0.005));
  const QNetworkCacheMetaData renewed =
      cache->metaData(QUrl(QString::fromStdString(server.address() + *VisiblePaths(view).begin())));
  EXPECT_GT(renewed.expirationDate(), QDateTime::currentDateTimeUtc().addDays(6));
}

// With no network (the server gone, its port refusing) every tile on
// disk still shows, however old.
TEST_F(TileFetcherTest, WithoutTheServerEveryTileOnDiskStillShows) {
  std::string address;
  {
    TileServer server([](const TileServer::Request& request) { return GoodTile(request); });
    address = server.address();
    MapLayer layer;
    layer.SetSource(Source(server));
    PaintSettled(layer, view);
    ASSERT_EQ(server.RequestCount(), VisiblePaths(view).size());
  }
  MapLayer layer;
  layer.SetSource(SourceAt(address));
  QNetworkDiskCache* cache = layer.fetcher().cache();
  for (const std::string& path : VisiblePaths(view)) {
    QNetworkCacheMetaData stored = cache->metaData(QUrl(QString::fromStdString(address + path)));
    stored.setExpirationDate(QDateTime::currentDateTimeUtc().addDays(-30));
    cache->updateMetaData(stored);
  }
  const QImage image = PaintSettled(layer, view);
  ExpectTileColour(image, view, 51.48, -0.01, ColourAt(51.48, -0.01));
  ExpectTileColour(image, view, 51.475, 0.005, ColourAt(51.475, 0.005));
}

// On a high-density screen a server with "{r}" gives tiles of twice the
// pixels for the same zoom; one without it gives the next zoom's tiles.
TEST_F(TileFetcherTest, HighDensityScreensGetTheServersDoubleTiles) {
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
TEST_F(TileFetcherTest, FailedTilesAreDrawnEmptyAndAskedForAgainAfterAMinute) {
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
TEST_F(TileFetcherTest, WhatIsNoTileIsDrawnEmptyAndNotAskedForAgain) {
  const TileKey odd = TileAt(51.48, -0.01, TileZoomFor(view, 256, 0, 19));
  QImage huge(4096, 4096, QImage::Format_RGB32);
  huge.fill(Qt::red);
  QByteArray hugePng;
  QBuffer buffer(&hugePng);
  buffer.open(QIODevice::WriteOnly);
  huge.save(&buffer, "PNG");
  // legend: what the server sends for the tile, with 200 OK
  const struct {
    const char* legend;
    std::string body;
  } rows[] = {
      {"not a picture", "<html>busy</html>"},
      {"binary noise", std::string("\x89PNG\r\n\x1a\n\xff\xfe\x00\x01garbage", 20)},
      {"a picture of 4096 x 4096 pixels", hugePng.toStdString()},
      {"five megabytes", std::string(5 * 1024 * 1024, 'x')},
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
  }
}

// However many tiles a view lacks, four are asked for at a time, and the
// ones still queued when the view moves on are never asked for.
TEST_F(TileFetcherTest, FourAtATimeAndOnlyTheTilesInView) {
  TileServer server([](const TileServer::Request& request) {
    TileServer::Reply reply = GoodTile(request);
    reply.delayMs = 150;
    return reply;
  });
  MapLayer layer;
  layer.SetSource(Source(server));
  const std::set<std::string> first = VisiblePaths(view);
  ASSERT_GT(first.size(), 8u);
  PaintOnce(layer, view);
  ASSERT_TRUE(SpinUntil([&] { return server.RequestCount() >= 4; }));
  // Far away: nothing of the first view is in this one.
  TrackProjection away = view;
  away.PanBy(-3000.0, 0.0);
  const std::set<std::string> second = VisiblePaths(away);
  PaintOnce(layer, away);
  SpinUntil([&] { return !layer.loading(); });
  EXPECT_LE(server.mostWaiting(), TileFetcher::kMostInFlight);
  EXPECT_EQ(server.mostWaiting(), TileFetcher::kMostInFlight) << "four do go at once";
  size_t ofFirst = 0;
  for (const TileServer::Request& request : server.requests()) {
    EXPECT_TRUE(first.contains(request.path) || second.contains(request.path)) << request.path;
    ofFirst += first.contains(request.path) && !second.contains(request.path) ? 1 : 0;
  }
  EXPECT_LE(ofFirst, static_cast<size_t>(TileFetcher::kMostInFlight))
      << "only the requests already sent for the view left behind";
  const QImage image = PaintSettled(layer, away);
  EXPECT_NE(image.pixelColor(200, 150), QColor(Qt::white)) << "the new view is drawn";
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
}

}  // namespace
}  // namespace pathmere
