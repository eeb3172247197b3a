// Maps from a tile server, as the fetcher and its disk cache serve them:
// who asks, how often, and what the cache keeps.
#include "ui/map/tile_fetcher.h"

#include <atomic>
#include <filesystem>

#include <gtest/gtest.h>
#include <QDateTime>
#include <QNetworkDiskCache>

#include "tile_server_fixture.h"

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
using TileFetcherTest = testing::TileServerTest;

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
}  // namespace
}  // namespace pathmere
