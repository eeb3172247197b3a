// Tools > "Show all days": the days of the output folder indexed off the
// window's thread and drawn at once; a click lists the days that passed
// there, and a double click opens one in the track view.
#include "ui/all_days_view.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>

#include <gtest/gtest.h>
#include <QDateTime>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QTest>

#include "archive/archive_index.h"
#include "desktop_fixture.h"
#include "support/generated_archive.h"
#include "ui/all_days_map.h"
#include "ui/all_days_pictures.h"
#include "ui/month_strip.h"

namespace pathmere {
namespace {

using testing::DesktopTest;
using testing::FindAction;

// The map once every tile in view is drawn (off the window's thread).
QImage SettledPicture(AllDaysMap& map) {
  QImage picture = map.grab().toImage();
  while (map.drawing()) {
    if (!QTest::qWaitFor([&] { return !map.drawing(); }, 20000)) break;
    picture = map.grab().toImage();
  }
  return picture;
}

// The stored pictures beside the index: each file with the generation of
// the days it shows.
std::map<QString, QString> StoredPictures(const std::filesystem::path& cache) {
  std::map<QString, QString> stored;
  QDirIterator files(QString::fromStdString((cache / "pathmere" / "archive" / "all-days-pictures").string()),
                     {QStringLiteral("*.png")}, QDir::Files, QDirIterator::Subdirectories);
  while (files.hasNext()) {
    const QString file = files.next();
    stored[file] = QImageReader(file).text(QStringLiteral("generation"));
  }
  return stored;
}

class AllDaysViewTest : public DesktopTest {
 protected:
  testing::TempFolder cache;
  testing::ScopedEnv cacheEnv_{"XDG_CACHE_HOME", cache.path().c_str()};
};

TEST_F(AllDaysViewTest, ShowsEveryDayAndListsThoseThatPassedAPlace) {
  StoreOutputFolder(L"\\Tracks");
  testing::WriteGeneratedArchive(Device("Tracks"), testing::DayNumberOfCivil(2025, 11, 1), 6, 900, 20);
  auto window = MakeWindow();
  Start(*window);

  FindAction(window->toolsMenu(), "Show all days")->trigger();
  AllDaysView* view = window->allDaysView();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->windowTitle(), "Pathmere - All days");
  EXPECT_TRUE(view->isVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return view->indexed(); }, 20000));
  EXPECT_TRUE(dialogsShown.empty());
  EXPECT_TRUE(view->totals()->text().startsWith("6 days, ")) << view->totals()->text().toStdString();
  EXPECT_TRUE(std::filesystem::exists(cache.path() / "pathmere" / "archive" / "index.sqlite"));
  EXPECT_FALSE(view->deviceKey()->isVisible());  // one device: coloured by year

  // The lines are drawn: the picture is not all one colour.
  const QImage picture = SettledPicture(*view->map());
  int coloured = 0;
  for (int y = 0; y < picture.height(); y += 2) {
    for (int x = 0; x < picture.width(); x += 2)
      coloured += picture.pixel(x, y) != picture.pixel(0, 0) ? 1 : 0;
  }
  EXPECT_GT(coloured, 50);

  // Home, where every day starts: all six, newest first.
  ArchiveArea home;
  home.latitude = testing::kArchivePlaces[0].latitude;
  home.longitude = testing::kArchivePlaces[0].longitude;
  view->Ask(home);
  ASSERT_EQ(view->daysHere()->count(), 6);
  EXPECT_TRUE(view->daysHere()->item(0)->text().startsWith("2026-02-09  07:05:00 - "))
      << view->daysHere()->item(0)->text().toStdString();
  EXPECT_TRUE(view->daysHere()->item(5)->toolTip().endsWith(" UTC"));

  // The months from the first day's to the last's, each a bar; a click on
  // one shows its days alone, a second click all again.
  ASSERT_EQ(view->months()->months().size(), 4u);
  EXPECT_GT(view->months()->months()[1].second, 0.0);
  QTest::mouseClick(view->months(), Qt::LeftButton, {}, view->months()->CentreOf("2025-12"));
  EXPECT_TRUE(view->totals()->text().startsWith("2 days, ")) << view->totals()->text().toStdString();
  view->Ask(home);
  EXPECT_EQ(view->daysHere()->count(), 2);
  QTest::mouseClick(view->months(), Qt::LeftButton, {}, view->months()->CentreOf("2025-12"));
  EXPECT_TRUE(view->totals()->text().startsWith("6 days, "));
  view->Ask(home);

  // Today's day is drawn as the logger flushes it, a line cut in two at
  // first.
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char name[32];
  std::strftime(name, sizeof name, "%Y-%m-%d.plt", &local);
  const std::string today = testing::GeneratedArchiveDay(
      6, testing::DayNumberOfCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday), 900);
  std::ofstream(Device("Tracks") / name, std::ios::binary) << today.substr(0, today.size() / 2);
  view->CheckToday();
  ASSERT_TRUE(QTest::qWaitFor([&] { return view->totals()->text().startsWith("7 days, "); }, 15000));
  const QString half = view->totals()->text();
  SettledPicture(*view->map());
  const std::map<QString, QString> halfDrawn = StoredPictures(cache.path());
  std::ofstream(Device("Tracks") / name, std::ios::binary | std::ios::app) << today.substr(today.size() / 2);
  view->CheckToday();
  ASSERT_TRUE(QTest::qWaitFor([&] { return view->totals()->text() != half; }, 15000));
  // The tiles the grown day meets are drawn again and stored anew.
  SettledPicture(*view->map());
  const std::map<QString, QString> wholeDrawn = StoredPictures(cache.path());
  ASSERT_FALSE(wholeDrawn.empty());
  EXPECT_NE(wholeDrawn, halfDrawn);
  {
    // A second opening draws from the stored pictures: the same map, and
    // none stored again.
    std::string note, error;
    auto index =
        ArchiveIndex::Open(cache.path() / "pathmere" / "archive" / "index.sqlite", false, &note, &error);
    ASSERT_NE(index, nullptr) << error;
    std::vector<ArchiveDay> days;
    ASSERT_TRUE(index->Days(ArchiveFoldersOf(Device("Tracks")), &days, &error)) << error;
    GeoBounds bounds;
    for (const ArchiveDay& day : days) bounds.Include(day.bounds);
    std::map<QString, QDateTime> written;
    for (const auto& [file, generation] : wholeDrawn) written[file] = QFileInfo(file).lastModified();
    AllDaysMap again;
    again.resize(view->map()->size());
    again.SetIndex(index.get(), ArchiveFoldersOf(Device("Tracks")));
    again.Fit(bounds);
    view->map()->Fit(bounds);
    EXPECT_EQ(SettledPicture(again), SettledPicture(*view->map()));
    // A picture is stored again only when its days changed since (a stand-in
    // drawn while today's day was half may be).
    int kept = 0;
    for (const auto& [file, generation] : StoredPictures(cache.path())) {
      const auto was = wholeDrawn.find(file);
      if (was == wholeDrawn.end() || was->second != generation) continue;
      EXPECT_EQ(QFileInfo(file).lastModified(), written[file]) << file.toStdString();
      ++kept;
    }
    EXPECT_GT(kept, 0);
  }
  EXPECT_TRUE(view->totals()->text().startsWith("7 days, "));
  EXPECT_TRUE(view->totals()->text().endsWith(QStringLiteral("%1 points").arg(900 * 7)))
      << view->totals()->text().toStdString();

  // A double click opens that day in the track view.
  emit view->daysHere()->itemDoubleClicked(view->daysHere()->item(5));
  ASSERT_NE(window->trackView(), nullptr);
  EXPECT_EQ(window->trackView()->day(), (LocalDate{2025, 11, 1}));
  EXPECT_GT(window->trackView()->track().points().size(), 800u);
}

// The pixels of `picture` within a small distance of `colour`.
int PixelsOf(const QImage& picture, const QColor& colour) {
  int found = 0;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const QColor at = picture.pixelColor(x, y);
      found += std::abs(at.red() - colour.red()) + std::abs(at.green() - colour.green()) +
                           std::abs(at.blue() - colour.blue()) <
                       24
                   ? 1
                   : 0;
    }
  }
  return found;
}

TEST_F(AllDaysViewTest, SeveralDevicesAreDrawnEachInItsColourWithAKey) {
  // A collector's folders, one a device; the second's days take other ways.
  const std::filesystem::path collector = Device("collector");
  const int64_t first = testing::DayNumberOfCivil(2026, 3, 1);
  testing::WriteGeneratedArchive(collector / "anna-phone", first, 3, 900);
  std::filesystem::create_directories(collector / "bob-car");
  for (int i = 0; i < 3; ++i) {
    int year = 0, month = 0, day = 0;
    testing::CivilOfDayNumber(first + i, &year, &month, &day);
    char name[32];
    std::snprintf(name, sizeof name, "%04d-%02d-%02d.plt", year, month, day);
    std::ofstream(collector / "bob-car" / name, std::ios::binary)
        << testing::GeneratedArchiveDay(i + 7, first + i, 900);
  }
  AllDaysView view(ArchiveFoldersOf(collector), cache.path() / "index.sqlite");
  view.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return view.indexed(); }, 20000));
  EXPECT_TRUE(view.totals()->text().startsWith("6 days, ")) << view.totals()->text().toStdString();
  EXPECT_TRUE(view.deviceKey()->isVisible());
  EXPECT_TRUE(view.deviceKey()->text().contains("anna-phone"));
  EXPECT_TRUE(view.deviceKey()->text().contains("bob-car"));
  const QImage picture = SettledPicture(*view.map());
  EXPECT_GT(PixelsOf(picture, AllDaysMap::DeviceColour(0)), 20);
  EXPECT_GT(PixelsOf(picture, AllDaysMap::DeviceColour(1)), 20);
}

// Pictures of colourings no longer used do not fill the disk: past its room
// the folder loses those least recently found or kept.
TEST(AllDaysPicturesTest, PruningKeepsThoseFoundOrKeptLast) {
  testing::TempFolder folder;
  const AllDaysPictures pictures(folder.path());
  QImage tile(256, 256, QImage::Format_ARGB32_Premultiplied);
  tile.fill(Qt::red);
  std::vector<std::filesystem::path> files;
  for (int x = 0; x < 4; ++x) {
    pictures.Keep(10, x, 7, 0xC0 + x, 5, tile);
    char name[64];
    std::snprintf(name, sizeof name, "%d-7-%016x.png", x, 0xC0 + x);
    files.push_back(folder.path() / "10" / name);
    ASSERT_TRUE(std::filesystem::exists(files.back()));
    // Kept and last read an hour apart, the first longest ago.
    const struct timespec ago = {std::time(nullptr) - 3600 * (4 - x), 0};
    const struct timespec times[2] = {ago, ago};
    ASSERT_EQ(::utimensat(AT_FDCWD, files.back().c_str(), times, 0), 0);
  }
  ASSERT_FALSE(pictures.Find(10, 0, 7, 0xC0, 5).isNull());  // the oldest, found now
  const uint64_t each = std::filesystem::file_size(files[0]);
  pictures.Prune(4 * each);
  for (const auto& file : files) EXPECT_TRUE(std::filesystem::exists(file));
  pictures.Prune(3 * each);  // room for three: two go, the least recently used
  EXPECT_TRUE(std::filesystem::exists(files[0]));
  EXPECT_FALSE(std::filesystem::exists(files[1]));
  EXPECT_FALSE(std::filesystem::exists(files[2]));
  EXPECT_TRUE(std::filesystem::exists(files[3]));
}

}  // namespace
}  // namespace pathmere
