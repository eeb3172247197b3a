#include "ui/desktop_program.h"

#include <clocale>
#include <cstdio>
#include <memory>
#include <string>

#include <QApplication>
#include <QSocketNotifier>

#include "app/instance_claim.h"
#include "app/program_version.h"
#include "platform/file_system_posix.h"
#include "platform/instance_channel.h"
#include "platform/settings_store_file.h"
#include "platform/stop_signals.h"
#include "platform/tick_clock.h"
#include "ui/app_icon.h"
#include "ui/instance_command_server.h"
#include "ui/main_window.h"

namespace pathmere {

void SetApplicationIdentity() {
  // The name is the class of the X11 windows (the menu entry's
  // StartupWMClass); the desktop file name is the Wayland app id, by which
  // the compositor finds pathmere.desktop and its icon.
  QApplication::setApplicationName(QStringLiteral("Pathmere"));
  QApplication::setApplicationVersion(QString::fromLatin1(ProgramVersion()));
  QApplication::setDesktopFileName(QStringLiteral("pathmere"));
  QApplication::setWindowIcon(AppIcon());
}

int RunDesktopProgram(int argc, char** argv) {
  // A second start needs no window and no display: it hands its command to
  // the running instance and ends.
  InstanceClaim claim = ClaimInstance(JoinCommandLine(argc, argv));
  switch (claim.role) {
    case StartRole::kRunningInstance:
      break;
    case StartRole::kHandedOver:
    case StartRole::kOtherInstance:
      return 0;
    case StartRole::kNotAnswered:
      std::fprintf(stderr, "pathmere: the running Pathmere did not answer\n");
      return 1;
    case StartRole::kWithoutChannel:
      std::fprintf(stderr, "pathmere: commands from second starts are off: %s\n", claim.problem.c_str());
      break;
  }

  QApplication app(argc, argv);
  // Qt has set the user's locale; the program prints and parses numbers
  // with printf and strtod, which must never see a decimal comma.
  std::setlocale(LC_NUMERIC, "C");
  SetApplicationIdentity();
  // A hidden main window and a closed dialog are no reason to end; only the
  // shut-down ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  PosixFileSystem files;
  MonotonicTickClock clock;
  FileSettingsStore store;
  MainWindow window(files, clock, store);
  QObject::connect(&window, &MainWindow::shutDownDone, &app, [] { QCoreApplication::exit(0); });
  std::unique_ptr<InstanceCommandServer> server;
  if (claim.channel) {
    server = std::make_unique<InstanceCommandServer>(
        *claim.channel, [&window](int32_t code) { window.HandleForwardedCode(code); });
  }
  StopSignals stopSignals;
  std::unique_ptr<QSocketNotifier> stopNotifier;
  if (stopSignals.installed()) {
    stopNotifier = std::make_unique<QSocketNotifier>(stopSignals.wakeFd(), QSocketNotifier::Read);
    QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, &window, [&stopSignals, &window] {
      if (stopSignals.TakeStop()) window.Quit();
    });
  }
  window.show();
  return QApplication::exec();
}

}  // namespace pathmere
