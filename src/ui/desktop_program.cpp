#include "ui/desktop_program.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QSocketNotifier>

#include "app/instance_claim.h"
#include "app/program_version.h"
#include "platform/file_system_posix.h"
#include "platform/instance_channel.h"
#include "platform/second_start_switches.h"
#include "platform/settings_store_file.h"
#include "platform/stop_signals.h"
#include "platform/tick_clock.h"
#include "ui/app_icon.h"
#include "ui/instance_command_server.h"
#include "ui/main_window.h"

namespace pathmere {

namespace {

constexpr char kNoDisplay[] =
    "no display: use pathmere-cli record to log without a window (pathmere-cli --help tells more)\n";

constexpr char kUsage[] =
    "Usage: pathmere [/wpth | /wpts | /noup | --version]\n"
    "  Starts the desktop program of the GPS track logger Pathmere. While one\n"
    "  runs, a second start hands it its switch and ends:\n"
    "    /wpth   mark a waypoint at the next good fix and write pending points\n"
    "    /wpts   the same, then show the window and bring it to the front\n"
    "    /noup   nothing\n"
    "    (none)  show the window and bring it to the front\n"
    "  Exit status 2 when a switch is not one of these (the window is still\n"
    "  shown). pathmere-cli --help tells how to log without a window.\n";

bool AsksFor(int argc, char** argv, std::initializer_list<const char*> names) {
  for (int i = 1; i < argc; ++i) {
    for (const char* name : names) {
      if (std::strcmp(argv[i], name) == 0) return true;
    }
  }
  return false;
}

// Whether a window can be asked for at all: a platform named for Qt, or an
// X11 or Wayland display to connect to.
bool DisplayNamed() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') return true;
  }
  return false;
}

// While the application object connects to the display, Qt's messages are
// held back: if it cannot connect, Qt ends the program with abort() after
// several lines about plugins, where one line saying what to do instead
// serves better. On success the held messages go out as they would have.
struct HeldMessage {
  QtMsgType type;
  std::string category;
  QString text;
};
QtMessageHandler gPreviousHandler = nullptr;
std::vector<HeldMessage>* gHeldMessages = nullptr;
InstanceClaim* gClaim = nullptr;

void HoldMessageOrEnd(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    // No destructors run from here; the channel's socket is removed by hand.
    if (gClaim != nullptr) gClaim->channel.reset();
    std::fputs(kNoDisplay, stderr);
    std::_Exit(1);
  }
  gHeldMessages->push_back({type, context.category != nullptr ? context.category : "", text});
}

// Constructs `app` in place with the messages held, then lets them out.
void ConnectToDisplay(std::unique_ptr<QApplication>* app, int& argc, char** argv, InstanceClaim& claim) {
  std::vector<HeldMessage> held;
  gHeldMessages = &held;
  gClaim = &claim;
  gPreviousHandler = qInstallMessageHandler(HoldMessageOrEnd);
  *app = std::make_unique<QApplication>(argc, argv);
  qInstallMessageHandler(gPreviousHandler);
  gHeldMessages = nullptr;
  gClaim = nullptr;
  for (const HeldMessage& message : held) {
    const QMessageLogContext context(nullptr, 0, nullptr, message.category.c_str());
    qt_message_output(message.type, context, message.text);
  }
}

}  // namespace

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
  if (AsksFor(argc, argv, {"--help", "-h"})) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  // As pathmere-cli --version: neither a window nor a second start.
  if (AsksFor(argc, argv, {"--version"})) {
    std::printf("pathmere %s\n", ProgramVersion());
    return 0;
  }
  // A second start needs no window and no display: it hands its command to
  // the running instance and ends.
  InstanceClaim claim = ClaimInstance(JoinCommandLine(argc, argv));
  const std::vector<std::string> unknown = UnknownSwitches(argc, argv);
  switch (claim.role) {
    case StartRole::kRunningInstance:
      break;
    case StartRole::kHandedOver:
    case StartRole::kOtherInstance:
      // What was forwarded stands; a mistyped switch is told.
      if (unknown.empty()) return 0;
      std::fprintf(stderr, "pathmere: %s\n", UnknownSwitchesText(unknown).c_str());
      return 2;
    case StartRole::kNotAnswered:
      std::fprintf(stderr, "pathmere: the running Pathmere did not answer\n");
      return 1;
    case StartRole::kWithoutChannel:
      std::fprintf(stderr, "pathmere: commands from second starts are off: %s\n", claim.problem.c_str());
      break;
  }

  // Forwarding above works without a display; running does not.
  if (!DisplayNamed()) {
    std::fputs(kNoDisplay, stderr);
    return 1;
  }
  std::unique_ptr<QApplication> app;
  ConnectToDisplay(&app, argc, argv, claim);
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
  QObject::connect(&window, &MainWindow::shutDownDone, app.get(), [] { QCoreApplication::exit(0); });
  std::unique_ptr<InstanceCommandServer> server;
  if (claim.channel) {
    server = std::make_unique<InstanceCommandServer>(
        *claim.channel, [&window](int32_t code) { window.HandleForwardedCode(code); },
        [&window] { return window.StatusReport(); }, [&window] { return window.PendingPoints(); });
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
