// testenv: --x11 --wm --compositor
// testmain: qt
// timeout: 120
// On a desktop without a tray host, the main window opens at launch, whatever
// "system.show_in_dock" says, so that Mirl is never invisible; framed by the window manager, it
// stays open until closed, and then Mirl quits rather than hide where nobody could reach it.
// With MIRL_SCREENSHOT_DIR set it is saved there (scripts/tray-screenshots does that).

#include "tests/support/ControlWorld.h"
#include "tests/support/QtEventLoop.h"
#include "tests/support/ScreenshotDesk.h"
#include "ui/art/AppIcon.h"
#include "ui/control/MainWindow.h"
#include "ui/shell/TrayShell.h"

#include <QApplication>
#include <QScreen>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

using namespace mirl;
using namespace std::chrono_literals;

TEST(MainWindowScreenshot, OpensAtLaunchWithoutATrayHost) {
    QApplication::setWindowIcon(appIcon());
    test::ControlWorld world;
    test::Wallpaper wallpaper;
    int quits = 0;
    TrayShell shell(world.session, world.settings, world.scheduler, world.scheduler,
                    {[] {}, [] {}, [&] { ++quits; }});
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "this desktop has no tray host";
    shell.launch(false);
    ASSERT_TRUE(test::pumpUntil([&] { return shell.mainWindow().isVisible(); }, 5s));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    // The window manager adds its frame around the window.
    ASSERT_TRUE(test::pumpUntil(
        [&] { return shell.mainWindow().frameGeometry() != shell.mainWindow().geometry(); }, 5s));
    const QRect frame = shell.mainWindow().frameGeometry();
    EXPECT_TRUE(screen.contains(frame));
    EXPECT_GE(shell.mainWindow().width(), 320);
    EXPECT_GE(shell.mainWindow().height(), 500);
    test::saveShot(test::grabScreen(), test::around(frame, 40, screen), "main-window.png");

    shell.mainWindow().close();
    EXPECT_EQ(quits, 1);
}
