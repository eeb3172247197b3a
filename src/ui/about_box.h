#pragma once

#include <QDialog>

namespace pathmere {

// The About box: icon, name, version and what the program does.
class AboutBox final : public QDialog {
  Q_OBJECT

 public:
  explicit AboutBox(QWidget* parent);
};

}  // namespace pathmere
