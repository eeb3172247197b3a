#include "ui/panel.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>

#include "ui_panel_landscape.h"
#include "ui_panel_portrait.h"

namespace pathmere {

namespace {

QString ToQString(std::wstring_view text) {
  return QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

Orientation OrientationFor(const QSize& clientArea) {
  return clientArea.width() > clientArea.height() ? Orientation::kLandscape : Orientation::kPortrait;
}

Panel::Panel(Orientation orientation, QWidget* parent) : QWidget(parent), orientation_(orientation) {
  if (orientation == Orientation::kLandscape) {
    Ui::LandscapePanel form;
    form.setupUi(this);
    Take(form);
  } else {
    Ui::PortraitPanel form;
    form.setupUi(this);
    Take(form);
  }
}

template <class Form>
void Panel::Take(const Form& form) {
  statusArea_ = form.statusArea;
  messageLog_ = form.messageLog;
  flushButton_ = form.flushButton;
  hideButton_ = form.hideButton;
  wptButton_ = form.wptButton;
}

QPlainTextEdit* Panel::Area(int controlId) const {
  if (controlId == kStatusArea) return statusArea_;
  if (controlId == kMessageLog) return messageLog_;
  return nullptr;
}

bool Panel::HasControl(int controlId) const { return Area(controlId) != nullptr; }

size_t Panel::TextLength(int controlId) const {
  return controlId == kStatusArea ? statusLength_ : controlId == kMessageLog ? logLength_ : 0;
}

void Panel::SetText(int controlId, std::wstring_view text) {
  QPlainTextEdit* area = Area(controlId);
  if (area == nullptr) return;
  if (holdStatus_ && controlId == kStatusArea) {
    pendingStatus_ = ToQString(text);
    statusPending_ = true;
  } else {
    area->setPlainText(ToQString(text));
  }
  (controlId == kStatusArea ? statusLength_ : logLength_) = text.size();
}

void Panel::HoldStatusArea() { holdStatus_ = true; }

void Panel::ReleaseStatusArea() {
  holdStatus_ = false;
  if (!statusPending_) return;
  statusPending_ = false;
  statusArea_->setPlainText(pendingStatus_);
}

void Panel::InsertAtEnd(int controlId, std::wstring_view text) {
  QPlainTextEdit* area = Area(controlId);
  if (area == nullptr) return;
  // What is held goes first, so the text is added to the right one.
  if (controlId == kStatusArea && statusPending_) {
    statusPending_ = false;
    statusArea_->setPlainText(pendingStatus_);
  }
  // Moving the cursor drops the user's selection, so the text goes to the
  // end and the newest line comes into view.
  area->moveCursor(QTextCursor::End);
  area->insertPlainText(ToQString(text));
  area->ensureCursorVisible();
  (controlId == kStatusArea ? statusLength_ : logLength_) += text.size();
}

}  // namespace pathmere
