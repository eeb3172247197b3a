#pragma once

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "app/program.h"
#include "desktop_fixture.h"
#include "settings/settings_operations.h"
#include "ui/output_folder_chooser.h"

namespace pathmere::testing {

namespace fs = std::filesystem;

// Folders under the device root and a chooser on them, with taps, double
// taps and "Create" as the mouse and the keys give them.
class OutputFolderChooserTest : public DesktopTest {
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
  QueuedSerialPort receiver;
  Program program{files, clock, receiver, host};
};

}  // namespace pathmere::testing
