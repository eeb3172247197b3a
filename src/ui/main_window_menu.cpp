// The main window's Tools menu: its commands, their marks and the port
// entries that name the receiver behind each COMn.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

#include "platform/source_address.h"
#include "settings/menu_marks.h"
#include "ui/main_window.h"
#include "ui/menu_keys.h"

namespace pathmere {

void MainWindow::CreateMenu() {
  toolsMenu_ = menuBar()->addMenu(QStringLiteral("Tools"));
  connect(toolsMenu_, &QMenu::aboutToShow, this, &MainWindow::UpdateMenuMarks);

  QAction* about = AddCommand(toolsMenu_, kCommandAbout, QStringLiteral("About"));
  about->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
  connect(about, &QAction::triggered, this, &MainWindow::ShowAbout);
  toolsMenu_->addSeparator();
  connect(AddCommand(toolsMenu_, kCommandReadNmeaFile, QStringLiteral("Read NMEA file")), &QAction::triggered,
          this, &MainWindow::ReadNmeaFile);
  connect(AddCommand(toolsMenu_, kCommandSelectOutputFolder, QStringLiteral("Select Output folder")),
          &QAction::triggered, this, &MainWindow::SelectOutputFolder);
  connect(AddCommand(toolsMenu_, kCommandShowTrack, QStringLiteral("Show track")), &QAction::triggered, this,
          &MainWindow::ShowTrack);
  connect(AddCommand(toolsMenu_, kCommandShowAllDays, QStringLiteral("Show all days")), &QAction::triggered,
          this, &MainWindow::ShowAllDays);
  toolsMenu_->addSeparator();
  QAction* nmeaLog = AddCommand(toolsMenu_, kCommandEnableNmeaLog, QStringLiteral("Enable NMEA log"));
  nmeaLog->setCheckable(true);
  connect(nmeaLog, &QAction::triggered, this, &MainWindow::ToggleNmeaLog);
  QAction* gpx = AddCommand(toolsMenu_, kCommandWriteGpx, QStringLiteral("Write GPX files"));
  gpx->setCheckable(true);
  connect(gpx, &QAction::triggered, this, [this] { program_.SetGpxLog(program_.settings().gpxLog == 0); });
  QAction* hideAtStartup = AddCommand(toolsMenu_, kCommandHideAtStartup, QStringLiteral("Hide at startup"));
  hideAtStartup->setCheckable(true);
  connect(hideAtStartup, &QAction::triggered, this, &MainWindow::ToggleHideAtStartup);
  QAction* gpsOnly = AddCommand(toolsMenu_, kCommandGpsOnly, QStringLiteral("GPS sentences only"));
  gpsOnly->setCheckable(true);
  connect(gpsOnly, &QAction::triggered, this,
          [this] { program_.SetGpsOnly(program_.settings().gpsOnly == 0); });
  QMenu* flushes = toolsMenu_->addMenu(QStringLiteral("Write to disk every"));
  auto* flushGroup = new QActionGroup(flushes);
  const QString flushCaptions[] = {QStringLiteral("5 minutes"), QStringLiteral("1 minute"),
                                   QStringLiteral("10 seconds")};
  for (int command = kCommandFlushFirst; command <= kCommandFlushLast; ++command) {
    const int32_t seconds = *FlushSecondsForCommand(command);
    QAction* action = AddCommand(flushes, command, flushCaptions[command - kCommandFlushFirst]);
    action->setCheckable(true);
    flushGroup->addAction(action);
    connect(action, &QAction::triggered, this, [this, seconds] { program_.SetFlushSeconds(seconds); });
  }
  toolsMenu_->addSeparator();

  QMenu* ports = toolsMenu_->addMenu(QStringLiteral("Select input port"));
  connect(ports, &QMenu::aboutToShow, this, &MainWindow::UpdatePortEntries);
  auto* portGroup = new QActionGroup(ports);
  for (int command = kCommandPortNone; command <= kCommandPortLast; ++command) {
    const int32_t port = *PortForCommand(command);
    QAction* action =
        AddCommand(ports, command, port < 0 ? QStringLiteral("NONE") : QStringLiteral("COM%1").arg(port));
    action->setCheckable(true);
    portGroup->addAction(action);
    connect(action, &QAction::triggered, this, [this, port] { program_.SelectPort(port); });
  }
  QMenu* speeds = toolsMenu_->addMenu(QStringLiteral("Select port speed"));
  auto* speedGroup = new QActionGroup(speeds);
  for (int command = kCommandSpeedFirst; command <= kCommandSpeedLast; ++command) {
    const int32_t speed = *SpeedForCommand(command);
    QAction* action = AddCommand(speeds, command, QString::number(speed));
    action->setCheckable(true);
    speedGroup->addAction(action);
    connect(action, &QAction::triggered, this, [this, speed] { program_.SelectSpeed(speed); });
  }
  connect(AddCommand(toolsMenu_, kCommandFindReceiver, QStringLiteral("Find receiver")), &QAction::triggered,
          this, &MainWindow::FindReceiver);
  toolsMenu_->addSeparator();
  QAction* exit = AddCommand(toolsMenu_, kCommandExit, QStringLiteral("Exit"));
  ShowQuitKey(*exit);
  connect(exit, &QAction::triggered, this, &MainWindow::Exit);

  // Ctrl+Q is the window's accelerator, without a menu entry of its own.
  auto* quit = new QAction(this);
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  addAction(quit);
  actions_.insert(kCommandQuit, quit);
  connect(quit, &QAction::triggered, this, &MainWindow::Quit);
  AddMenuKeys(*this, *toolsMenu_);
}

QAction* MainWindow::AddCommand(QMenu* menu, int command, const QString& caption) {
  QAction* action = menu->addAction(caption);
  action->setData(command);
  actions_.insert(command, action);
  return action;
}

void MainWindow::UpdateMenuMarks() {
  const MenuMarks marks = MenuMarksFor(program_.settings());
  if (marks.portCommand) action(*marks.portCommand)->setChecked(true);
  if (marks.speedCommand) action(*marks.speedCommand)->setChecked(true);
  if (marks.flushCommand) action(*marks.flushCommand)->setChecked(true);
  action(kCommandEnableNmeaLog)->setChecked(marks.enableNmeaLogChecked);
  action(kCommandWriteGpx)->setChecked(marks.writeGpxChecked);
  action(kCommandHideAtStartup)->setChecked(marks.hideAtStartupChecked);
  action(kCommandGpsOnly)->setChecked(marks.gpsOnlyChecked);
}

// Looked up each time the entries open: receivers come and go. Only the
// machine's own records are read; no device is opened.
void MainWindow::UpdatePortEntries() {
  const SerialDeviceSurvey survey = Survey();
  for (int32_t port = 0; port < SerialDeviceSurvey::kPortCount; ++port) {
    const std::filesystem::path entry = survey.DeviceOf(port);
    QString caption = QStringLiteral("COM%1").arg(port);
    SourceAddress source;
    std::string problem;
    if (IsSourceFile(entry)) {
      // A receiver on the network, by its address.
      caption += QStringLiteral("  ") + (ReadSourceFile(entry, &source, &problem)
                                             ? QString::fromStdString(source.text)
                                             : QStringLiteral("(no usable address)"));
      action(kCommandPortFirst + port)->setText(caption);
      continue;
    }
    const SerialDeviceInfo info = survey.Describe(entry);
    if (info.exists())
      caption += QStringLiteral("  ") + QString::fromStdString(info.ShortName(survey.devRoot()));
    action(kCommandPortFirst + port)->setText(caption);
  }
}

}  // namespace pathmere
