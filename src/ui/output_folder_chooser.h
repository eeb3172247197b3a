#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include <QDialog>

#include "app/program.h"
#include "platform/settings_store.h"
#include "ui/panel.h"

class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace pathmere {

// The modal dialog in which the user walks the device's folders from its
// root, creates folders and picks the one that all four writers use. On OK
// the candidate goes to the writers and into the settings store; nothing
// changes before that.
//
// A tap on a folder makes it the candidate; a double tap (or Enter) goes
// down into it, or up through the ".." row, and makes the browsed folder the
// candidate. Paths that would not fit their 260 characters, names over 254
// characters and descents past 99 levels are refused and change nothing.
class OutputFolderChooser final : public QDialog {
  Q_OBJECT

 public:
  static constexpr size_t kPathCapacity = 260;  // characters, terminator included
  static constexpr size_t kMaxNameLength = 254;
  static constexpr int kLevels = 100;  // the root and 99 levels below it

  OutputFolderChooser(Program& program, FileSystem& files, SettingsStore& store, Orientation orientation,
                      QWidget* parent);

  Orientation orientation() const { return orientation_; }
  // The folder listed; empty at the root, else "\A\B".
  std::wstring_view browsePath() const { return browsePath_; }
  // The last path built from the browsed folder and a name.
  std::wstring_view selectedPath() const { return selectedPath_; }
  int depth() const { return depth_; }

  QTreeWidget* folderList() const { return folderList_; }
  QLineEdit* candidateField() const { return candidateField_; }
  QLineEdit* nameField() const { return nameField_; }
  QPushButton* createButton() const { return createButton_; }
  QPushButton* okButton() const { return okButton_; }
  QPushButton* cancelButton() const { return cancelButton_; }

 private:
  template <class Form>
  void Take(const Form& form);
  void FillFolderList();
  void Tap(QTreeWidgetItem* item);
  void DoubleTap(QTreeWidgetItem* item);
  void CreateFolder();
  void TakeCandidate();
  void ShowCandidate(const wchar_t* path);

  Program& program_;
  FileSystem& files_;
  SettingsStore& store_;
  Orientation orientation_;
  wchar_t browsePath_[kPathCapacity] = {};
  wchar_t selectedPath_[kPathCapacity] = {};
  int depth_ = 0;
  uint16_t levelLengths_[kLevels] = {};

  QTreeWidget* folderList_ = nullptr;
  QLineEdit* candidateField_ = nullptr;
  QLineEdit* nameField_ = nullptr;
  QPushButton* createButton_ = nullptr;
  QPushButton* okButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
};

}  // namespace pathmere
