// Map source files: what makes one good, and that a bad one costs only its
// own entry in the "Map" choice.
#include "ui/map/map_source_file.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <QFile>

#include "support/scoped_env.h"
#include "support/test_environment.h"
#include "ui/map/map_choice.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;

const char* const kGood =
    "# notes are skipped\n"
    "name = Hills\n"
    "url = https://tiles.example.net/{z}/{x}/{y}{r}.png\n"
    "min-zoom = 3\n"
    "max-zoom = 17\n"
    "tile-size = 512\n"
    "attribution = (c) Hill makers\n";

TEST(MapSourceFileTest, GoodFilesAreReadAndBadOnesSayWhichLineAndWhy) {
  MapSourceFile good;
  QString problem;
  ASSERT_TRUE(ParseMapSourceFile(kGood, &good, &problem)) << problem.toStdString();
  EXPECT_EQ(good.name, "Hills");
  EXPECT_EQ(good.urlTemplate, "https://tiles.example.net/{z}/{x}/{y}{r}.png");
  EXPECT_EQ(good.minZoom, 3);
  EXPECT_EQ(good.maxZoom, 17);
  EXPECT_EQ(good.tileSize, 512);
  EXPECT_EQ(good.attribution, "(c) Hill makers");

  // legend: what is wrong | the file | what the message says
  const struct {
    const char* legend;
    std::string text;
    const char* problem;
  } bad[] = {
      {"no name", "url = https://a.example/{z}/{x}/{y}.png\n", "no name"},
      {"no url", "name = A\n", "lacks {z}"},
      {"url without {y}", "name = A\nurl = https://a.example/{z}/{x}.png\n", "lacks {z}, {x} or {y}"},
      {"not http", "name = A\nurl = file:///tiles/{z}/{x}/{y}.png\n", "not an http"},
      {"no host", "name = A\nurl = https:///{z}/{x}/{y}.png\n", "not an http"},
      {"zoom out of range", "name = A\nmax-zoom = 99\n", "line 2: max-zoom is not 0 to 24"},
      {"zoom not a number", "name = A\nmin-zoom = low\n", "line 2: min-zoom"},
      {"zooms crossed", "name = A\nurl = https://a.example/{z}/{x}/{y}.png\nmin-zoom = 9\nmax-zoom = 4\n",
       "min-zoom is above max-zoom"},
      {"odd tile size", "name = A\ntile-size = 300\n", "line 2: tile-size"},
      {"unknown key", "name = A\n\n# note\nurll = https://a.example/{z}/{x}/{y}.png\n",
       "line 4: unknown key \"urll\""},
      {"no equals sign", "name A\n", "line 1: not \"key = value\""},
      {"binary noise", std::string("\x89PNG\r\n\x1a\n\0\0\xff", 12), "line 1"},
      {"too long", "name = A\n" + std::string(kMostMapSourceFileBytes, '#'), "longer than"},
  };
  for (const auto& row : bad) {
    MapSourceFile source;
    QString why;
    EXPECT_FALSE(ParseMapSourceFile(QByteArray::fromStdString(row.text), &source, &why)) << row.legend;
    EXPECT_TRUE(why.contains(QLatin1String(row.problem))) << row.legend << ": " << why.toStdString();
  }
}

TEST(MapSourceFileTest, TheUsersFileReplacesTheProgramsAndABadFileIsLeftOut) {
  testing::TempFolder temp;
  const fs::path user = temp.path() / "user";
  const fs::path shipped = temp.path() / "shipped";
  fs::create_directories(user);
  fs::create_directories(shipped);
  fs::copy_file(fs::path(PATHMERE_SOURCE_DIR) / "resources/maps/openstreetmap.txt",
                shipped / "openstreetmap.txt");
  std::ofstream(shipped / "hills.txt") << kGood;
  std::ofstream(user / "hills.txt") << "name = My hills\nurl = http://127.0.0.1:1/{z}/{x}/{y}.png\n";
  std::ofstream(user / "broken.txt") << "name = Broken\nurl = nowhere\n";
  std::ofstream(user / "readme.md") << "not a map source";
  QStringList problems;
  const std::vector<MapSourceFile> sources = ReadMapSources(
      {QString::fromStdString(user.string()), QString::fromStdString(shipped.string())}, &problems);
  ASSERT_EQ(sources.size(), 2u);
  EXPECT_EQ(sources[0].name, "My hills");
  EXPECT_EQ(sources[1].name, "OpenStreetMap");
  EXPECT_EQ(sources[1].urlTemplate, "https://tile.openstreetmap.org/{z}/{x}/{y}.png");
  EXPECT_EQ(sources[1].maxZoom, 19);
  EXPECT_EQ(sources[1].attribution, "© OpenStreetMap contributors");
  ASSERT_EQ(problems.size(), 1);
  EXPECT_TRUE(problems[0].contains(QLatin1String("broken.txt left out: the url lacks")))
      << problems[0].toStdString();
}

// The program's own files are found in the data folders; the servers come
// right after "No map", which stays the choice of a first start.
TEST(MapSourceFileTest, TheProgramsServersFollowNoMapInTheChoice) {
  testing::TempFolder temp;
  testing::ScopedEnv config("XDG_CONFIG_HOME", (temp.path() / "config").c_str());
  testing::ScopedEnv dataHome("XDG_DATA_HOME", (temp.path() / "home").c_str());
  testing::ScopedEnv dataDirs("XDG_DATA_DIRS", (temp.path() / "usr/share").c_str());
  fs::create_directories(temp.path() / "usr/share/pathmere/maps");
  fs::copy_file(fs::path(PATHMERE_SOURCE_DIR) / "resources/maps/openstreetmap.txt",
                temp.path() / "usr/share/pathmere/maps/openstreetmap.txt");
  EXPECT_TRUE(
      MapSourceFolders().contains(QString::fromStdString((temp.path() / "config/Brenix/maps").string())));
  MapChoice choice;
  int sources = 0;
  choice.onSource = [&](std::unique_ptr<TileSource> source) { sources += source != nullptr ? 1 : 0; };
  choice.Restore();
  ASSERT_EQ(choice.count(), 3);
  EXPECT_EQ(choice.itemText(0), "No map");
  EXPECT_EQ(choice.currentIndex(), 0);
  EXPECT_EQ(sources, 0) << "no network until asked";
  EXPECT_EQ(choice.itemText(1), "OpenStreetMap");
  choice.activated(1);
  EXPECT_EQ(sources, 1);
  MapChoice again;
  again.onSource = choice.onSource;
  again.Restore();
  EXPECT_EQ(again.currentText(), "OpenStreetMap") << "the choice is kept";
  EXPECT_EQ(sources, 2);
  EXPECT_EQ(again.toolTip(), "© OpenStreetMap contributors");
  EXPECT_FALSE(again.itemData(0, Qt::ToolTipRole).isValid()) << "no file is bad";
  // A bad file of the user's is told where the choice is made.
  fs::create_directories(temp.path() / "config/Brenix/maps");
  std::ofstream(temp.path() / "config/Brenix/maps/hills.txt") << "name = Hills\nurll = x\n";
  MapChoice third;
  EXPECT_EQ(third.count(), 3);
  EXPECT_TRUE(
      third.itemData(0, Qt::ToolTipRole).toString().contains("hills.txt left out: line 2: unknown key"))
      << third.itemData(0, Qt::ToolTipRole).toString().toStdString();
}

}  // namespace
}  // namespace pathmere
