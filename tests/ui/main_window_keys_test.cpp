// The main window without the mouse and from the tray: the Tools menu from
// the keyboard, the tray icon's menu, and the place the window comes back to.
#include <string>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

#include "desktop_fixture.h"
#include "ui/main_window.h"

namespace pathmere {
namespace {

using testing::DesktopTest;

class MainWindowKeysTest : public DesktopTest {};

TEST_F(MainWindowKeysTest, AltTAndF10OpenTheToolsMenu) {
  auto window = MakeWindow();
  Start(*window);
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  for (QKeyCombination key : {QKeyCombination(Qt::AltModifier, Qt::Key_T), QKeyCombination(Qt::Key_F10)}) {
    SCOPED_TRACE(QKeySequence(key).toString().toStdString());
    QTest::keyClick(window.get(), key.key(), key.keyboardModifiers());
    EXPECT_TRUE(window->toolsMenu()->isVisible());
    window->toolsMenu()->close();
  }
  EXPECT_EQ(window->toolsMenu()->title(), "Tools") << "the title stays as it is";
}

TEST_F(MainWindowKeysTest, TheTrayIconsMenuShowsMarksFlushesAndExits) {
  trayAvailable = true;
  auto window = MakeWindow();
  Start(*window);
  ASSERT_NE(window->trayIcon(), nullptr);
  QMenu* menu = window->trayIcon()->contextMenu();
  ASSERT_NE(menu, nullptr);
  QStringList captions;
  for (QAction* action : menu->actions()) captions << (action->isSeparator() ? "-" : action->text());
  EXPECT_EQ(captions, QStringList({"Show", "Wpt", "Flush", "-", "Exit"}));
  EXPECT_EQ(menu->actions().last()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q)) << "Exit shows its key";
  auto choose = [&](const char* caption) {
    for (QAction* action : menu->actions()) {
      if (action->text() == caption) action->trigger();
    }
  };

  // Hidden to the tray and shown again, the window is where it was.
  window->move(140, 90);
  const QPoint placed = window->pos();
  window->HideWindow();
  EXPECT_FALSE(window->isVisible());
  window->move(0, 0);  // as a window manager may place it anew
  choose("Show");
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->pos(), placed);

  window->Tick();  // takes any request of the start
  ASSERT_EQ(window->program().flags().waypointRequested, 0);
  choose("Wpt");
  EXPECT_EQ(window->program().flags().waypointRequested, 1);
  window->Tick();
  ASSERT_EQ(window->program().flags().flushRequested, 0);
  choose("Flush");
  EXPECT_EQ(window->program().flags().flushRequested, 1);

  std::string asked;
  window->runModal = [&](QDialog& dialog) {
    asked = dialog.windowTitle().toStdString();
    return static_cast<int>(QMessageBox::No);
  };
  choose("Exit");
  EXPECT_EQ(asked, "Exit") << "the question the Tools menu's Exit asks";

  // Ctrl+Q, shown beside the menu's Exit, asks the same while it is open.
  asked.clear();
  QSignalSpy ended(window.get(), &MainWindow::shutDownDone);
  menu->popup(QPoint(10, 10));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
  QTest::keyClick(menu, Qt::Key_Q, Qt::ControlModifier);
  QCoreApplication::processEvents();
  EXPECT_EQ(asked, "Exit");
  EXPECT_EQ(ended.count(), 0);
  EXPECT_FALSE(menu->isVisible());
}

// Exit shows Ctrl+Q, and the key stays the window's way out without a
// question: Exit's shortcut never competes with it (an ambiguous key would
// do nothing at all).
TEST_F(MainWindowKeysTest, ExitShowsCtrlQWhichStillLeavesWithoutAQuestion) {
  StoreOutputFolder(L"\\Tracks");
  auto window = MakeWindow();
  Start(*window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QAction* exit = window->action(kCommandExit);
  EXPECT_EQ(exit->text(), "Exit");
  EXPECT_EQ(exit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
  EXPECT_TRUE(exit->isShortcutVisibleInContextMenu());
  QSignalSpy ended(window.get(), &MainWindow::shutDownDone);
  QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(ended.count(), 1);
  EXPECT_TRUE(dialogsShown.empty()) << "no question";
}

// The status area says "COM-port open error (1)!" every second; the message
// log says once which device and why.
TEST_F(MainWindowKeysTest, APortThatDoesNotOpenIsExplainedOnceInTheMessageLog) {
  auto window = MakeWindow();
  port->openResult = 1;
  window->program().SelectPort(3);
  Start(*window);
  for (int i = 0; i < 5; ++i) window->Tick();
  EXPECT_GE(port->opens, 5);
  const std::string status = window->panel()->statusArea()->toPlainText().toStdString();
  EXPECT_NE(status.find("COM-port open error (1)!"), std::string::npos) << status;
  const std::string log = window->panel()->messageLog()->toPlainText().toStdString();
  EXPECT_EQ(log, "COM3 cannot be opened: code 1\n");
}

}  // namespace
}  // namespace pathmere
