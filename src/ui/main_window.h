#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QSet>
#include <QSize>

#include "app/port_watch.h"
#include "app/program.h"
#include "app/reception_watch.h"
#include "app/status_report.h"
#include "capture/timer_tick.h"
#include "platform/file_system.h"
#include "platform/serial_devices.h"
#include "platform/serial_port.h"
#include "platform/settings_store.h"
#include "platform/tick_clock.h"
#include "ui/all_days_view.h"
#include "ui/panel.h"
#include "ui/replay_progress.h"
#include "ui/track_view.h"

class QAction;
class QCloseEvent;
class QDialog;
class QEvent;
class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace pathmere {

// Commands of the window itself; the port, speed and switch commands are in
// settings/menu_marks.h. Each has a number of its own: the window finds an
// item by its number.
inline constexpr int kCommandQuit = 1;  // Ctrl+Q
inline constexpr int kCommandAbout = 40003;
inline constexpr int kCommandExit = 40004;
inline constexpr int kCommandReadNmeaFile = 40006;
inline constexpr int kCommandSelectOutputFolder = 40007;
inline constexpr int kCommandFindReceiver = 40036;
inline constexpr int kCommandShowTrack = 40037;
inline constexpr int kCommandShowAllDays = 40039;

// How a MainWindow starts.
struct MainWindowOptions {
  // The client area to start with, which also picks the panel's layout.
  // Empty: sized from the screen, landscape on a landscape screen.
  QSize clientSize;
  // Where the serial devices are looked up for the port entries and "Find
  // receiver".
  std::filesystem::path devRoot = "/dev";
  std::filesystem::path sysRoot = "/sys";
};

// The program's only top-level window and its clock: the Tools menu, the
// panel, the tray icon and the one-second timer that drives the program.
// It owns the Program, so every window starts from a fresh one, and the
// serial port the Program reads (termios unless one is handed in).
class MainWindow final : public QMainWindow, public TickHost {
  Q_OBJECT

 public:
  static constexpr int kTickIntervalMs = 1000;

  using Options = MainWindowOptions;

  MainWindow(FileSystem& files, TickClock& clock, SettingsStore& store,
             std::unique_ptr<SerialPort> port = nullptr, Options options = {});
  ~MainWindow() override;

  Program& program() { return program_; }
  Panel* panel() const { return panel_; }
  QMenu* toolsMenu() const { return toolsMenu_; }
  QTimer* tickTimer() const { return tickTimer_; }
  // While "Read NMEA file" replays a file.
  QProgressDialog* replayProgress() const { return replayProgress_ ? replayProgress_->dialog() : nullptr; }
  QSystemTrayIcon* trayIcon() const { return trayIcon_; }
  // What the tray icon shows, as of the last tick.
  const ReceptionWatch& reception() const { return reception_; }
  QAction* action(int command) const { return actions_.value(command, nullptr); }
  // The open track view, or null.
  TrackView* trackView() const { return trackView_; }
  AllDaysView* allDaysView() const { return allDaysView_; }

  // Runs each modal dialog (About box, folder chooser, file dialog, the exit
  // question) and returns its result; exec() unless a test answers instead.
  std::function<int(QDialog&)> runModal;
  // Whether the desktop shows tray icons. Without one, hiding minimises, so
  // the window stays within reach.
  std::function<bool()> trayAvailable;

  // One tick of the program's main loop; the timer calls it every second.
  void Tick();
  // A code forwarded by a second start of the program.
  void HandleForwardedCode(int32_t code);
  // Shows the window again and brings it to the front.
  void Restore();
  void HideWindow();
  // The folder chooser, modal.
  void SelectOutputFolder();
  // "Find receiver": probes the present devices behind a progress dialog
  // while the ticks go on, then links and selects the one receiver found.
  void FindReceiver();
  // "Show track": opens the track view, or brings the open one to the front.
  void ShowTrack();
  void ShowAllDays();
  // Ends the program as Ctrl+Q does: no question, nothing saved. Closing the
  // window any other way (its close button) saves the numeric settings.
  void Quit();

  // TickHost: the first tick's work.
  void RunStartupAction() override;

  // What `pathmere-cli status` is told (status_report.h).
  std::string StatusReport();
  // What `pathmere-cli summary` is told (pending_points.h).
  std::string PendingPoints();

 signals:
  // The shut-down has run: files are flushed, the timer and the tray icon
  // are gone. The program's event loop ends here.
  void shutDownDone();

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateMenu();
  QAction* AddCommand(QMenu* menu, int command, const QString& caption);
  void CreatePanel(Orientation orientation);
  void FitPanelToFirstShow();
  void CreateTrayIcon();
  void UpdateTrayIcon();
  void StartOnFirstActivation();
  void UpdateMenuMarks();
  void UpdatePortEntries();
  SerialDeviceSurvey Survey() const;
  void ShowAbout();
  void Exit();
  void ReadNmeaFile();
  void ToggleNmeaLog();
  void ToggleHideAtStartup();
  void ShutDown();

  FileSystem& files_;
  TickClock& clock_;
  SettingsStore& store_;
  std::unique_ptr<SerialPort> port_;
  Options options_;
  PortWatch watchedPort_;
  Program program_;
  DayFileCensus census_;
  Panel* panel_ = nullptr;
  QMenu* toolsMenu_ = nullptr;
  QTimer* tickTimer_ = nullptr;
  std::unique_ptr<ReplayProgress> replayProgress_;
  QSystemTrayIcon* trayIcon_ = nullptr;
  // Where the window was when "Hide" sent it to the tray.
  QRect hiddenAt_;
  ReceptionWatch reception_;
  QIcon trayIcons_[4];  // by Reception
  int trayIconShown_ = -1;
  QHash<int, QAction*> actions_;
  QPointer<TrackView> trackView_;
  // The map source files' problems told in the message log this run.
  QSet<QString> toldMapProblems_;
  QPointer<AllDaysView> allDaysView_;
  bool shutDown_ = false;
  bool shownOnce_ = false;
  // Set by Ctrl+Q, by "Exit" (which has saved already) and by a stop signal.
  bool closeWithoutSaving_ = false;
};

}  // namespace pathmere
