#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include <QDialog>

#include "app/program.h"
#include "platform/settings_store.h"
#include "ui/panel.h"

class QLabel;
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
// A tap on a folder (or moving the highlight onto it with the keys) makes it
// the candidate; a double tap (or Enter in the list) goes down into it, or up
// through the ".." row, and makes the browsed folder the candidate. Enter in
// the name field creates the folder, on a button presses it, anywhere else
// it is OK; Escape is Cancel. Paths that would not fit their 260
// characters, names over 254 characters and descents past 99 levels are
// refused and change nothing but the highlight, which never stays on a row
// the candidate does not name. Folders whose names begin with "." are hidden
// on the host and are not listed.
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
  // What the folder is for and what "\" stands for; the host path of the
  // candidate.
  QLabel* purposeLabel() const { return purposeLabel_; }
  QLabel* hostPathLabel() const { return hostPathLabel_; }
  QLineEdit* nameField() const { return nameField_; }
  QPushButton* createButton() const { return createButton_; }
  QPushButton* okButton() const { return okButton_; }
  QPushButton* cancelButton() const { return cancelButton_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  template <class Form>
  void Take(const Form& form);
  void FillFolderList();
  void Tap(QTreeWidgetItem* item);
  void DoubleTap(QTreeWidgetItem* item);
  QTreeWidgetItem* MarkedRow() const;
  void Unmark();
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
  QLabel* purposeLabel_ = nullptr;
  QLabel* hostPathLabel_ = nullptr;
  QLineEdit* nameField_ = nullptr;
  QPushButton* createButton_ = nullptr;
  QPushButton* okButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
};

}  // namespace pathmere
