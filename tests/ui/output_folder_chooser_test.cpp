#include "ui/output_folder_chooser.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "app/program.h"
#include "desktop_fixture.h"
#include "settings/settings_operations.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;

class OutputFolderChooserTest : public testing::DesktopTest {
 protected:
  void MakeFolders(const std::vector<std::string>& relatives) {
    for (const std::string& relative : relatives) fs::create_directories(root.path() / relative);
  }

  // A chooser as the main window opens it, shown so that taps land on rows.
  std::unique_ptr<OutputFolderChooser> Open(Orientation orientation = Orientation::kLandscape) {
    auto chooser = std::make_unique<OutputFolderChooser>(program, files, store, orientation, nullptr);
    chooser->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(chooser.get()));
    return chooser;
  }

  static std::vector<std::string> Rows(const OutputFolderChooser& chooser) {
    std::vector<std::string> rows;
    QTreeWidget* list = chooser.folderList();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* item = list->topLevelItem(i);
      rows.push_back(item->text(0).toStdString() +
                     (item->text(1).isEmpty() ? "" : " | " + item->text(1).toStdString()));
    }
    return rows;
  }

  static QPoint RowCentre(const OutputFolderChooser& chooser, const std::string& name) {
    QTreeWidget* list = chooser.folderList();
    const auto found = list->findItems(QString::fromStdString(name), Qt::MatchExactly);
    EXPECT_EQ(found.size(), 1) << name;
    if (found.isEmpty()) return {};
    list->scrollToItem(found.first());
    return list->visualItemRect(found.first()).center();
  }

  static void Tap(const OutputFolderChooser& chooser, const std::string& name) {
    QTest::mouseClick(chooser.folderList()->viewport(), Qt::LeftButton, {}, RowCentre(chooser, name));
  }
  // As the mouse does it: a click, then a press that arrives as a double
  // click, then its release.
  static void DoubleTap(const OutputFolderChooser& chooser, const std::string& name) {
    QWidget* viewport = chooser.folderList()->viewport();
    const QPoint at = RowCentre(chooser, name);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
  }
  static void Create(const OutputFolderChooser& chooser, const QString& name) {
    chooser.nameField()->setText(name);
    QTest::mouseClick(chooser.createButton(), Qt::LeftButton);
  }
  static std::string Candidate(const OutputFolderChooser& chooser) {
    return chooser.candidateField()->text().toStdString();
  }

  // Every path below the device root.
  std::vector<std::string> Tree() const {
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(root.path())) {
      paths.push_back(fs::relative(entry.path(), root.path()).string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  int32_t LoadStoredFolder(std::wstring* folder) {
    return LoadOutputDir(store, [folder](const wchar_t* path) { *folder = path; });
  }

  TickHost host;
  testing::QueuedSerialPort receiver;
  Program program{files, clock, receiver, host};
};

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
  EXPECT_EQ(Candidate(*chooser), "") << "the root";
  EXPECT_EQ(chooser->hostPathLabel()->text().toStdString(), "= " + root.path().string());

  // OK at the root hands the empty path on; the next start finds no usable
  // folder and asks again.
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

// Arrows move the highlight as taps do, Enter goes down in the list, creates
// in the name field, presses a focused button and is OK anywhere else;
// Escape is Cancel.
TEST_F(OutputFolderChooserTest, KeysActAsTapsAndButtonsWhereTheFocusIs) {
  MakeFolders({"A/inner", "B"});
  auto chooser = Open();
  QTreeWidget* list = chooser->folderList();
  // Focus alone frames the first row without marking it.
  list->setFocus();
  EXPECT_EQ(Candidate(*chooser), "\\Pathmere");
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(Candidate(*chooser), "\\B");
  QTest::keyClick(list, Qt::Key_Up);
  EXPECT_EQ(Candidate(*chooser), "\\A");
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(chooser->browsePath(), L"\\A");
  EXPECT_EQ(Rows(*chooser), (std::vector<std::string>{"..", "inner | Folder"}));
  EXPECT_TRUE(chooser->isVisible()) << "Enter in the list is not OK";

  chooser->nameField()->setText("new");
  QTest::keyClick(chooser->nameField(), Qt::Key_Return);
  EXPECT_TRUE(fs::is_directory(root.path() / "A" / "new"));
  EXPECT_EQ(Candidate(*chooser), "\\A") << "the candidate stays after Create";
  EXPECT_TRUE(chooser->isVisible()) << "Enter in the name field is not OK";

  QTest::keyClick(chooser->candidateField(), Qt::Key_Return);
  EXPECT_EQ(chooser->result(), QDialog::Accepted);
  EXPECT_STREQ(program.track().folder(), L"\\A");

  for (const bool onCancel : {false, true}) {
    SCOPED_TRACE(onCancel ? "Enter on Cancel" : "Escape");
    auto again = Open();
    Tap(*again, "B");
    if (onCancel) {
      again->cancelButton()->setFocus();
      QTest::keyClick(again->cancelButton(), Qt::Key_Return);
    } else {
      QTest::keyClick(again->folderList(), Qt::Key_Escape);
    }
    EXPECT_EQ(again->result(), QDialog::Rejected);
    EXPECT_FALSE(again->isVisible());
    EXPECT_STREQ(program.track().folder(), L"\\A");
  }
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
  EXPECT_TRUE(chooser->folderList()->selectedItems().isEmpty()) << "listed, not selected";
  EXPECT_EQ(Candidate(*chooser), "\\Tracks") << "the candidate stays";
  EXPECT_TRUE(chooser->nameField()->text().isEmpty());

  const std::vector<std::string> before = Tree();
  // Blanks at either end would list as a name that looks empty, or like
  // another one.
  for (const char* name : {"", ".", "..", "../escape", "a/b", "..\\escape", "a\\b", "/", "\\", "2026", " ",
                           "   ", "\t", " 2027", "2027 "}) {
    SCOPED_TRACE(name);
    Create(*chooser, QString::fromUtf8(name));
    EXPECT_TRUE(chooser->nameField()->text().isEmpty());
    EXPECT_EQ(Candidate(*chooser), "\\Tracks");
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
  EXPECT_EQ(Candidate(*chooser), here);
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
