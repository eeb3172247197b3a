#include "ui/output_folder_chooser.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QTreeWidget>

#include "settings/settings_operations.h"
#include "text/fixed_wide_text.h"
#include "ui_output_folder_chooser_landscape.h"
#include "ui_output_folder_chooser_portrait.h"

namespace pathmere {

namespace {

constexpr int kNameColumnWidth = 135;
constexpr int kTypeColumnWidth = 60;
// Marks the ".." row, which is told apart by this and not by its place.
constexpr int kUpRowRole = Qt::UserRole;

// `base` + "\" + `name` into `out`, when it fits with its terminator.
bool JoinPath(wchar_t (&out)[OutputFolderChooser::kPathCapacity], std::wstring_view base,
              std::wstring_view name) {
  std::wstring joined(base);
  joined += L'\\';
  joined += name;
  return CopyWideWhole(out, OutputFolderChooser::kPathCapacity, joined);
}

// One new folder right inside the browsed one: nothing that names the
// folder itself, its parent, or a path.
bool IsUsableFolderName(std::wstring_view name) {
  return !name.empty() && name.size() <= OutputFolderChooser::kMaxNameLength && name != L"." &&
         name != L".." && name.find_first_of(L"/\\") == std::wstring_view::npos;
}

std::wstring NameOf(const QTreeWidgetItem* item) { return item->text(0).toStdWString(); }

bool IsUpRow(const QTreeWidgetItem* item) { return item->data(0, kUpRowRole).toBool(); }

}  // namespace

OutputFolderChooser::OutputFolderChooser(Program& program, FileSystem& files, SettingsStore& store,
                                         Orientation orientation,
                                         QWidget* parent)
    : QDialog(parent), program_(program), files_(files), store_(store), orientation_(orientation) {
  if (orientation == Orientation::kLandscape) {
    Ui::LandscapeOutputFolderChooser form;
    form.setupUi(this);
    Take(form);
  } else {
    Ui::PortraitOutputFolderChooser form;
    form.setupUi(this);
    Take(form);
  }
  folderList_->header()->setStretchLastSection(false);
  folderList_->header()->resizeSection(0, kNameColumnWidth);
  folderList_->header()->resizeSection(1, kTypeColumnWidth);
  connect(folderList_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { Tap(item); });
  connect(folderList_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { DoubleTap(item); });
  connect(createButton_, &QPushButton::clicked, this, &OutputFolderChooser::CreateFolder);
  connect(okButton_, &QPushButton::clicked, this, &OutputFolderChooser::TakeCandidate);
  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);

  program_.track().GetFolder(selectedPath_, kPathCapacity);
  ShowCandidate(selectedPath_);
  // Every opening starts at the root.
  browsePath_[0] = L'\0';
  depth_ = 0;
  levelLengths_[0] = 0;
  FillFolderList();
}

template <class Form>
void OutputFolderChooser::Take(const Form& form) {
  folderList_ = form.folderList;
  candidateField_ = form.candidateField;
  nameField_ = form.nameField;
  createButton_ = form.createButton;
  okButton_ = form.okButton;
  cancelButton_ = form.cancelButton;
}

void OutputFolderChooser::FillFolderList() {
  folderList_->clear();
  if (browsePath_[0] != L'\0') {
    auto* up = new QTreeWidgetItem(folderList_, QStringList{QStringLiteral("..")});
    up->setData(0, kUpRowRole, true);
  }
  std::vector<FileSystem::FolderEntry> entries;
  // A folder that cannot be listed shows only "..", so the user can go up.
  if (!files_.ListFolder(browsePath_, &entries)) return;
  QStringList names;
  for (const FileSystem::FolderEntry& entry : entries) {
    if (entry.isDirectory) names.append(QString::fromStdWString(entry.name));
  }
  // Letter case does not split the list in two; it only orders equal names.
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
  });
  for (const QString& name : names) new QTreeWidgetItem(folderList_, QStringList{name, QStringLiteral("Folder")});
}

void OutputFolderChooser::Tap(QTreeWidgetItem* item) {
  if (item == nullptr) return;
  if (IsUpRow(item)) {
    ShowCandidate(browsePath_);
    return;
  }
  if (!JoinPath(selectedPath_, browsePath_, NameOf(item))) return;
  ShowCandidate(selectedPath_);
}

void OutputFolderChooser::DoubleTap(QTreeWidgetItem* item) {
  if (item == nullptr) {
    ShowCandidate(browsePath_);
    return;
  }
  if (IsUpRow(item)) {
    if (depth_ == 0) return;
    --depth_;
    browsePath_[levelLengths_[depth_]] = L'\0';
  } else {
    if (depth_ + 1 >= kLevels) return;
    wchar_t path[kPathCapacity];
    if (!JoinPath(path, browsePath_, NameOf(item))) return;
    std::wmemcpy(selectedPath_, path, kPathCapacity);
    std::wmemcpy(browsePath_, path, kPathCapacity);
    ++depth_;
    levelLengths_[depth_] = static_cast<uint16_t>(std::wcslen(browsePath_));
  }
  FillFolderList();
  ShowCandidate(browsePath_);
}

void OutputFolderChooser::CreateFolder() {
  const std::wstring name = nameField_->text().toStdWString();
  nameField_->clear();
  if (!IsUsableFolderName(name) || !JoinPath(selectedPath_, browsePath_, name)) return;
  // A failure is not reported; the list simply shows no new folder.
  if (files_.CreateDirectory(selectedPath_)) FillFolderList();
}

void OutputFolderChooser::TakeCandidate() {
  const std::wstring candidate = candidateField_->text().toStdWString();
  const size_t length = std::min(candidate.size(), kPathCapacity - 1);
  std::wmemcpy(selectedPath_, candidate.data(), length);
  selectedPath_[length] = L'\0';
  program_.SetOutputFolder(selectedPath_);
  SaveOutputDir(store_, selectedPath_);
  accept();
}

void OutputFolderChooser::ShowCandidate(const wchar_t* path) {
  candidateField_->setText(QString::fromWCharArray(path));
}

}  // namespace pathmere
