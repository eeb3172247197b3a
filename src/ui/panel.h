#pragma once

#include <cstddef>
#include <string_view>

#include <QSize>
#include <QString>
#include <QWidget>

#include "messages/panel_text.h"

class QPlainTextEdit;
class QPushButton;

namespace pathmere {

enum class Orientation { kPortrait, kLandscape };

// Landscape when wider than high; a square area counts as portrait.
Orientation OrientationFor(const QSize& clientArea);

// The main window's panel: the status area and the message log over the
// buttons "Flush", "Hide" and "Wpt" (portrait), or beside them (landscape).
// The layout is chosen once; afterwards the panel only follows the window's
// size.
//
// As the program's PanelText it keeps its own count of the characters
// written into each area: the widget turns a "\r\n" into one line break,
// while the append limit counts two characters, as the program wrote them.
// The areas are read-only, so nothing else changes their text.
class Panel final : public QWidget, public PanelText {
  Q_OBJECT

 public:
  Panel(Orientation orientation, QWidget* parent);

  Orientation orientation() const { return orientation_; }
  QPlainTextEdit* statusArea() const { return statusArea_; }
  QPlainTextEdit* messageLog() const { return messageLog_; }
  QPushButton* flushButton() const { return flushButton_; }
  QPushButton* hideButton() const { return hideButton_; }
  QPushButton* wptButton() const { return wptButton_; }

  // PanelText
  bool HasControl(int controlId) const override;
  size_t TextLength(int controlId) const override;
  void SetText(int controlId, std::wstring_view text) override;
  void InsertAtEnd(int controlId, std::wstring_view text) override;

  // While held, the status area keeps only the last text it is given and
  // shows it when let go. A tick of a replay sets it once for each of
  // thousands of fixes, and each setting lays the text out anew: that cost
  // the desktop program most of its time reading a file.
  void HoldStatusArea();
  void ReleaseStatusArea();

 private:
  template <class Form>
  void Take(const Form& form);
  QPlainTextEdit* Area(int controlId) const;

  Orientation orientation_;
  QPlainTextEdit* statusArea_ = nullptr;
  QPlainTextEdit* messageLog_ = nullptr;
  QPushButton* flushButton_ = nullptr;
  QPushButton* hideButton_ = nullptr;
  QPushButton* wptButton_ = nullptr;
  size_t statusLength_ = 0;
  bool holdStatus_ = false;
  bool statusPending_ = false;
  QString pendingStatus_;
  size_t logLength_ = 0;
};

}  // namespace pathmere
