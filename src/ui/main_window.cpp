#include "ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>

#include "app/pending_points.h"
#include "app/receiver_search.h"
#include "platform/receiver_port.h"
#include "platform/serial_posix.h"
#include "ui/about_box.h"
#include "ui/app_icon.h"
#include "ui/map/map_choice.h"
#include "ui/output_folder_chooser.h"
#include "ui/tray_menu.h"
#include "ui/window_placement.h"

namespace pathmere {

namespace {

const QString kNmeaFilesFilter = QStringLiteral("NMEA Files (*.nmea)");
// "*.*" would hide files without a dot in their name, which are common here.
const QString kAllFilesFilter = QStringLiteral("All Files (*)");

// The panel's size in dialog units, portrait and landscape.
constexpr QSize kPortraitPanelUnits(128, 150);
constexpr QSize kLandscapePanelUnits(165, 121);
// At their plain size dialog units make a tiny desktop window; twice that
// leaves room for the status text.
constexpr double kDesktopScale = 2.0;

// The default client area: the panel's size in the screen's orientation,
// within the screen, and of the screen's shape, as a window filling the
// screen would be. The panel then follows the client area.
QSize DefaultClientSize(const QWidget& window) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect available = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 800, 600);
  const bool landscape = available.width() > available.height();
  const QSize units = landscape ? kLandscapePanelUnits : kPortraitPanelUnits;
  const QFontMetrics metrics(window.font());
  // A dialog unit is a quarter of the average character width across and
  // an eighth of the character height down.
  const double unitX = metrics.averageCharWidth() / 4.0 * kDesktopScale;
  const double unitY = metrics.height() / 8.0 * kDesktopScale;
  QSize size(static_cast<int>(units.width() * unitX), static_cast<int>(units.height() * unitY));
  // Dialog units are not square in pixels: with some fonts the landscape
  // panel's units come out taller than wide.
  if (landscape && size.width() <= size.height()) size.setWidth(size.height() * 4 / 3);
  if (!landscape && size.height() <= size.width()) size.setHeight(size.width() * 4 / 3);
  return size.boundedTo(available.size() * 0.9);
}

}  // namespace

MainWindow::MainWindow(FileSystem& files, TickClock& clock, SettingsStore& store,
                       std::unique_ptr<SerialPort> port, Options options)
    : files_(files),
      clock_(clock),
      store_(store),
      port_(port != nullptr ? std::move(port) : std::make_unique<ReceiverPort>()),
      options_(options),
      watchedPort_(*port_, clock, dynamic_cast<const ReceiverPort*>(port_.get())),
      program_(files, clock, watchedPort_, *this) {
  LoadResources();
  runModal = [](QDialog& dialog) { return dialog.exec(); };
  trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };

  setWindowTitle(QStringLiteral("Pathmere"));
  setWindowIcon(AppIcon());
  tickTimer_ = new QTimer(this);
  tickTimer_->setObjectName(QStringLiteral("tickTimer"));
  tickTimer_->setInterval(kTickIntervalMs);
  connect(tickTimer_, &QTimer::timeout, this, &MainWindow::Tick);
  replayProgress_ = std::make_unique<ReplayProgress>(program_, *tickTimer_, kTickIntervalMs, this);

  CreateMenu();
  const QSize clientSize = options.clientSize.isEmpty() ? DefaultClientSize(*this) : options.clientSize;
  CreatePanel(OrientationFor(clientSize));
  program_.LoadSettings(store_);
  if (const std::string problem = store_.problem(); !problem.empty()) {
    program_.AppendToMessageLog(problem + "\r\n");
  }
  resize(clientSize.width(), clientSize.height() + menuBar()->sizeHint().height());
}

MainWindow::~MainWindow() {
  // The program's messages must not reach a panel that is going away.
  program_.AttachPanel(nullptr);
}

void MainWindow::CreatePanel(Orientation orientation) {
  panel_ = new Panel(orientation, this);
  setCentralWidget(panel_);
  program_.AttachPanel(panel_);
  connect(panel_->flushButton(), &QPushButton::clicked, this, [this] { program_.RequestFlush(); });
  connect(panel_->wptButton(), &QPushButton::clicked, this, [this] { program_.RequestWaypoint(); });
  connect(panel_->hideButton(), &QPushButton::clicked, this, &MainWindow::HideWindow);
}

void MainWindow::CreateTrayIcon() {
  for (const Reception reception :
       {Reception::kFix, Reception::kNoFix, Reception::kNoData, Reception::kPortError})
    trayIcons_[static_cast<int>(reception)] = TrayIcon(reception);
  trayIcon_ = new QSystemTrayIcon(AppIcon(), this);
  connect(trayIcon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) Restore();
  });
  trayIcon_->setContextMenu(MakeTrayMenu(*this));
  // Shown even where no tray exists yet: Qt adds it when one appears.
  trayIcon_->show();
}

bool MainWindow::event(QEvent* event) {
  if (event->type() == QEvent::Show && !shownOnce_) {
    shownOnce_ = true;
    FitPanelToFirstShow();
  }
  if (event->type() == QEvent::Show || event->type() == QEvent::WindowActivate) StartOnFirstActivation();
  return QMainWindow::event(event);
}

// The panel is made for the client area the window was created with, but
// the window system may give the window another shape before it first
// appears (a geometry option, a window manager's rule, a tall window on a
// wide screen): what counts is the client area it really has. Nothing has
// been written to the panel before that, and later it only follows the size.
void MainWindow::FitPanelToFirstShow() {
  const Orientation shown = OrientationFor(centralWidget()->size());
  if (panel_ != nullptr && shown != panel_->orientation()) CreatePanel(shown);
}

void MainWindow::StartOnFirstActivation() {
  if (program_.tick().startupState != 0 || shutDown_) return;
  tickTimer_->start();
  CreateTrayIcon();
  program_.Start();
}

void MainWindow::Tick() {
  if (panel_ != nullptr) panel_->HoldStatusArea();
  program_.Tick();
  if (panel_ != nullptr) panel_->ReleaseStatusArea();
  // The port's changes are lines for a journal, which the window has not;
  // but why the port does not open ("COM3 (/dev/ttyUSB0) cannot be opened:
  // Permission denied (group dialout)") goes to the message log, once for
  // each way it fails, as the status area only says "COM-port open error".
  for (const std::string& line : watchedPort_.TakeChanges()) {
    if (watchedPort_.state() == PortWatch::State::kRefused) program_.AppendToMessageLog(line + "\r\n");
  }
  if (trackView_ != nullptr) trackView_->Refresh();
  UpdateTrayIcon();
  replayProgress_->Update();
}

// A hidden window still tells from the tray whether it is logging.
void MainWindow::UpdateTrayIcon() {
  reception_.Update(program_);
  if (trayIcon_ == nullptr) return;
  const int shown = static_cast<int>(reception_.reception());
  if (shown != trayIconShown_) {
    trayIconShown_ = shown;
    trayIcon_->setIcon(trayIcons_[shown]);
  }
  trayIcon_->setToolTip(QString::fromStdString(reception_.Summary(program_)));
}

void MainWindow::RunStartupAction() {
  if (program_.LoadOutputFolder(store_) != 0) {
    // Opened once this tick has returned: a timer does not fire again while
    // its own handler runs, so a dialog opened inside the tick would stop
    // the ticks for as long as it is open.
    QMetaObject::invokeMethod(this, &MainWindow::SelectOutputFolder, Qt::QueuedConnection);
    return;
  }
  if (program_.settings().hideAtStartup != 0) HideWindow();
}

std::string MainWindow::StatusReport() {
  const std::wstring status = panel_ != nullptr ? panel_->statusArea()->toPlainText().toStdWString() : L"";
  return ComposeStatusReport({program_, files_, clock_, &watchedPort_, status, "pathmere"}, census_);
}

std::string MainWindow::PendingPoints() { return ComposePendingPoints(program_, files_); }

void MainWindow::HandleForwardedCode(int32_t code) {
  if (program_.ApplyForwardedCode(code) == ForwardedAction::kShowWindow) Restore();
}

void MainWindow::Restore() {
  // The panel follows the client area through the window's layout.
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  // Some window managers place a window shown again anew unless it asks
  // for its place. A move to where Qt thinks the window still is asks for
  // nothing, and after the user dragged it Qt has only followed: the place
  // is also set on the window itself, which always asks for it.
  if (!isVisible() && hiddenAt_.isValid()) {
    move(hiddenAt_.topLeft());
    if (windowHandle() != nullptr) windowHandle()->setFramePosition(hiddenAt_.topLeft());
  }
  show();
  raise();
  activateWindow();
}

void MainWindow::HideWindow() {
  if (trayAvailable()) {
    hiddenAt_ = frameGeometry();
    hide();
  } else {
    showMinimized();
  }
}

SerialDeviceSurvey MainWindow::Survey() const {
  return SerialDeviceSurvey(PosixSerialPort::DefaultPortsFolder(), options_.devRoot, options_.sysRoot);
}

void MainWindow::FindReceiver() {
  ReceiverSearch search(program_, Survey());
  QProgressDialog progress(QStringLiteral("Listening for a receiver on each serial device..."),
                           QStringLiteral("Cancel"), 0, search.total(), this);
  progress.setWindowTitle(QStringLiteral("Find receiver"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(0);
  // Each step returns within about 100 ms; the event loop between them runs
  // the ticks.
  QEventLoop loop;
  QTimer steps;
  bool finished = false;
  connect(&steps, &QTimer::timeout, &loop, [&] {
    finished = !search.Step();
    progress.setValue(search.done());
    if (finished || progress.wasCanceled()) loop.quit();
  });
  steps.start(0);
  loop.exec();
  steps.stop();
  if (finished) {
    search.Apply();
  } else {
    search.Cancel();
  }
}

void MainWindow::ShowTrack() {
  if (trackView_ == nullptr) {
    trackView_ = new TrackView(program_, files_, this);
    // Each opening reads the day afresh.
    trackView_->setAttribute(Qt::WA_DeleteOnClose);
    // A map source file left out, or a map that cannot be opened, is told
    // where the user looks for what went wrong, not only in a tooltip.
    const auto tell = [this](const QString& problem) {
      program_.AppendToMessageLog((problem + QStringLiteral("\r\n")).toStdWString());
    };
    // The files are read at each opening; what is wrong with them is told once.
    for (const QString& problem : trackView_->mapChoice()->sourceProblems()) {
      if (!toldMapProblems_.contains(problem)) tell(problem);
      toldMapProblems_.insert(problem);
    }
    trackView_->mapChoice()->onProblem = tell;
    PlaceWindowBeside(*trackView_, *this, trackView_->size());
  }
  trackView_->show();
  trackView_->raise();
  trackView_->activateWindow();
}

void MainWindow::ShowAllDays() {
  if (allDaysView_ == nullptr) {
    const std::string folder = files_.DisplayPath(program_.track().folder());
    allDaysView_ = new AllDaysView(ArchiveFoldersOf(folder), DefaultArchiveIndexFile(), this);
    allDaysView_->setAttribute(Qt::WA_DeleteOnClose);
    const auto tell = [this](const QString& problem) {
      program_.AppendToMessageLog((problem + QStringLiteral("\r\n")).toStdWString());
    };
    allDaysView_->onProblem = tell;
    allDaysView_->mapChoice()->onProblem = tell;
    allDaysView_->onOpenDay = [this](LocalDate day) {
      ShowTrack();
      trackView_->ShowDay(day);
    };
    PlaceWindowBeside(*allDaysView_, *this, allDaysView_->size());
  }
  allDaysView_->show();
  allDaysView_->raise();
  allDaysView_->activateWindow();
}

void MainWindow::ShowAbout() {
  AboutBox about(this);
  runModal(about);
}

void MainWindow::SelectOutputFolder() {
  OutputFolderChooser chooser(program_, files_, store_, OrientationFor(centralWidget()->size()), this);
  runModal(chooser);
}

void MainWindow::ReadNmeaFile() {
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({kNmeaFilesFilter, kAllFilesFilter});
  dialog.selectNameFilter(kNmeaFilesFilter);
  if (runModal(dialog) != QDialog::Accepted) return;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return;
  const QByteArray hostPath = QFile::encodeName(chosen.first());
  if (program_.ReplayFile(hostPath.constData())) replayProgress_->Start(QFileInfo(chosen.first()).fileName());
}

void MainWindow::ToggleNmeaLog() { program_.SetNmeaLog(program_.settings().enableNmeaLog == 0); }

void MainWindow::ToggleHideAtStartup() { program_.SetHideAtStartup(program_.settings().hideAtStartup == 0); }

void MainWindow::Exit() {
  // Saved whatever the answer.
  program_.SaveSettings(store_);
  // On top and without an owner: the question is about the whole program.
  QMessageBox question(QMessageBox::Question, QStringLiteral("Exit"), QStringLiteral("Are you sure?"),
                       QMessageBox::Yes | QMessageBox::No);
  question.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  question.setWindowIcon(AppIcon());
  if (runModal(question) == QMessageBox::Yes) {
    closeWithoutSaving_ = true;
    close();
  }
}

void MainWindow::Quit() {
  closeWithoutSaving_ = true;
  close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Whoever chose a port from the menu and closes the window expects it to
  // be kept; Ctrl+Q is the way out that keeps nothing.
  if (!closeWithoutSaving_ && !shutDown_) program_.SaveSettings(store_);
  ShutDown();
  event->accept();
}

void MainWindow::ShutDown() {
  if (shutDown_) return;
  shutDown_ = true;
  program_.ShutDown();
  tickTimer_->stop();
  if (trackView_ != nullptr) trackView_->close();
  delete trayIcon_;
  trayIcon_ = nullptr;
  emit shutDownDone();
}

}  // namespace pathmere
