#include "ui/output_folder_chooser.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QString>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include "settings/settings_operations.h"
#include "text/fixed_wide_text.h"
#include "text/wide_text.h"
#include "ui_output_folder_chooser_landscape.h"
#include "ui_output_folder_chooser_portrait.h"

namespace pathmere {

namespace {

constexpr int kTypeColumnWidth = 60;
const QString kPurpose = QStringLiteral(
    "Pathmere keeps the day's track, route, waypoint and NMEA files in this folder. "
    "\"\\\" is your home folder, or PATHMERE_ROOT where that is set.");
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
// folder itself, its parent, or a path, and no blanks at either end, which
// would list as a name that looks empty or like another one.
bool IsUsableFolderName(const QString& typed) {
  const std::wstring name = typed.toStdWString();
  return !name.empty() && typed.trimmed() == typed && name.size() <= OutputFolderChooser::kMaxNameLength &&
         name != L"." && name != L".." && name.find_first_of(L"/\\") == std::wstring_view::npos;
}

bool IsEnter(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

std::wstring NameOf(const QTreeWidgetItem* item) { return item->text(0).toStdWString(); }

bool IsUpRow(const QTreeWidgetItem* item) { return item->data(0, kUpRowRole).toBool(); }

// The row the keys act on, framed while the list has the focus: styles
// frame it only once a key has moved the focus, or not at all in a list
// that selects whole rows, and the chooser opens with the focus in the list.
class FocusFrameDelegate final : public QStyledItemDelegate {
 public:
  explicit FocusFrameDelegate(QTreeWidget* list) : QStyledItemDelegate(list), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    const QModelIndex current = list_->currentIndex();
    if (!list_->hasFocus() || !current.isValid() || current.row() != index.row() ||
        current.parent() != index.parent()) {
      return;
    }
    const QRect row = option.rect.adjusted(0, 0, -1, -1);
    painter->save();
    painter->setPen(option.palette.color(QPalette::Highlight));
    painter->drawLine(row.topLeft(), row.topRight());
    painter->drawLine(row.bottomLeft(), row.bottomRight());
    if (index.column() == 0) painter->drawLine(row.topLeft(), row.bottomLeft());
    if (index.column() == index.model()->columnCount(index.parent()) - 1)
      painter->drawLine(row.topRight(), row.bottomRight());
    painter->restore();
  }

 private:
  const QTreeWidget* list_;
};

}  // namespace

OutputFolderChooser::OutputFolderChooser(Program& program, FileSystem& files, SettingsStore& store,
                                         Orientation orientation, QWidget* parent)
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
  purposeLabel_->setText(kPurpose);
  // The names are what the user reads; the type column only says "Folder".
  QHeaderView* header = folderList_->header();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(0, QHeaderView::Stretch);
  header->setSectionResizeMode(1, QHeaderView::Fixed);
  header->resizeSection(1, kTypeColumnWidth);
  // The highlight is the tap: a click, a drag or the arrow keys move it,
  // and the candidate follows.
  connect(folderList_, &QTreeWidget::itemSelectionChanged, this, [this] { Tap(MarkedRow()); });
  connect(folderList_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { DoubleTap(item); });
  folderList_->setItemDelegate(new FocusFrameDelegate(folderList_));
  connect(folderList_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
    if (current != nullptr) folderList_->scrollToItem(current);
  });
  folderList_->installEventFilter(this);
  folderList_->viewport()->installEventFilter(this);
  nameField_->installEventFilter(this);
  // Enter anywhere else takes the candidate; on a button it presses that one.
  okButton_->setDefault(true);
  for (QPushButton* button : {createButton_, okButton_, cancelButton_}) button->setAutoDefault(true);
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
  // The keys start in the list, on its first row, which they can then take
  // with Space or go into with Enter.
  folderList_->setFocus();
}

template <class Form>
void OutputFolderChooser::Take(const Form& form) {
  folderList_ = form.folderList;
  candidateField_ = form.candidateField;
  purposeLabel_ = form.purposeLabel;
  hostPathLabel_ = form.hostPathLabel;
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
    // Hidden on the host, and full of other programs' settings.
    if (entry.isDirectory && !entry.name.starts_with(L'.')) names.append(QString::fromStdWString(entry.name));
  }
  // Letter case does not split the list in two; it only orders equal names.
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
  });
  for (const QString& name : names)
    new QTreeWidgetItem(folderList_, QStringList{name, QStringLiteral("Folder")});
  // The first row is where the keys begin; it is not marked, so the
  // candidate stays what it was.
  if (folderList_->topLevelItemCount() > 0) {
    folderList_->selectionModel()->setCurrentIndex(folderList_->model()->index(0, 0),
                                                   QItemSelectionModel::NoUpdate);
  }
}

QTreeWidgetItem* OutputFolderChooser::MarkedRow() const {
  const QList<QTreeWidgetItem*> marked = folderList_->selectedItems();
  return marked.isEmpty() ? nullptr : marked.first();
}

// A refused row must not stay highlighted while the candidate names another
// folder: OK takes the candidate, not the highlight.
void OutputFolderChooser::Unmark() { folderList_->clearSelection(); }

void OutputFolderChooser::Tap(QTreeWidgetItem* item) {
  if (item == nullptr) return;
  if (IsUpRow(item)) {
    ShowCandidate(browsePath_);
    return;
  }
  if (!JoinPath(selectedPath_, browsePath_, NameOf(item))) {
    Unmark();
    return;
  }
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
    wchar_t path[kPathCapacity];
    if (!JoinPath(path, browsePath_, NameOf(item))) {
      Unmark();
      return;
    }
    // Too deep to record: the row stays the candidate its tap made it.
    if (depth_ + 1 >= kLevels) return;
    std::wmemcpy(selectedPath_, path, kPathCapacity);
    std::wmemcpy(browsePath_, path, kPathCapacity);
    ++depth_;
    levelLengths_[depth_] = static_cast<uint16_t>(std::wcslen(browsePath_));
  }
  FillFolderList();
  ShowCandidate(browsePath_);
}

void OutputFolderChooser::CreateFolder() {
  const QString typed = nameField_->text();
  nameField_->clear();
  if (!IsUsableFolderName(typed) || !JoinPath(selectedPath_, browsePath_, typed.toStdWString())) return;
  // A failure is not reported; the list simply shows no new folder.
  if (!files_.CreateDirectory(selectedPath_)) return;
  FillFolderList();
  // The folder just made is what the user wants next: it becomes the
  // candidate, marked where it is listed, so OK takes it.
  const QList<QTreeWidgetItem*> made =
      folderList_->findItems(typed, Qt::MatchExactly | Qt::MatchCaseSensitive);
  for (QTreeWidgetItem* item : made) {
    if (IsUpRow(item)) continue;
    folderList_->setCurrentItem(item);
    return;
  }
  Unmark();
  ShowCandidate(selectedPath_);
}

void OutputFolderChooser::TakeCandidate() {
  std::wstring candidate = candidateField_->text().toStdWString();
  // The root is shown as "\" and is the empty path to the writers.
  if (candidate == L"\\") candidate.clear();
  const size_t length = std::min(candidate.size(), kPathCapacity - 1);
  std::wmemcpy(selectedPath_, candidate.data(), length);
  selectedPath_[length] = L'\0';
  program_.SetOutputFolder(selectedPath_);
  SaveOutputDir(store_, selectedPath_);
  accept();
}

void OutputFolderChooser::ShowCandidate(const wchar_t* path) {
  // The root's path is empty; "\" is how the dialog names it to the user.
  candidateField_->setText(path[0] == L'\0' ? QStringLiteral("\\") : QString::fromWCharArray(path));
  // Shown only where the folder stands for another path on this computer.
  const std::string host = files_.DisplayPath(path);
  hostPathLabel_->setText(host == WideToUtf8(path) ? QString()
                                                   : QStringLiteral("= ") + QString::fromStdString(host));
}

// Enter in the list and in the name field act there; the dialog's own
// handling would take it as OK.
bool OutputFolderChooser::eventFilter(QObject* watched, QEvent* event) {
  // Enter acts on the row the keys are on, marked or only framed.
  if (watched == folderList_ && IsEnter(event)) {
    QTreeWidgetItem* marked = MarkedRow();
    DoubleTap(marked != nullptr ? marked : folderList_->currentItem());
    return true;
  }
  if (watched == nameField_ && IsEnter(event)) {
    CreateFolder();
    return true;
  }
  // Qt reports double clicks on rows only; one beside the rows marks none.
  if (watched == folderList_->viewport() && event->type() == QEvent::MouseButtonDblClick &&
      folderList_->itemAt(static_cast<QMouseEvent*>(event)->position().toPoint()) == nullptr) {
    Unmark();
    DoubleTap(nullptr);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace pathmere
