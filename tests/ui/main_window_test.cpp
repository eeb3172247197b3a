#include "ui/main_window.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QActionGroup>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTreeWidget>
#include <QWindow>

#include "app/program_version.h"
#include "desktop_fixture.h"
#include "platform/instance_channel.h"
#include "settings/menu_marks.h"
#include "support/fake_receiver.h"
#include "support/loopback_peers.h"
#include "ui/about_box.h"
#include "ui/app_icon.h"
#include "ui/desktop_program.h"
#include "ui/output_folder_chooser.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::DesktopTest;
using testing::FindAction;
using testing::ReadWholeFile;
using testing::Walk;

using MainWindowTest = DesktopTest;

std::string Log(const MainWindow& window) {
  return window.panel()->messageLog()->toPlainText().toStdString();
}

// Lines after the six of the track file's header.
long TrackPoints(const std::string& track) { return std::count(track.begin(), track.end(), '\n') - 6; }

// The menu as the user reads it: captions, "-" for a separator, and
// "caption >" for a sub-menu followed by its entries in brackets.
std::vector<std::string> Describe(const QMenu* menu) {
  std::vector<std::string> rows;
  for (const QAction* action : menu->actions()) {
    if (action->isSeparator()) {
      rows.push_back("-");
    } else if (action->menu() != nullptr) {
      rows.push_back(action->text().toStdString() + " >");
      for (const std::string& inner : Describe(action->menu())) rows.push_back("[" + inner + "]");
    } else {
      rows.push_back(action->text().toStdString());
    }
  }
  return rows;
}

TEST_F(MainWindowTest, ToolsMenuOffersEveryCommandInOrder) {
  auto window = MakeWindow();
  EXPECT_EQ(window->windowTitle(), "Pathmere");
  EXPECT_FALSE(window->windowIcon().isNull());
  std::vector<std::string> expected = {"About",
                                       "-",
                                       "Read NMEA file",
                                       "Select Output folder",
                                       "Show track",
                                       "Show all days",
                                       "-",
                                       "Enable NMEA log",
                                       "Write GPX files",
                                       "Hide at startup",
                                       "GPS sentences only",
                                       "Write to disk every >",
                                       "[5 minutes]",
                                       "[1 minute]",
                                       "[10 seconds]",
                                       "-",
                                       "Select input port >",
                                       "[NONE]"};
  for (int number = 0; number <= 15; ++number) expected.push_back("[COM" + std::to_string(number) + "]");
  expected.push_back("Select port speed >");
  for (const char* speed : {"4800", "9600", "19200", "38400", "57600", "115200"}) {
    expected.push_back(std::string("[") + speed + "]");
  }
  expected.insert(expected.end(), {"Find receiver", "-", "Exit"});
  EXPECT_EQ(Describe(window->toolsMenu()), expected);
  EXPECT_EQ(window->action(kCommandAbout)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
  // Exit shows the key that leaves the program; its caption stays "Exit".
  EXPECT_EQ(window->action(kCommandExit)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
  // Port and speed each carry one radio mark.
  EXPECT_TRUE(window->action(kCommandPortNone)->actionGroup()->isExclusive());
  EXPECT_EQ(window->action(kCommandPortNone)->actionGroup(), window->action(kCommandPortLast)->actionGroup());
  EXPECT_TRUE(window->action(kCommandSpeedFirst)->actionGroup()->isExclusive());
  EXPECT_TRUE(window->action(kCommandFlushFirst)->actionGroup()->isExclusive());
}

// Two commands of one number would share one item: its mark would show the
// other's setting, and a click on it invert that.
TEST_F(MainWindowTest, EveryCommandHasANumberOfItsOwnAndEachItemShowsItsSetting) {
  std::vector<int> commands = {kCommandQuit,
                               kCommandAbout,
                               kCommandExit,
                               kCommandReadNmeaFile,
                               kCommandSelectOutputFolder,
                               kCommandFindReceiver,
                               kCommandShowTrack,
                               kCommandEnableNmeaLog,
                               kCommandHideAtStartup,
                               kCommandGpsOnly,
                               kCommandWriteGpx,
                               kCommandShowAllDays};
  for (int command = kCommandPortNone; command <= kCommandPortLast; ++command) commands.push_back(command);
  for (int command = kCommandSpeedFirst; command <= kCommandSpeedLast; ++command) commands.push_back(command);
  for (int command = kCommandFlushFirst; command <= kCommandFlushLast; ++command) commands.push_back(command);
  std::vector<int> sorted = commands;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());

  auto window = MakeWindow();
  std::vector<QMenu*> menus = {window->toolsMenu()};
  size_t items = 0;
  for (size_t i = 0; i < menus.size(); ++i) {
    for (QAction* action : menus[i]->actions()) {
      if (action->menu() != nullptr) menus.push_back(action->menu());
      if (action->isSeparator() || action->menu() != nullptr) continue;
      ++items;
      EXPECT_EQ(window->action(action->data().toInt()), action) << action->text().toStdString();
    }
  }
  EXPECT_EQ(items + 1, commands.size());  // Ctrl+Q has no item

  // A first start writes GPX files: the item is ticked, a click turns them off.
  Program& program = window->program();
  QAction* gpx = FindAction(window->toolsMenu(), "Write GPX files");
  emit window->toolsMenu()->aboutToShow();
  EXPECT_TRUE(gpx->isChecked());
  gpx->trigger();
  EXPECT_EQ(program.settings().gpxLog, 0);
  emit window->toolsMenu()->aboutToShow();
  EXPECT_FALSE(gpx->isChecked());
  EXPECT_FALSE(FindAction(window->toolsMenu(), "Find receiver")->isCheckable());
}

TEST_F(MainWindowTest, MarksShowTheSettingsWhenTheMenuOpens) {
  Settings stored;
  stored.portNumber = 3;
  stored.portSpeed = 38400;
  stored.enableNmeaLog = 1;
  stored.hideAtStartup = 7;  // any non-zero value is on
  stored.gpsOnly = 1;
  stored.flushSeconds = 10;
  SaveSettings(store, stored);
  auto window = MakeWindow();
  Program& program = window->program();
  auto open = [&] {
    window->toolsMenu()->popup(QPoint(0, 0));
    window->toolsMenu()->hide();
  };
  auto checked = [&](int command) { return window->action(command)->isChecked(); };

  open();
  EXPECT_TRUE(checked(kCommandPortFirst + 3));
  EXPECT_TRUE(checked(kCommandSpeedFirst + 3));
  EXPECT_TRUE(checked(kCommandEnableNmeaLog));
  EXPECT_TRUE(checked(kCommandHideAtStartup));
  EXPECT_TRUE(checked(kCommandGpsOnly));
  EXPECT_TRUE(checked(kCommandFlushLast));

  // Values the menu does not offer leave those marks as they were.
  program.SelectPort(20);
  program.SelectSpeed(1200);
  program.SetNmeaLog(false);
  program.SetHideAtStartup(false);
  program.SetGpsOnly(false);
  open();
  EXPECT_TRUE(checked(kCommandPortFirst + 3));
  EXPECT_TRUE(checked(kCommandSpeedFirst + 3));
  EXPECT_FALSE(checked(kCommandEnableNmeaLog));
  EXPECT_FALSE(checked(kCommandHideAtStartup));
  EXPECT_FALSE(checked(kCommandGpsOnly));

  program.SelectPort(-1);
  open();
  EXPECT_TRUE(checked(kCommandPortNone));
  EXPECT_FALSE(checked(kCommandPortFirst + 3));
}

TEST_F(MainWindowTest, PortAndSpeedCommandsSetTheValueAndCloseThePort) {
  auto window = MakeWindow();
  const Settings& settings = window->program().settings();
  FindAction(window->toolsMenu(), "COM15")->trigger();
  EXPECT_EQ(settings.portNumber, 15);
  EXPECT_EQ(port->closes, 1);
  FindAction(window->toolsMenu(), "NONE")->trigger();
  EXPECT_EQ(settings.portNumber, -1);
  FindAction(window->toolsMenu(), "115200")->trigger();
  EXPECT_EQ(settings.portSpeed, 115200);
  // The speed already set still closes the port, which the next tick reopens.
  FindAction(window->toolsMenu(), "115200")->trigger();
  EXPECT_EQ(port->closes, 4);

  // How often pending points go to disk; the port is not touched.
  const Program& program = window->program();
  FindAction(window->toolsMenu(), "10 seconds")->trigger();
  EXPECT_EQ(settings.flushSeconds, 10);
  EXPECT_EQ(program.route().output().flushIntervalMs(), 10000u);
  FindAction(window->toolsMenu(), "1 minute")->trigger();
  EXPECT_EQ(program.nmeaLog().output().flushIntervalMs(), 60000u);
  FindAction(window->toolsMenu(), "5 minutes")->trigger();
  EXPECT_EQ(settings.flushSeconds, 0);
  EXPECT_EQ(program.track().output().flushIntervalMs(), 300000u);
  EXPECT_EQ(program.route().output().flushIntervalMs(), 438000u);
  EXPECT_EQ(port->closes, 4);
}

// A COM number whose device exists names it; the others stay as they are.
TEST_F(MainWindowTest, PortEntriesNameTheDeviceTheyOpen) {
  testing::FakeReceiver receiver;
  const fs::path ports = config.path() / "Brenix" / "ports";
  fs::create_directories(ports);
  fs::create_symlink(receiver.slaveName(), ports / "COM4");
  fs::create_symlink(root.path() / "unplugged", ports / "COM5");
  auto window = MakeWindow();
  QMenu* entries = FindAction(window->toolsMenu(), "Select input port")->menu();
  entries->popup(QPoint(0, 0));
  entries->hide();
  EXPECT_EQ(window->action(kCommandPortFirst + 4)->text().toStdString(),
            "COM4  " + fs::path(receiver.slaveName()).lexically_relative("/dev").string());
  EXPECT_EQ(window->action(kCommandPortFirst + 5)->text(), "COM5");
  EXPECT_EQ(window->action(kCommandPortFirst)->text(), "COM0");
}

// A COMn file naming a TCP server: the entry shows the address, and the
// window's own port reads the server's sentences into the day files.
TEST_F(MainWindowTest, PortEntryHoldingATcpAddressRecordsFromTheServer) {
  StoreOutputFolder(L"\\Tracks");
  testing::LoopbackServer server;
  const std::string address = "tcp://127.0.0.1:" + std::to_string(server.port());
  const fs::path ports = config.path() / "Brenix" / "ports";
  fs::create_directories(ports);
  std::ofstream(ports / "COM6") << address << "\n";
  auto window = MakeWindow(QSize(480, 360), true);
  QMenu* entries = FindAction(window->toolsMenu(), "Select input port")->menu();
  entries->popup(QPoint(0, 0));
  entries->hide();
  EXPECT_EQ(window->action(kCommandPortFirst + 6)->text().toStdString(), "COM6  " + address);
  Start(*window);
  window->action(kCommandPortFirst + 6)->trigger();
  window->Tick();
  ASSERT_TRUE(server.Accept(2000));
  ASSERT_TRUE(server.Send(Walk(60)));
  const auto status = [&] { return window->panel()->statusArea()->toPlainText().toStdString(); };
  ASSERT_TRUE(TickUntil(*window, [&] { return status().find("12:00:58") != std::string::npos; })) << status();
  window->program().ShutDown();
  EXPECT_GE(TrackPoints(ReadWholeFile(Device("Tracks/2026-12-06.plt"))), 5) << "a point every 10 s";
}

// "Find receiver" listens to every present device while the ticks go on.
// One receiver: linked to a COM number (or the one that opens it already)
// and selected. Several: listed, nothing changed.
TEST_F(MainWindowTest, FindReceiverLinksAndSelectsTheOneReceiverThatAnswers) {
  const fs::path ports = config.path() / "Brenix" / "ports";
  const fs::path byId = devRoot / "serial" / "by-id";
  fs::create_directories(byId);
  testing::TalkingReceiver first(9600), second(4800), noise(0, 9600);
  fs::create_symlink(first.slaveName(), byId / "usb-u-blox_GNSS_receiver-if00");
  fs::create_symlink(noise.slaveName(), byId / "usb-Prolific_cable-if00-port0");
  auto window = MakeWindow();
  Program& program = window->program();
  Start(*window);
  // Real ticks during the search; the receiver that goes away while it is
  // probed does not count.
  window->tickTimer()->start(20);
  const uint32_t ticksBefore = program.tick().timerTicks;
  FindAction(window->toolsMenu(), "Find receiver")->trigger();
  EXPECT_GT(program.tick().timerTicks, ticksBefore + 10);
  window->tickTimer()->stop();
  EXPECT_EQ(fs::read_symlink(ports / "COM0"), byId / "usb-u-blox_GNSS_receiver-if00");
  EXPECT_EQ(program.settings().portNumber, 0);
  EXPECT_EQ(program.settings().portSpeed, 9600);
  EXPECT_NE(Log(*window).find(", linked as COM0 (" + (byId / "usb-u-blox_GNSS_receiver-if00").string() +
                              "); COM0 at 9600 bit/s selected\n"),
            std::string::npos)
      << Log(*window);

  // Found again: COM0 opens it already.
  FindAction(window->toolsMenu(), "Find receiver")->trigger();
  EXPECT_NE(Log(*window).find(" answers at 9600 bit/s, COM0 opens it; COM0 at 9600 bit/s selected"),
            std::string::npos)
      << Log(*window);

  // A second receiver: both listed, nothing changed.
  fs::create_symlink(second.slaveName(), ports / "COM7");
  program.SelectSpeed(115200);
  FindAction(window->toolsMenu(), "Find receiver")->trigger();
  const std::string log = Log(*window);
  EXPECT_NE(log.find("Find receiver: 2 receivers answered, nothing changed\n"), std::string::npos) << log;
  EXPECT_NE(log.find("  " + second.slaveName() + ": answers at 4800 bit/s"), std::string::npos) << log;
  EXPECT_EQ(program.settings().portSpeed, 115200);
  EXPECT_EQ(program.settings().portNumber, 0);
}

TEST_F(MainWindowTest, SwitchesToggleAndTheNmeaLogIsFlushedBeforeItTurnsOff) {
  StoreOutputFolder(L"\\Tracks");
  auto window = MakeWindow();
  Program& program = window->program();
  QAction* nmeaLog = FindAction(window->toolsMenu(), "Enable NMEA log");
  FindAction(window->toolsMenu(), "Hide at startup")->trigger();
  EXPECT_EQ(program.settings().hideAtStartup, 1);
  FindAction(window->toolsMenu(), "Hide at startup")->trigger();
  EXPECT_EQ(program.settings().hideAtStartup, 0);
  FindAction(window->toolsMenu(), "GPS sentences only")->trigger();
  EXPECT_EQ(program.settings().gpsOnly, 1);
  // On by default; the item switches it off and on again.
  EXPECT_EQ(program.settings().gpxLog, 1);
  FindAction(window->toolsMenu(), "Write GPX files")->trigger();
  EXPECT_EQ(program.settings().gpxLog, 0);
  FindAction(window->toolsMenu(), "Write GPX files")->trigger();
  EXPECT_EQ(program.settings().gpxLog, 1);
  EXPECT_FALSE(program.SecondPathOpen());

  nmeaLog->trigger();
  EXPECT_EQ(program.settings().enableNmeaLog, 1);
  program.SelectPort(0);
  Start(*window);
  port->queued = Walk(5);
  window->Tick();
  const fs::path logFile = Device("Tracks/2026-12-06.nmea");
  ASSERT_FALSE(fs::exists(logFile)) << "the sentences should still be pending";
  nmeaLog->trigger();
  EXPECT_EQ(program.settings().enableNmeaLog, 0);
  EXPECT_NE(ReadWholeFile(logFile).find("$GPRMC,120004"), std::string::npos);
}

TEST_F(MainWindowTest, PanelButtonsRequestAFlushAndAWaypointAndHideTheWindow) {
  StoreOutputFolder(L"\\Tracks");
  auto window = MakeWindow();
  Start(*window);
  const SharedFlags& flags = window->program().flags();
  QTest::mouseClick(window->panel()->flushButton(), Qt::LeftButton);
  EXPECT_EQ(flags.flushRequested, 1);
  window->Tick();
  EXPECT_EQ(flags.flushRequested, 0);
  QTest::mouseClick(window->panel()->wptButton(), Qt::LeftButton);
  EXPECT_EQ(flags.waypointRequested, 1);

  QTest::mouseClick(window->panel()->hideButton(), Qt::LeftButton);
  EXPECT_FALSE(window->isVisible());
  ASSERT_NE(window->trayIcon(), nullptr) << "the tray icon stays";
  emit window->trayIcon()->activated(QSystemTrayIcon::Context);
  EXPECT_FALSE(window->isVisible()) << "only a left click restores";
  emit window->trayIcon()->activated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(window->isVisible());

  // Without a tray there would be no way back but a second start: the
  // window is minimised instead.
  trayAvailable = false;
  QTest::mouseClick(window->panel()->hideButton(), Qt::LeftButton);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->isMinimized());
  window->HandleForwardedCode(kForwardShow);
  EXPECT_FALSE(window->isMinimized());
}

// The tray icon and its one line follow the receiver at every tick, so a
// hidden window still tells whether it logs.
TEST_F(MainWindowTest, TrayIconTellsTheStateOfEachTick) {
  struct Row {
    const char* legend;
    int32_t port;
    int32_t openResult;
    std::string received;  // queued before the ticks
    int ticks;
    Reception expected;
    const char* toolTip;
  };
  const std::string noFix = testing::Rmc({.status = "V"}) + "\r\n";
  const Row rows[] = {
      {"fixes arrive", 2, 0, Walk(25), 2, Reception::kFix, "COM2: fix, last fix 12:00:24, 3 points today"},
      {"sentences without a fix", 2, 0, noFix + noFix, 2, Reception::kNoFix,
       "COM2: no fix, no fix yet, 0 points today"},
      {"silence past the No data time", 2, 0, "", 8, Reception::kNoData,
       "COM2: no data, no fix yet, 0 points today"},
      {"no port chosen", -1, 0, Walk(3), 2, Reception::kNoData, "NONE: no data, no fix yet, 0 points today"},
      {"the port does not open", 2, 5, Walk(3), 2, Reception::kPortError,
       "COM2: port error, no fix yet, 0 points today"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    StoreOutputFolder(L"\\Tracks");
    auto window = MakeWindow();
    window->program().SelectPort(row.port);
    Start(*window);
    port->openResult = row.openResult;
    port->queued = row.received;
    for (int i = 0; i < row.ticks; ++i) window->Tick();
    ASSERT_NE(window->trayIcon(), nullptr);
    EXPECT_EQ(window->reception().reception(), row.expected);
    EXPECT_EQ(window->trayIcon()->toolTip().toStdString(), row.toolTip);
    EXPECT_EQ(window->trayIcon()->icon().pixmap(32).toImage(), TrayIcon(row.expected).pixmap(32).toImage());
    if (row.expected == Reception::kFix) {
      // Silence after fixes: no data, and the last fix is still told.
      for (int i = 0; i < 7; ++i) window->Tick();
      EXPECT_EQ(window->trayIcon()->toolTip().toStdString(),
                "COM2: no data, last fix 12:00:24, 3 points today");
    }
  }
  // Four states, four pictures.
  const QImage fix = TrayIcon(Reception::kFix).pixmap(32).toImage();
  EXPECT_NE(fix, TrayIcon(Reception::kNoFix).pixmap(32).toImage());
  EXPECT_NE(fix, TrayIcon(Reception::kNoData).pixmap(32).toImage());
  EXPECT_NE(fix, TrayIcon(Reception::kPortError).pixmap(32).toImage());
  EXPECT_NE(TrayIcon(Reception::kNoData).pixmap(32).toImage(),
            TrayIcon(Reception::kPortError).pixmap(32).toImage());
}

TEST_F(MainWindowTest, PanelLayoutIsChosenOnceFromTheClientArea) {
  struct Row {
    const char* legend;
    QSize clientSize;  // as the window is created
    QSize shownSize;   // what the window system makes of it before the first show; empty: the same
    Orientation expected;
  };
  const Row rows[] = {
      {"wider than high", QSize(480, 360), QSize(), Orientation::kLandscape},
      {"higher than wide", QSize(300, 500), QSize(), Orientation::kPortrait},
      {"square", QSize(400, 400), QSize(), Orientation::kPortrait},
      {"made wide, shown tall", QSize(480, 360), QSize(300, 560), Orientation::kPortrait},
      {"made tall, shown wide", QSize(300, 500), QSize(640, 360), Orientation::kLandscape},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    StoreOutputFolder(L"\\Tracks");
    auto window = MakeWindow(row.clientSize);
    if (!row.shownSize.isEmpty()) window->resize(row.shownSize);
    Start(*window);
    QCoreApplication::processEvents();
    const Panel& panel = *window->panel();
    ASSERT_EQ(panel.orientation(), row.expected);
    const QRect status = panel.statusArea()->geometry();
    const QRect log = panel.messageLog()->geometry();
    const QRect flush = panel.flushButton()->geometry();
    const QRect hide = panel.hideButton()->geometry();
    const QRect wpt = panel.wptButton()->geometry();
    EXPECT_GE(log.top(), status.bottom()) << "the message log lies under the status area";
    EXPECT_GT(status.height(), log.height());
    EXPECT_EQ(panel.size(), window->centralWidget()->size());
    if (row.expected == Orientation::kPortrait) {
      EXPECT_GE(flush.top(), log.bottom()) << "buttons at the bottom";
      EXPECT_EQ(flush.top(), hide.top());
      EXPECT_EQ(hide.top(), wpt.top());
      EXPECT_LT(flush.left(), hide.left());
      EXPECT_LT(hide.left(), wpt.left());
    } else {
      EXPECT_GE(flush.left(), status.right()) << "buttons on the right";
      EXPECT_EQ(flush.left(), hide.left());
      EXPECT_EQ(hide.left(), wpt.left());
      EXPECT_LT(flush.top(), hide.top());
      EXPECT_LT(hide.top(), wpt.top());
    }
    // The folder chooser follows the window's shape at each opening.
    OutputFolderChooser* chooser = nullptr;
    window->runModal = [&](QDialog& dialog) {
      chooser = qobject_cast<OutputFolderChooser*>(&dialog);
      if (chooser != nullptr) {
        EXPECT_EQ(chooser->windowTitle(), "Select output folder");
        EXPECT_EQ(chooser->orientation(), row.expected);
      }
      return static_cast<int>(QDialog::Rejected);
    };
    FindAction(window->toolsMenu(), "Select Output folder")->trigger();
    EXPECT_NE(chooser, nullptr);
    // Later the panel only follows the window's size.
    window->resize(window->size().transposed());
    QCoreApplication::processEvents();
    EXPECT_EQ(window->panel()->orientation(), row.expected);
  }
}

TEST_F(MainWindowTest, TextAreasCountLineEndsAsTheProgramWroteThem) {
  auto window = MakeWindow();
  MessageLog log;  // the program's own, on the same panel
  log.AttachPanel(window->panel());
  log.ReplaceText(kStatusArea, L"No data \r\n");
  EXPECT_EQ(window->panel()->statusArea()->toPlainText(), "No data \n");

  // 7,500 lines of four characters: 30,000 as the program counts, fewer in
  // the widget, which keeps a line end as one break.
  std::wstring lines;
  for (int i = 0; i < 7500; ++i) lines += L"ab\r\n";
  log.AppendText(kMessageLog, lines);
  log.AppendText(kMessageLog, std::wstring_view(L"x"));
  EXPECT_TRUE(Log(*window).ends_with("ab\nx")) << "30,000 characters: appended";
  log.AppendText(kMessageLog, std::wstring_view(L"y"));
  EXPECT_EQ(Log(*window), "y") << "30,001 characters: replaced";
}

TEST_F(MainWindowTest, ReadNmeaFileReplaysTheChosenFileIntoTheDayFiles) {
  StoreOutputFolder(L"\\Tracks");
  testing::TempFolder input;
  // Longer than the 80 characters a file name once had room for.
  const fs::path recording = input.path() / (std::string(90, 'w') + ".nmea");
  std::ofstream(recording, std::ios::binary) << Walk(60);
  auto window = MakeWindow();
  Start(*window);

  int asked = 0;
  bool cancel = true;
  window->runModal = [&](QDialog& dialog) {
    ++asked;
    auto* fileDialog = qobject_cast<QFileDialog*>(&dialog);
    EXPECT_NE(fileDialog, nullptr);
    if (fileDialog == nullptr) return static_cast<int>(QDialog::Rejected);
    EXPECT_EQ(fileDialog->nameFilters(), QStringList({"NMEA Files (*.nmea)", "All Files (*)"}));
    EXPECT_EQ(fileDialog->selectedNameFilter(), "NMEA Files (*.nmea)");
    EXPECT_EQ(fileDialog->fileMode(), QFileDialog::ExistingFile);
    if (cancel) return static_cast<int>(QDialog::Rejected);
    fileDialog->selectFile(QString::fromStdString(recording.string()));
    return static_cast<int>(QDialog::Accepted);
  };
  QAction* read = FindAction(window->toolsMenu(), "Read NMEA file");
  read->trigger();
  EXPECT_EQ(Log(*window), "") << "cancelled: nothing happens";

  cancel = false;
  read->trigger();
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(Log(*window), recording.string() + "\n");
  EXPECT_EQ(window->program().flags().flushRequested, 1);
  ASSERT_TRUE(TickUntil(*window, [&] { return Log(*window).ends_with("File processed\n"); }));
  const std::string track = ReadWholeFile(Device("Tracks/2026-12-06.plt"));
  EXPECT_EQ(track.find("OziExplorer Track Point File"), 0u);
  EXPECT_GE(TrackPoints(track), 5) << "a point every 10 s";
  EXPECT_TRUE(fs::exists(Device("Tracks/2026-12-06.rte")));
}

TEST_F(MainWindowTest, ExitSavesTheSettingsEvenWhenTheAnswerIsNo) {
  auto window = MakeWindow();
  Start(*window);
  FindAction(window->toolsMenu(), "COM3")->trigger();
  FindAction(window->toolsMenu(), "19200")->trigger();
  FindAction(window->toolsMenu(), "Hide at startup")->trigger();
  FindAction(window->toolsMenu(), "GPS sentences only")->trigger();

  int answer = QMessageBox::No;
  int asked = 0;
  window->runModal = [&](QDialog& dialog) {
    ++asked;
    auto* box = qobject_cast<QMessageBox*>(&dialog);
    EXPECT_NE(box, nullptr);
    if (box == nullptr) return static_cast<int>(QDialog::Rejected);
    EXPECT_EQ(box->windowTitle(), "Exit");
    EXPECT_EQ(box->text(), "Are you sure?");
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(box->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(box->parent(), nullptr);
    return answer;
  };
  QSignalSpy ended(window.get(), &MainWindow::shutDownDone);
  QAction* exit = FindAction(window->toolsMenu(), "Exit");
  exit->trigger();
  EXPECT_EQ(asked, 1);
  const Settings stored = StoredSettings();
  EXPECT_EQ(stored.portNumber, 3);
  EXPECT_EQ(stored.portSpeed, 19200);
  EXPECT_EQ(stored.hideAtStartup, 1);
  EXPECT_EQ(stored.gpsOnly, 1);
  EXPECT_EQ(window->program().tick().closing, 0) << "No: the program runs on";
  EXPECT_EQ(ended.count(), 0);

  answer = QMessageBox::Yes;
  exit->trigger();
  EXPECT_EQ(ended.count(), 1);
  EXPECT_EQ(window->program().tick().closing, 1);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, CtrlQClosesWithoutAQuestionAndWithoutSaving) {
  StoreOutputFolder(L"\\Tracks");
  auto window = MakeWindow();
  Start(*window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  FindAction(window->toolsMenu(), "COM3")->trigger();
  QSignalSpy ended(window.get(), &MainWindow::shutDownDone);
  window->panel()->messageLog()->setFocus();
  QTest::keyClick(window->panel()->messageLog(), Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(ended.count(), 1);
  EXPECT_TRUE(dialogsShown.empty());
  EXPECT_EQ(StoredSettings().portNumber, -1) << "nothing saved";
}

// The window system's close (its close button) saves the numeric settings,
// without asking; the files are flushed as on every shut-down.
TEST_F(MainWindowTest, TheCloseButtonSavesTheSettingsWithoutAQuestion) {
  StoreOutputFolder(L"\\Tracks");
  auto window = MakeWindow();
  Start(*window);
  FindAction(window->toolsMenu(), "COM3")->trigger();
  FindAction(window->toolsMenu(), "19200")->trigger();
  QSignalSpy ended(window.get(), &MainWindow::shutDownDone);
  ASSERT_NE(window->windowHandle(), nullptr);
  window->windowHandle()->close();
  EXPECT_EQ(ended.count(), 1);
  EXPECT_TRUE(dialogsShown.empty());
  EXPECT_EQ(StoredSettings().portNumber, 3);
  EXPECT_EQ(StoredSettings().portSpeed, 19200);
}

TEST_F(MainWindowTest, CtrlAOpensTheAboutBoxAlsoFromTheTextAreas) {
  StoreOutputFolder(L"\\Tracks");
  auto window = MakeWindow();
  Start(*window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  int abouts = 0;
  window->runModal = [&](QDialog& dialog) {
    if (qobject_cast<AboutBox*>(&dialog) != nullptr) ++abouts;
    EXPECT_FALSE(dialog.windowIcon().isNull());
    const QLabel* title = dialog.findChild<QLabel*>(QStringLiteral("titleLabel"));
    EXPECT_TRUE(title != nullptr && title->text().contains(QString::fromLatin1(ProgramVersion())));
    return static_cast<int>(QDialog::Accepted);
  };
  for (QWidget* focus : {static_cast<QWidget*>(window->panel()->messageLog()),
                         static_cast<QWidget*>(window->panel()->statusArea()),
                         static_cast<QWidget*>(window->panel()->flushButton())}) {
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
  }
  EXPECT_EQ(abouts, 3);
}

TEST_F(MainWindowTest, FirstTickOpensTheChooserWhenNoFolderIsStoredAndThenDoesNotHide) {
  Settings hidden;
  hidden.hideAtStartup = 1;
  SaveSettings(store, hidden);
  auto window = MakeWindow();
  EXPECT_EQ(window->program().settings().hideAtStartup, 1) << "settings are loaded at creation";
  Start(*window);
  QCoreApplication::processEvents();
  EXPECT_EQ(dialogsShown, std::vector<std::string>{"pathmere::OutputFolderChooser"});
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->program().tick().startupState, 2);
}

TEST_F(MainWindowTest, FirstTickLoadsTheStoredFolderAndHidesWhenAsked) {
  Settings hidden;
  hidden.hideAtStartup = 1;
  SaveSettings(store, hidden);
  StoreOutputFolder(L"\\Logs\\Walks");
  auto window = MakeWindow();
  Start(*window);
  QCoreApplication::processEvents();
  EXPECT_TRUE(dialogsShown.empty());
  EXPECT_FALSE(window->isVisible());
  EXPECT_STREQ(window->program().track().folder(), L"\\Logs\\Walks");
  EXPECT_STREQ(window->program().waypoints().folder(), L"\\Logs\\Walks");
}

// The one test on the real timer: the chooser opened by the first tick is
// modal, and the program must go on ticking while it is open.
TEST_F(MainWindowTest, TicksGoOnWhileTheChooserOfTheFirstTickIsOpen) {
  auto window = MakeWindow();
  bool closed = false;
  uint32_t ticksWhileOpen = 0;
  window->runModal = [&](QDialog& dialog) {
    EXPECT_NE(qobject_cast<OutputFolderChooser*>(&dialog), nullptr);
    const uint32_t before = window->program().tick().timerTicks;
    QElapsedTimer waited;
    waited.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
      if (window->program().tick().timerTicks >= before + 2 || waited.hasExpired(30000)) dialog.reject();
    });
    poll.start(20);
    const int result = dialog.exec();
    ticksWhileOpen = window->program().tick().timerTicks - before;
    closed = true;
    return result;
  };
  window->show();
  EXPECT_EQ(window->tickTimer()->interval(), MainWindow::kTickIntervalMs);
  QElapsedTimer waited;
  waited.start();
  while (!closed && !waited.hasExpired(60000)) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  ASSERT_TRUE(closed);
  EXPECT_GE(ticksWhileOpen, 2u);
}

TEST_F(MainWindowTest, ShutDownFlushesPendingPointsAndStopsEverything) {
  StoreOutputFolder(L"\\Tracks");
  auto window = MakeWindow();
  window->program().SelectPort(0);
  Start(*window);
  port->queued = Walk(40);
  window->Tick();
  ASSERT_EQ(port->opens, 1);
  const fs::path track = Device("Tracks/2026-12-06.plt");
  ASSERT_FALSE(fs::exists(track)) << "the points should still be pending";

  QSignalSpy ended(window.get(), &MainWindow::shutDownDone);
  window->close();
  EXPECT_EQ(ended.count(), 1);
  const std::string written = ReadWholeFile(track);
  EXPECT_NE(written.find("OziExplorer"), std::string::npos);
  EXPECT_GE(TrackPoints(written), 3) << "a point every 10 s";
  EXPECT_FALSE(window->tickTimer()->isActive());
  EXPECT_EQ(window->trayIcon(), nullptr);
  EXPECT_EQ(window->program().capture().portOpen, 0);

  // A tick that was already on its way does nothing.
  port->queued = Walk(40, 44000.0);
  window->Tick();
  EXPECT_EQ(port->opens, 1);
  EXPECT_EQ(ReadWholeFile(track), written);
}

// The desktop finds the menu entry, and with it the icon, by the Wayland app
// id or by the X11 window class; both must name what pathmere.desktop says.
TEST(DesktopIdentityTest, TheMenuEntryNamesTheApplicationAsItsWindowsDo) {
  const QString oldName = QCoreApplication::applicationName();
  SetApplicationIdentity();
  const std::string entry = ReadWholeFile(PATHMERE_SOURCE_DIR "/packaging/pathmere.desktop.in");
  const std::string name = QGuiApplication::desktopFileName().toStdString();
  EXPECT_EQ(name, "pathmere");
  EXPECT_NE(entry.find("\nIcon=" + name + "\n"), std::string::npos);
  EXPECT_NE(entry.find("\nStartupWMClass=" + QCoreApplication::applicationName().toStdString() + "\n"),
            std::string::npos);
  EXPECT_FALSE(QGuiApplication::windowIcon().isNull());
  QCoreApplication::setApplicationName(oldName);
}

}  // namespace
}  // namespace pathmere
