// testenv: --x11 --compositor --tray
// testmain: qt
// timeout: 120
// Mirl on a desktop with a tray host (trayer) and a compositor: the tray item is embedded, the
// popover opens under it and stays on the screen, the pre-sleep panel shows in the middle. With
// MIRL_SCREENSHOT_DIR set, each is saved there as a PNG (scripts/tray-screenshots does that).

#include "core/settings/SettingsKeys.h"
#include "tests/support/ControlWorld.h"
#include "tests/support/QtEventLoop.h"
#include "tests/support/ScreenshotDesk.h"
#include "ui/alert/PreSleepPanel.h"
#include "ui/art/AppIcon.h"
#include "ui/control/ControlView.h"
#include "ui/control/MainWindow.h"
#include "ui/control/ManualControls.h"
#include "ui/shell/TrayShell.h"
#include "ui/tray/Popover.h"
#include "ui/tray/TrayItem.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

class TrayScreenshots : public ::testing::Test {
protected:
    // The preferences and review windows are there, as in the application.
    TrayScreenshots()
        : shell(world.session, world.settings, world.scheduler, world.scheduler, {[] {}, [] {}, [] {}}) {
        QApplication::setWindowIcon(appIcon());
        screen = QGuiApplication::primaryScreen()->geometry();
        shell.launch(false);
    }

    /// A session in full swing: 23 minutes left, the fade under way, the detectors hearing calm
    /// breathing.
    void stageRunningSession() {
        // Silence sounds like sleep to the detectors, which would speed the fade to its end.
        world.settings.writeBool(keys::fadeAcceleratorsEnabled, false);
        world.session.startTimer(30);
        world.scheduler.advance(7min + 17s);
        world.detector.phase.set(SleepPhase::calming);
        world.detector.topLabel.set("breathing");
        world.detector.topConfidence.set(0.82);
        world.detector.breathRpm.set(13.2);
        world.detector.breathHasReading.set(true);
    }

    test::ControlWorld world;
    test::Wallpaper wallpaper;
    TrayShell shell;
    QRect screen;
};

} // namespace

TEST_F(TrayScreenshots, PopoverOpensUnderTheTrayIcon) {
    ASSERT_TRUE(test::pumpUntil([&] { return !shell.trayItem().iconGeometry().isEmpty(); }, 10s))
        << "the tray host did not embed the tray item";
    const QRect icon = shell.trayItem().iconGeometry();
    EXPECT_LT(icon.top(), 28);

    shell.popover().popUp(icon);
    ASSERT_TRUE(test::pumpUntil([&] { return shell.popover().isVisible(); }, 5s));
    const QRect popover = shell.popover().frameGeometry();
    EXPECT_GE(popover.top(), icon.bottom());
    EXPECT_TRUE(screen.contains(popover)) << "the popover leaves the screen";
    EXPECT_FALSE(shell.mainWindow().isVisible()) << "a tray host is there: no main window at launch";
    const QRect shot(popover.left() - 60, 0, screen.right() - popover.left() + 61, popover.bottom() + 50);
    test::saveShot(test::grabScreen(), shot.intersected(screen), "popover-idle.png");

    stageRunningSession();
    shell.popover().hide();
    test::pumpFor(400ms);
    auto* view = static_cast<ControlView*>(shell.popover().content());
    view->manualControls()->setExpanded(true);
    shell.popover().popUp(icon);
    test::pumpFor(1200ms); // the ring glides to its value
    EXPECT_EQ(shell.trayItem().countdownText(), QStringLiteral("22:43"));
    const QRect running = shell.popover().frameGeometry();
    EXPECT_TRUE(screen.contains(running));
    const QRect runningShot(running.left() - 60, 0, screen.right() - running.left() + 61,
                            running.bottom() + 50);
    test::saveShot(test::grabScreen(), runningShot.intersected(screen), "popover-running.png");
    shell.popover().hide();
}

TEST_F(TrayScreenshots, PreSleepPanelInTheMiddle) {
    PreSleepPanel panel;
    panel.open();
    panel.setCountdownText("sleep in 0:59");
    ASSERT_NE(panel.window(), nullptr);
    const QRect frame = panel.window()->frameGeometry();
    EXPECT_EQ(frame.size(), QSize(340, 150));
    EXPECT_LE(std::abs(frame.center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(frame.center().y() - screen.center().y()), 1);
    test::saveShot(test::grabScreen(), test::around(frame, 40, screen), "pre-sleep-panel.png");
    panel.close();
}
