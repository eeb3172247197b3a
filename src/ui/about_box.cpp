#include "ui/about_box.h"

#include "app/program_version.h"
#include "ui/app_icon.h"
#include "ui_about_box.h"

namespace pathmere {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  LoadResources();
  Ui::AboutBox form;
  form.setupUi(this);
  form.titleLabel->setText(QStringLiteral("<b>Pathmere</b> %1").arg(QString::fromLatin1(ProgramVersion())));
  setWindowIcon(AppIcon());
}

}  // namespace pathmere
