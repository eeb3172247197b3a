// Offline maps under the track: an MBTiles file and a z/x/y folder made
// here, each tile one known colour, drawn where the track's pixels are.
#include "ui/map/map_layer.h"

#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPainter>

#include "support/map_tiles.h"
#include "support/scoped_env.h"
#include "support/test_environment.h"
#include "ui/map/map_choice.h"
#include "ui/track_painter.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;

using testing::TileColour;
using testing::TilePng;

void Exec(sqlite3* db, const char* sql) {
  ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
}

// An MBTiles file as map tools write it, rows counted from the south.
void WriteMbTiles(const fs::path& path, const std::vector<TileKey>& tiles, int minZoom, int maxZoom) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  Exec(db, "CREATE TABLE metadata (name text, value text)");
  Exec(db, "CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, tile_data blob)");
  const std::string metadata =
      "INSERT INTO metadata VALUES ('name', 'Test map'), ('format', 'png'), "
      "('attribution', '(c) Test map makers'), ('bounds', '-1,51,1,52'), ('minzoom', '" +
      std::to_string(minZoom) + "'), ('maxzoom', '" + std::to_string(maxZoom) + "')";
  Exec(db, metadata.c_str());
  sqlite3_stmt* insert = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO tiles VALUES (?, ?, ?, ?)", -1, &insert, nullptr), SQLITE_OK);
  for (const TileKey& key : tiles) {
    const QByteArray png = TilePng(key);
    sqlite3_bind_int(insert, 1, key.zoom);
    sqlite3_bind_int(insert, 2, key.x);
    sqlite3_bind_int(insert, 3, (1 << key.zoom) - 1 - key.y);
    sqlite3_bind_blob(insert, 4, png.constData(), static_cast<int>(png.size()), SQLITE_TRANSIENT);
    ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_close(db);
}

void WriteFolder(const fs::path& folder, const std::vector<TileKey>& tiles) {
  for (const TileKey& key : tiles) {
    const fs::path dir = folder / std::to_string(key.zoom) / std::to_string(key.x);
    fs::create_directories(dir);
    QFile file(QString::fromStdString((dir / (std::to_string(key.y) + ".png")).string()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(TilePng(key));
  }
}

TEST(MapLayerTest, ThePixelUnderAPositionHasTheColourOfItsTileAtTwoZooms) {
  testing::TempFolder temp;
  // Two views of Greenwich: fitted to a few kilometres, and four times closer.
  TrackProjection wide;
  wide.SetViewport(400, 300);
  GeoBounds bounds;
  bounds.Include(51.47, -0.03);
  bounds.Include(51.49, 0.01);
  wide.Fit(bounds);
  TrackProjection close = wide;
  close.ZoomAbout(200, 150, 4.0);
  const int wideZoom = TileZoomFor(wide, 256, 0, 19);
  const int closeZoom = TileZoomFor(close, 256, 0, 19);
  ASSERT_EQ(closeZoom, wideZoom + 2);
  std::vector<TileKey> tiles;
  for (const TrackProjection* view : {&wide, &close}) {
    for (const TilePlacement& tile : VisibleTiles(*view, TileZoomFor(*view, 256, 0, 19)))
      tiles.push_back(tile.key);
  }
  // One tile of the close view is missing: the coarser one stands in.
  const TileKey hole = TileAt(51.48, -0.01, closeZoom);
  std::erase(tiles, hole);
  WriteMbTiles(temp.path() / "greenwich.mbtiles", tiles, wideZoom, closeZoom);
  WriteFolder(temp.path() / "folder", tiles);

  for (const char* map : {"greenwich.mbtiles", "folder"}) {
    QString problem;
    std::unique_ptr<TileSource> source =
        OpenMapFile(QString::fromStdString((temp.path() / map).string()), &problem);
    ASSERT_NE(source, nullptr) << problem.toStdString();
    if (std::string(map) == "greenwich.mbtiles") {
      EXPECT_EQ(source->name, "Test map");
      EXPECT_EQ(source->attribution, "(c) Test map makers");
    }
    EXPECT_EQ(source->minZoom, wideZoom) << map;
    EXPECT_EQ(source->maxZoom, closeZoom) << map;
    MapLayer layer;
    layer.SetSource(std::move(source));
    for (const TrackProjection* view : {&wide, &close}) {
      const QImage image = testing::PaintSettled(layer, *view);
      const int zoom = TileZoomFor(*view, 256, 0, 19);
      for (const auto& [latitude, longitude] :
           {std::pair{51.48, -0.01}, std::pair{51.475, 0.005}, std::pair{51.486, -0.025}}) {
        double x = 0.0;
        double y = 0.0;
        view->ToPixel(latitude, longitude, &x, &y);
        if (x < 0 || y < 0 || x >= view->width() || y >= view->height()) continue;
        TileKey key = TileAt(latitude, longitude, zoom);
        if (key == hole) key = key.Parent(2);
        EXPECT_EQ(image.pixelColor(static_cast<int>(x), static_cast<int>(y)), TileColour(key))
            << map << " zoom " << zoom << " at " << latitude << "," << longitude;
      }
    }
  }

  // Its bounds hold Greenwich, not Paris: no tile of Paris is looked up.
  {
    QString problem;
    MapLayer layer;
    layer.SetSource(
        OpenMapFile(QString::fromStdString((temp.path() / "greenwich.mbtiles").string()), &problem));
    EXPECT_TRUE(layer.source()->Holds(TileAt(51.48, -0.01, closeZoom)));
    EXPECT_FALSE(layer.source()->Holds(TileAt(48.85, 2.35, closeZoom)));
    EXPECT_FALSE(layer.source()->Holds(TileAt(51.48, 1.5, wideZoom)));
    TrackProjection paris = close;
    GeoBounds city;
    city.Include(48.85, 2.33);
    city.Include(48.86, 2.36);
    paris.Fit(city);
    testing::PaintOnce(layer, paris);
    EXPECT_FALSE(layer.loading()) << "nothing read for tiles outside the bounds";
  }

  QString problem;
  std::ofstream(temp.path() / "notes.mbtiles") << "not a database";
  EXPECT_EQ(OpenMapFile(QString::fromStdString((temp.path() / "notes.mbtiles").string()), &problem), nullptr);
  EXPECT_TRUE(problem.contains("not an MBTiles file")) << problem.toStdString();
  EXPECT_EQ(OpenMapFile(QString::fromStdString((temp.path() / "none").string()), &problem), nullptr);
}

// "Open map file..." remembers the map and the choice for the next start.
TEST(MapLayerTest, TheMapChoiceIsKeptForTheNextStart) {
  testing::TempFolder temp;
  testing::ScopedEnv config("XDG_CONFIG_HOME", temp.path().c_str());
  // No map source file of this machine's installation.
  testing::ScopedEnv dataHome("XDG_DATA_HOME", (temp.path() / "data").c_str());
  testing::ScopedEnv dataDirs("XDG_DATA_DIRS", (temp.path() / "data").c_str());
  WriteFolder(temp.path() / "tiles", {{3, 4, 2}});
  const QString folder = QString::fromStdString((temp.path() / "tiles").string());
  int sources = 0;
  {
    MapChoice choice;
    choice.onSource = [&](std::unique_ptr<TileSource> source) { sources += source != nullptr ? 1 : 0; };
    choice.Restore();
    EXPECT_EQ(choice.currentText(), "No map") << "the first start reads no map";
    EXPECT_EQ(choice.itemText(choice.count() - 1), "Open map file...");
    choice.askMapFile = [&] { return folder + "/3/4/2.png"; };  // a file in the folder means the folder
    choice.activated(choice.count() - 1);
    EXPECT_EQ(sources, 1);
    EXPECT_EQ(choice.currentText(), "tiles");
  }
  MapChoice again;
  again.onSource = [&](std::unique_ptr<TileSource> source) { sources += source != nullptr ? 1 : 0; };
  again.Restore();
  EXPECT_EQ(sources, 2);
  EXPECT_EQ(again.currentText(), "tiles");
  again.activated(0);
  MapChoice third;
  third.Restore();
  EXPECT_EQ(third.currentText(), "No map");
  EXPECT_EQ(third.count(), 3) << "the map stays in the list";
}

}  // namespace
}  // namespace pathmere
