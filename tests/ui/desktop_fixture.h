#pragma once

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QSize>
#include <QString>
#include <QTimer>

#include "fix/shared_flags.h"
#include "platform/file_system_posix.h"
#include "platform/serial_port.h"
#include "platform/settings_store_file.h"
#include "settings/settings_operations.h"
#include "support/fake_tick_clock.h"
#include "support/generated_day.h"
#include "support/nmea_builder.h"
#include "support/scoped_env.h"
#include "support/test_environment.h"
#include "ui/main_window.h"
#include "ui/track_view.h"

namespace pathmere::testing {

// A receiver that hands out what the test queued, one block per read.
class QueuedSerialPort final : public SerialPort {
 public:
  int32_t OpenPort(int32_t, int32_t) override {
    ++opens;
    return openResult;
  }
  int32_t ReadPort(uint8_t* buffer, int32_t size) override {
    const size_t n = std::min(queued.size(), static_cast<size_t>(size));
    std::memcpy(buffer, queued.data(), n);
    queued.erase(0, n);
    return static_cast<int32_t>(n);
  }
  void ClosePort() override { ++closes; }

  std::string queued;
  int32_t openResult = 0;  // not 0: the port cannot be opened
  int opens = 0;
  int closes = 0;
};

// Fixes one second apart from 12:00:00 on 6 December 2026, walking north,
// each a GGA and an RMC sentence.
inline std::string Walk(int seconds, double startTime = 43200.0) {
  std::string text;
  for (int i = 0; i < seconds; ++i) {
    text += Gga(startTime + i, 1.0) + "\r\n";
    text += Rmc({.timeOfDay = startTime + i, .northMetres = 1.5 * i, .speedKmh = 5.4}) + "\r\n";
  }
  return text;
}

// The action with `caption` in `menu` or its sub-menus.
inline QAction* FindAction(QMenu* menu, const QString& caption) {
  for (QAction* action : menu->actions()) {
    if (action->text() == caption) return action;
    if (action->menu() != nullptr) {
      if (QAction* inner = FindAction(action->menu(), caption)) return inner;
    }
  }
  return nullptr;
}

// The device root, the settings store and the user's configuration in
// temporary folders, and windows on them whose receiver is a queue.
class DesktopTest : public ::testing::Test {
 protected:
  DesktopTest()
      : rootEnv_("PATHMERE_ROOT", root.path().c_str()),
        configEnv_("XDG_CONFIG_HOME", config.path().c_str()),
        files(root.path().string()),
        store(config.path() / "Brenix") {}

  // With `realPort` the window makes its own port, as the program does, and
  // `port` is null.
  std::unique_ptr<MainWindow> MakeWindow(QSize clientSize = QSize(480, 360), bool realPort = false) {
    auto queue = realPort ? nullptr : std::make_unique<QueuedSerialPort>();
    port = queue.get();
    auto window = std::make_unique<MainWindow>(files, clock, store, std::move(queue),
                                               MainWindow::Options{clientSize, devRoot, sysRoot});
    window->trayAvailable = [this] { return trayAvailable; };
    // Dialogs a test does not answer itself are noted and cancelled.
    window->runModal = [this](QDialog& dialog) {
      dialogsShown.push_back(dialog.metaObject()->className());
      return static_cast<int>(QDialog::Rejected);
    };
    return window;
  }

  // The first activation, then the first tick, run by hand: the test ticks
  // the program itself from here on.
  static void Start(MainWindow& window) {
    window.show();
    ASSERT_TRUE(window.tickTimer()->isActive());
    ASSERT_EQ(window.program().tick().startupState, 1);
    window.tickTimer()->stop();
    window.Tick();
  }

  // Ticks until `done` or `limit` ticks; true when done.
  template <class Done>
  static bool TickUntil(MainWindow& window, Done done, int limit = 100) {
    for (int i = 0; i < limit && !done(); ++i) window.Tick();
    return done();
  }

  void StoreOutputFolder(const wchar_t* folder) { SaveOutputDir(store, folder); }

  // A started window whose track view shows 2026-12-06 of a drive with a
  // stop, read from the output folder \Tracks.
  std::unique_ptr<MainWindow> WindowOnDriveWithStop() {
    StoreOutputFolder(L"\\Tracks");
    std::filesystem::create_directories(Device("Tracks"));
    std::ofstream(Device("Tracks/2026-12-06.plt"), std::ios::binary) << DriveWithStopTrackFile(6);
    auto window = MakeWindow();
    Start(*window);
    window->ShowTrack();
    window->trackView()->ShowDay({2026, 12, 6});
    return window;
  }

  // The numbers as a fresh start would load them.
  Settings StoredSettings() {
    FileSettingsStore fresh(config.path() / "Brenix");
    Settings settings;
    LoadSettings(fresh, settings);
    return settings;
  }

  std::filesystem::path Device(const std::string& relative) const { return root.path() / relative; }

  TempFolder root;
  TempFolder config;
  ScopedEnv rootEnv_;
  ScopedEnv configEnv_;
  PosixFileSystem files;
  // Still, so no writer flushes on its interval behind the test's back.
  FakeTickClock clock;
  FileSettingsStore store;
  QueuedSerialPort* port = nullptr;  // owned by the last window made
  // No serial device of the machine unless a test links one.
  std::filesystem::path devRoot = root.path() / "dev";
  std::filesystem::path sysRoot = root.path() / "sys";
  bool trayAvailable = true;
  std::vector<std::string> dialogsShown;
};

}  // namespace pathmere::testing
