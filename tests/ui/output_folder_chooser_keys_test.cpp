// The chooser from the keyboard: where the keys begin, what they take, and
// the folder just made.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "output_folder_chooser_fixture.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::OutputFolderChooserTest;

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
  EXPECT_EQ(Candidate(*chooser), "\\A\\new") << "the folder made is the candidate";
  EXPECT_TRUE(chooser->isVisible()) << "Enter in the name field is not OK";

  QTest::keyClick(chooser->candidateField(), Qt::Key_Return);
  EXPECT_EQ(chooser->result(), QDialog::Accepted);
  EXPECT_STREQ(program.track().folder(), L"\\A\\new");

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
    EXPECT_STREQ(program.track().folder(), L"\\A\\new");
  }
}

// The keys start in the list, on its first row, framed and scrolled into
// view but not taken: Space takes it, Enter goes into it, so the first or
// only folder is chosen without the mouse.
TEST_F(OutputFolderChooserTest, TheKeysStartOnTheFirstRowAndCanTakeTheOnlyFolder) {
  MakeFolders({"Only/inner"});
  auto chooser = Open();
  chooser->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(chooser.get()));
  QTreeWidget* list = chooser->folderList();
  EXPECT_EQ(QApplication::focusWidget(), list);
  ASSERT_NE(list->currentItem(), nullptr);
  EXPECT_EQ(list->currentItem()->text(0), "Only");
  EXPECT_TRUE(list->selectedItems().isEmpty());
  EXPECT_EQ(Candidate(*chooser), "\\Pathmere") << "OK at once still keeps the folder";

  // The current row is framed in (a shade of) the highlight's colour.
  const QRect row = list->visualItemRect(list->currentItem());
  const QImage drawn = list->viewport()->grab().toImage();
  const QColor highlight = list->palette().color(QPalette::Highlight);
  auto near = [&](QColor c) {
    return std::abs(c.red() - highlight.red()) + std::abs(c.green() - highlight.green()) +
               std::abs(c.blue() - highlight.blue()) <
           64;
  };
  int framed = 0;
  for (int x = row.left(); x <= row.right(); ++x) framed += near(drawn.pixelColor(x, row.top())) ? 1 : 0;
  EXPECT_GT(framed, row.width() / 2);
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_EQ(Candidate(*chooser), "\\Only");
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(chooser->browsePath(), L"\\Only");
  ASSERT_NE(list->currentItem(), nullptr);
  EXPECT_EQ(list->currentItem()->text(0), "..") << "the keys begin again at the top";
  // Enter on the framed ".." row goes back up, where the root shows as "\".
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(chooser->depth(), 0);
  EXPECT_EQ(Candidate(*chooser), "\\");
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(chooser->browsePath(), L"\\Only") << "Enter goes into the only folder, framed not marked";
}

// A folder made at the end of a long list is scrolled to and taken.
TEST_F(OutputFolderChooserTest, AFolderMadeBelowTheFoldIsScrolledToAndTaken) {
  std::vector<std::string> many;
  for (int i = 0; i < 60; ++i) many.push_back("folder" + std::to_string(100 + i));
  MakeFolders(many);
  auto chooser = Open();
  Create(*chooser, "zz-new");
  QTreeWidget* list = chooser->folderList();
  ASSERT_EQ(list->selectedItems().size(), 1);
  QTreeWidgetItem* made = list->selectedItems().first();
  EXPECT_EQ(made->text(0), "zz-new");
  EXPECT_EQ(list->currentItem(), made);
  EXPECT_TRUE(list->viewport()->rect().contains(list->visualItemRect(made))) << "scrolled into view";
  EXPECT_EQ(Candidate(*chooser), "\\zz-new");
  QTest::mouseClick(chooser->okButton(), Qt::LeftButton);
  EXPECT_STREQ(program.track().folder(), L"\\zz-new");
}

}  // namespace
}  // namespace pathmere
