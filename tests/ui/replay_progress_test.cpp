#include "ui/replay_progress.h"

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "desktop_fixture.h"
#include "ui/main_window.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::DesktopTest;
using testing::FindAction;
using testing::Walk;

class ReplayProgressTest : public DesktopTest {};

// A file of more than the megabyte a tick hands on: while it is read
// the window ticks back to back and a dialog tells how far it is; Cancel
// stops it with what was read written, and the ticks go back to a second.
TEST_F(ReplayProgressTest, ALargeFileIsReadBackToBackWithProgressAndCancel) {
  StoreOutputFolder(L"\\Tracks");
  testing::TempFolder input;
  const fs::path recording = input.path() / "long.nmea";
  std::ofstream(recording, std::ios::binary) << Walk(9000);
  auto window = MakeWindow();
  Start(*window);
  window->runModal = [&](QDialog& dialog) {
    auto* fileDialog = qobject_cast<QFileDialog*>(&dialog);
    if (fileDialog == nullptr) return static_cast<int>(QDialog::Rejected);
    fileDialog->selectFile(QString::fromStdString(recording.string()));
    return static_cast<int>(QDialog::Accepted);
  };
  auto log = [&] { return window->panel()->messageLog()->toPlainText().toStdString(); };
  QAction* read = FindAction(window->toolsMenu(), "Read NMEA file");

  for (bool cancel : {true, false}) {
    SCOPED_TRACE(cancel ? "cancelled" : "to the end");
    read->trigger();
    ASSERT_TRUE(window->program().IsReplaying());
    QProgressDialog* progress = window->replayProgress();
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->labelText(), "Reading long.nmea...");
    EXPECT_EQ(progress->maximum(), static_cast<int>(fs::file_size(recording) / 1024));
    EXPECT_EQ(window->tickTimer()->interval(), 0) << "ticks back to back";
    window->Tick();
    EXPECT_GT(progress->value(), 0);
    EXPECT_LT(progress->value(), progress->maximum());
    if (cancel) {
      progress->findChild<QPushButton*>()->click();
      EXPECT_FALSE(window->program().IsReplaying());
      EXPECT_TRUE(log().ends_with("File reading cancelled\n")) << log();
      EXPECT_TRUE(fs::exists(Device("Tracks/2026-12-06.plt"))) << "what was read is written";
    } else {
      ASSERT_TRUE(TickUntil(*window, [&] { return !window->program().IsReplaying(); }));
      EXPECT_TRUE(log().ends_with("File processed\n")) << log();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->replayProgress(), nullptr);
    EXPECT_EQ(window->tickTimer()->interval(), MainWindow::kTickIntervalMs);
  }
}

}  // namespace
}  // namespace pathmere
