#include "ui/shell/TrayShell.h"

#include "core/settings/SettingsKeys.h"
#include "tests/support/ControlWorld.h"
#include "ui/control/MainWindow.h"
#include "ui/tray/Popover.h"

#include <QSystemTrayIcon>
#include <QTest>

#include <gtest/gtest.h>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

class TrayShellTest : public ::testing::Test {
protected:
    test::ControlWorld world{test::dayAt(14, 0)};
    int quits = 0;
    TrayShell shell{
        world.session, world.settings, world.scheduler, world.scheduler, {{}, {}, [this] { ++quits; }}};
};

} // namespace

TEST_F(TrayShellTest, WithoutATrayHostTheMainWindowOpensSoMirlIsNeverInvisible) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "the offscreen platform has no tray";
    shell.launch(false);
    EXPECT_TRUE(shell.mainWindow().isVisible());
    EXPECT_EQ(shell.mainWindow().windowTitle(), QStringLiteral("Mirl"));
    EXPECT_GE(shell.mainWindow().width(), 320);
    EXPECT_GE(shell.mainWindow().height(), 500);
    // Closing it cannot hide Mirl where nobody could reach it: it quits.
    QTest::keyClick(&shell.mainWindow(), Qt::Key_Escape);
    EXPECT_TRUE(shell.mainWindow().isVisible());
    shell.mainWindow().close();
    EXPECT_EQ(quits, 1);
}

TEST_F(TrayShellTest, StatusTellsTheTimerModeAndWhatTheDetectorsHear) {
    RemoteStatus idle = shell.status();
    EXPECT_FALSE(idle.running);
    EXPECT_EQ(idle.mode, "nap") << "14:00 resolves to a nap";
    EXPECT_FALSE(idle.phase.has_value());

    remote::Handlers handlers = shell.remoteHandlers();
    world.settings.writeString(keys::modeTimerMode, "night");
    handlers.start(30);
    world.scheduler.advance(90s);
    RemoteStatus running = shell.status();
    EXPECT_TRUE(running.running);
    EXPECT_EQ(running.remainingSeconds, 28 * 60 + 30);
    EXPECT_EQ(running.remainingText, "28:30");
    EXPECT_EQ(running.mode, "night");

    handlers.extend(10);
    EXPECT_EQ(shell.status().remainingSeconds, 38 * 60 + 30);

    ASSERT_TRUE(world.session.detectorRunning.get());
    world.detector.phase.set(SleepPhase::asleep);
    world.detector.breathHasReading.set(false);
    EXPECT_EQ(shell.status().phase, "asleep");
    EXPECT_FALSE(shell.status().breathRpm.has_value());
    world.detector.breathRpm.set(11.0);
    world.detector.breathHasReading.set(true);
    EXPECT_EQ(shell.status().breathRpm, 11.0);

    handlers.cancel();
    world.scheduler.runDue();
    EXPECT_FALSE(shell.status().running);
    EXPECT_FALSE(shell.status().phase.has_value()) << "no phase while the detectors are off";
}

TEST_F(TrayShellTest, ASecondLaunchBringsTheMainWindowForward) {
    shell.popover().popUp(QRect(10, 0, 20, 20));
    shell.remoteHandlers().activate();
    EXPECT_FALSE(shell.popover().isVisible());
    EXPECT_TRUE(shell.mainWindow().isVisible());
}

TEST(TrayShellWindows, PreferencesAndReviewFromOutsideOpenTheSameWindowsAsTheButtons) {
    test::ControlWorld world{test::dayAt(14, 0)};
    std::vector<std::string> opened;
    TrayShell shell(world.session, world.settings, world.scheduler, world.scheduler,
                    {[&] { opened.push_back("preferences"); }, [&] { opened.push_back("review"); }, [] {}});
    remote::Handlers handlers = shell.remoteHandlers();
    ASSERT_TRUE(handlers.showPreferences && handlers.showReview);
    handlers.showPreferences();
    handlers.showReview();
    EXPECT_EQ(opened, (std::vector<std::string>{"preferences", "review"}));

    // Without the windows the caller hears so and opens its own.
    TrayShell bare(world.session, world.settings, world.scheduler, world.scheduler, {{}, {}, [] {}});
    EXPECT_FALSE(bare.remoteHandlers().showPreferences);
    EXPECT_FALSE(bare.remoteHandlers().showReview);
}
