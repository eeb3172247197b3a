#include "ui/output_folder_chooser.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "app/program.h"
#include "desktop_fixture.h"
#include "output_folder_chooser_fixture.h"
#include "settings/settings_operations.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::OutputFolderChooserTest;

TEST_F(OutputFolderChooserTest, ListsRealSubfoldersInNameOrderWithTheWayUpFirst) {
  MakeFolders(
      {"beta", "Alpha", "gamma/#1", "gamma/-x", "gamma/b", "gamma/.git", "Zulu", "alpha2", ".config"});
  std::ofstream(root.path() / "notes.txt") << "not a folder";
  auto chooser = Open();
  EXPECT_EQ(chooser->windowTitle(), "Select output folder");
  const QHeaderView* header = chooser->folderList()->header();
  EXPECT_EQ(header->sectionSize(1), 60);
  EXPECT_EQ(header->sectionSize(0) + 60, chooser->folderList()->viewport()->width()) << "Name takes the rest";
  EXPECT_TRUE(chooser->candidateField()->isReadOnly());
  EXPECT_EQ(Candidate(*chooser), "\\Pathmere") << "the writers' folder to start with";
  // The dialog says what it is for and where "\" lies on this computer.
  EXPECT_TRUE(chooser->purposeLabel()->text().contains("\"\\\" is your home folder, or PATHMERE_ROOT"));
  EXPECT_EQ(chooser->hostPathLabel()->text().toStdString(), "= " + (root.path() / "Pathmere").string());
  // At the root there is no way up; files and hidden folders are not listed.
  EXPECT_EQ(Rows(*chooser), (std::vector<std::string>{"Alpha | Folder", "alpha2 | Folder", "beta | Folder",
                                                      "gamma | Folder", "Zulu | Folder"}));
  DoubleTap(*chooser, "gamma");
  // ".." stays first even where names sort before it.
  EXPECT_EQ(Rows(*chooser), (std::vector<std::string>{"..", "#1 | Folder", "-x | Folder", "b | Folder"}));
  DoubleTap(*chooser, "..");
  EXPECT_EQ(chooser->depth(), 0);
}

TEST_F(OutputFolderChooserTest, TapMakesACandidateAndDoubleTapWalksDownAndUp) {
  MakeFolders({"Tracks/2026/December", "Other"});
  auto chooser = Open();

  Tap(*chooser, "Tracks");
  EXPECT_EQ(Candidate(*chooser), "\\Tracks") << "a tap does not go down";
  EXPECT_EQ(chooser->depth(), 0);

  DoubleTap(*chooser, "Tracks");
  EXPECT_EQ(chooser->browsePath(), L"\\Tracks");
  EXPECT_EQ(chooser->depth(), 1);
  EXPECT_EQ(Candidate(*chooser), "\\Tracks") << "the browsed folder itself";
  DoubleTap(*chooser, "2026");
  EXPECT_EQ(chooser->browsePath(), L"\\Tracks\\2026");
  Tap(*chooser, "December");
  EXPECT_EQ(Candidate(*chooser), "\\Tracks\\2026\\December");
  Tap(*chooser, "..");
  EXPECT_EQ(Candidate(*chooser), "\\Tracks\\2026") << "a tap on .. names the browsed folder";
  EXPECT_EQ(chooser->depth(), 2);

  DoubleTap(*chooser, "..");
  DoubleTap(*chooser, "..");
  EXPECT_EQ(chooser->depth(), 0);
  EXPECT_EQ(chooser->browsePath(), L"");
  EXPECT_EQ(Candidate(*chooser), "\\") << "the root, as the dialog names it";
  EXPECT_EQ(chooser->hostPathLabel()->text().toStdString(), "= " + root.path().string());

  // OK at the root hands the empty path on, though "\" is shown; the next
  // start finds no usable folder and asks again.
  QTest::mouseClick(chooser->okButton(), Qt::LeftButton);
  EXPECT_EQ(chooser->result(), QDialog::Accepted);
  EXPECT_STREQ(program.track().folder(), L"");
  EXPECT_STREQ(program.route().folder(), L"");
  EXPECT_STREQ(program.nmeaLog().folder(), L"");
  EXPECT_STREQ(program.waypoints().folder(), L"");
  std::wstring stored;
  EXPECT_EQ(LoadStoredFolder(&stored), 3);
}

// A double tap beside the rows, where none is marked, names the browsed
// folder.
TEST_F(OutputFolderChooserTest, DoubleTapBesideTheRowsNamesTheBrowsedFolder) {
  MakeFolders({"Tracks/2026"});
  auto chooser = Open();
  DoubleTap(*chooser, "Tracks");
  Tap(*chooser, "2026");
  ASSERT_EQ(Candidate(*chooser), "\\Tracks\\2026");
  QWidget* viewport = chooser->folderList()->viewport();
  const QPoint below(viewport->width() / 2, viewport->height() - 4);
  ASSERT_EQ(chooser->folderList()->itemAt(below), nullptr);
  QTest::mouseDClick(viewport, Qt::LeftButton, {}, below);
  EXPECT_EQ(Candidate(*chooser), "\\Tracks");
  EXPECT_TRUE(chooser->folderList()->selectedItems().isEmpty());
  EXPECT_EQ(chooser->depth(), 1) << "nothing to go into";
}

TEST_F(OutputFolderChooserTest, OkAtOnceStoresTheCurrentFolderAndCancelChangesNothing) {
  MakeFolders({"Logs/2026", "Other"});
  program.SetOutputFolder(L"\\Logs\\2026");
  {
    auto chooser = Open();
    DoubleTap(*chooser, "Other");
    Tap(*chooser, "..");
    QTest::mouseClick(chooser->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(chooser->result(), QDialog::Rejected);
    EXPECT_STREQ(program.track().folder(), L"\\Logs\\2026");
    std::wstring stored;
    EXPECT_EQ(LoadStoredFolder(&stored), 1) << "nothing stored";
  }
  auto chooser = Open();
  QTest::mouseClick(chooser->okButton(), Qt::LeftButton);
  std::wstring stored;
  ASSERT_EQ(LoadStoredFolder(&stored), 0);
  EXPECT_EQ(stored, L"\\Logs\\2026");
  EXPECT_STREQ(program.route().folder(), L"\\Logs\\2026");
}

TEST_F(OutputFolderChooserTest, EveryOpeningStartsAtTheRoot) {
  MakeFolders({"Tracks/2026"});
  {
    auto chooser = Open();
    DoubleTap(*chooser, "Tracks");
    DoubleTap(*chooser, "2026");
    ASSERT_EQ(chooser->depth(), 2);
  }
  auto chooser = Open(Orientation::kPortrait);
  EXPECT_EQ(chooser->depth(), 0);
  EXPECT_EQ(chooser->browsePath(), L"");
  EXPECT_EQ(Rows(*chooser), std::vector<std::string>{"Tracks | Folder"});
}

TEST_F(OutputFolderChooserTest, CreateAddsAFolderHereAndSilentlyRefusesNamesThatReachElsewhere) {
  MakeFolders({"Tracks"});
  auto chooser = Open();
  DoubleTap(*chooser, "Tracks");
  Tap(*chooser, "..");
  ASSERT_EQ(Candidate(*chooser), "\\Tracks");

  Create(*chooser, "2026");
  EXPECT_TRUE(fs::is_directory(root.path() / "Tracks" / "2026"));
  EXPECT_EQ(Rows(*chooser), (std::vector<std::string>{"..", "2026 | Folder"}));
  ASSERT_EQ(chooser->folderList()->selectedItems().size(), 1) << "listed and selected";
  EXPECT_EQ(chooser->folderList()->selectedItems().first()->text(0), "2026");
  EXPECT_EQ(Candidate(*chooser), "\\Tracks\\2026") << "the folder made is the candidate";
  EXPECT_TRUE(chooser->nameField()->text().isEmpty());

  const std::vector<std::string> before = Tree();
  // Blanks at either end would list as a name that looks empty, or like
  // another one.
  for (const char* name : {"", ".", "..", "../escape", "a/b", "..\\escape", "a\\b", "/", "\\", "2026", " ",
                           "   ", "\t", " 2027", "2027 "}) {
    SCOPED_TRACE(name);
    Create(*chooser, QString::fromUtf8(name));
    EXPECT_TRUE(chooser->nameField()->text().isEmpty());
    EXPECT_EQ(Candidate(*chooser), "\\Tracks\\2026") << "a refused name changes nothing";
  }
  EXPECT_EQ(Tree(), before);
  EXPECT_EQ(Rows(*chooser), (std::vector<std::string>{"..", "2026 | Folder"}));

  // The field takes no more than a folder name can hold.
  DoubleTap(*chooser, "..");
  Create(*chooser, QString(300, QLatin1Char('n')));
  EXPECT_TRUE(fs::is_directory(root.path() / std::string(254, 'n')));
}

TEST_F(OutputFolderChooserTest, PathsThatWouldNotFitAreRefusedAndChangeNothing) {
  const std::string longName(200, 'L');
  MakeFolders({longName + "/" + std::string(100, 'M')});
  auto chooser = Open();
  DoubleTap(*chooser, longName);
  ASSERT_EQ(chooser->depth(), 1);
  const std::string here = "\\" + longName;

  // 201 + 1 + 100 characters: more than a path holds. The refused row is
  // not left highlighted, or OK would seem to take it.
  Tap(*chooser, std::string(100, 'M'));
  EXPECT_EQ(Candidate(*chooser), here);
  EXPECT_TRUE(chooser->folderList()->selectedItems().isEmpty());
  DoubleTap(*chooser, std::string(100, 'M'));
  EXPECT_TRUE(chooser->folderList()->selectedItems().isEmpty());
  EXPECT_EQ(chooser->depth(), 1);
  EXPECT_EQ(chooser->browsePath(), std::wstring(here.begin(), here.end()));

  // 259 characters still fit; 260 do not.
  Create(*chooser, QString(58, QLatin1Char('n')));
  Create(*chooser, QString(57, QLatin1Char('n')));
  EXPECT_FALSE(fs::exists(root.path() / longName / std::string(58, 'n')));
  EXPECT_TRUE(fs::is_directory(root.path() / longName / std::string(57, 'n')));
  EXPECT_EQ(Candidate(*chooser), here + "\\" + std::string(57, 'n')) << "259 characters, the longest path";
}

TEST_F(OutputFolderChooserTest, DescentStopsAtTheDeepestLevelItCanRecord) {
  std::string deepest;
  for (int level = 0; level < 101; ++level) deepest += (level == 0 ? "" : "/") + std::string("d");
  MakeFolders({deepest});
  auto chooser = Open();
  for (int level = 1; level <= 99; ++level) DoubleTap(*chooser, "d");
  ASSERT_EQ(chooser->depth(), 99);
  DoubleTap(*chooser, "d");
  EXPECT_EQ(chooser->depth(), 99);
  EXPECT_EQ(chooser->browsePath().size(), 2u * 99);
  // Naming the folder below still works: the path fits.
  Tap(*chooser, "d");
  EXPECT_EQ(Candidate(*chooser).size(), 2u * 100);
  DoubleTap(*chooser, "..");
  EXPECT_EQ(chooser->depth(), 98);
  EXPECT_EQ(chooser->browsePath().size(), 2u * 98);
}

TEST_F(OutputFolderChooserTest, AFolderThatCannotBeListedStillOffersTheWayUp) {
  MakeFolders({"Gone", "Stays"});
  auto chooser = Open();
  fs::remove(root.path() / "Gone");
  DoubleTap(*chooser, "Gone");
  EXPECT_EQ(chooser->browsePath(), L"\\Gone");
  EXPECT_EQ(Rows(*chooser), std::vector<std::string>{".."});
  Create(*chooser, "new");
  EXPECT_EQ(Rows(*chooser), std::vector<std::string>{".."}) << "creation fails without a word";
  DoubleTap(*chooser, "..");
  EXPECT_EQ(Rows(*chooser), std::vector<std::string>{"Stays | Folder"});
}

}  // namespace
}  // namespace pathmere
